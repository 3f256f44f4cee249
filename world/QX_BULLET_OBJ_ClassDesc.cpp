#include "world/QX_BULLET_OBJ_ClassDesc.h"

#include "world/QX_BULLET_OBJ.h"
#include "world/QX_BULLET_OBJ_Params.h"
#include "world/QX_World_Strings.h"

namespace Quarix {

void* QX_BULLET_OBJ_ClassDesc::Create(BOOL) {
    return new QX_BULLET_OBJ();
}

const MCHAR* QX_BULLET_OBJ_ClassDesc::ClassName() {
    return QX_World_Text(3);
}

const MCHAR* QX_BULLET_OBJ_ClassDesc::Category() {
    return QX_World_Text(2);
}

QX_BULLET_OBJ_ClassDesc* GetQX_BULLET_OBJ_Desc() {
    static QX_BULLET_OBJ_ClassDesc desc;
    // The block description registers itself with its owner once.
    static ParamBlockDesc2* params = QX_World_ParamBlockDesc(&desc);
    (void)params;
    return &desc;
}

const MCHAR* QX_World_Text(UINT id) {
    return QX_World_GetString(id, GetQX_BULLET_OBJ_Desc()->HInstance());
}

} // namespace Quarix
