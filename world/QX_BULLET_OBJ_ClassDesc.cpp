#include "world/QX_BULLET_OBJ_ClassDesc.h"

#include "core/QX_BT_World.h"
#include "host/Interface.h"
#include "plugin/QX_Resources.h"
#include "world/QX_BULLET_OBJ.h"
#include "world/QX_BULLET_OBJ_Params.h"

namespace Quarix {

void* QX_BULLET_OBJ_ClassDesc::Create(BOOL loading) {
    auto* world = new QX_BULLET_OBJ();
    // A new world simulates in metres whatever the scene's unit; a loading world keeps the
    // "ScaleFactor" it was saved with, which its parameter block restores.
    if (!loading)
        world->Params()->SetValue(WorldParam::ScaleFactor, 0,
                                  NewWorldScaleFactor(GetMasterScale(UNITS_CENTIMETERS)));
    return world;
}

const MCHAR* QX_BULLET_OBJ_ClassDesc::ClassName() {
    return QX_GetString(3);
}

const MCHAR* QX_BULLET_OBJ_ClassDesc::Category() {
    return QX_GetString(2);
}

HINSTANCE QX_BULLET_OBJ_ClassDesc::HInstance() {
    return QX_ModuleInstance();
}

QX_BULLET_OBJ_ClassDesc* GetQX_BULLET_OBJ_Desc() {
    static QX_BULLET_OBJ_ClassDesc desc;
    // The block description registers itself with its owner once.
    static ParamBlockDesc2* params = QX_World_ParamBlockDesc(&desc);
    (void)params;
    return &desc;
}

} // namespace Quarix
