#pragma once
// The world object's class descriptor: identity, names and creation; it owns the description of
// the world parameter block.

#include "host/ClassDesc2.h"

namespace Quarix {

/// Class id and names of the world object.
inline constexpr Class_ID kWorldObjectClassID(0x986DF9B4, 0x792CE6D7);

class QX_BULLET_OBJ_ClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    /// A new world object (owned by the caller until referenced).
    void* Create(BOOL loading = FALSE) override;
    /// String 3 ("QX_Bullet").
    const MCHAR* ClassName() override;
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    Class_ID ClassID() override { return kWorldObjectClassID; }
    /// String 2 ("Quarix").
    const MCHAR* Category() override;
    const MCHAR* InternalName() override { return _T("QX_Bullet_World"); }
    HINSTANCE HInstance() override { return instance_; }
    /// The module instance the world's strings come from (set by the module at load; null before).
    void SetInstance(HINSTANCE instance) { instance_ = instance; }

private:
    HINSTANCE instance_ = nullptr;
};

/// The module's one world descriptor (created on first use, lives until the module unloads).
QX_BULLET_OBJ_ClassDesc* GetQX_BULLET_OBJ_Desc();

/// A world string by id, looked up through the world descriptor's module.
const MCHAR* QX_World_Text(UINT id);

} // namespace Quarix
