#include "plugin/QX_Class_Table.h"

#include "modifier/QX_RIGID_MOD.h"
#include "world/QX_BULLET_OBJ_ClassDesc.h"

ClassDesc* QX_ClassDescAt(int i) {
    switch (i) {
    case 0:
        return Quarix::GetQX_BULLET_OBJ_Desc();
    case 1:
        return GetQXRigidModDesc();
    default:
        return nullptr;
    }
}
