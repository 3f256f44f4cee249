#include "plugin/QX_World_Placeholder.h"

#include "modifier/QX_RIGID_MOD.h"
#include "plugin/QX_Resources.h"

namespace {

class QX_World_Placeholder_ClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return nullptr; }
    const MCHAR* ClassName() override { return Text(3, _T("QX_Bullet")); }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    Class_ID ClassID() override { return QX_BULLET_OBJ_CLASS_ID; }
    const MCHAR* Category() override { return Text(2, _T("Quarix")); }
    const MCHAR* InternalName() override { return _T("QX_Bullet_World"); }
    HINSTANCE HInstance() override { return QX_ModuleInstance(); }

private:
    static const MCHAR* Text(int id, const MCHAR* fallback) {
        const MCHAR* s = QX_GetString(id);
        return s ? s : fallback;
    }
};

} // namespace

ClassDesc2* GetQXWorldPlaceholderDesc() {
    static QX_World_Placeholder_ClassDesc desc;
    return &desc;
}
