#include "plugin/QX_Class_Table.h"

#include "modifier/QX_RIGID_MOD.h"
#include "plugin/QX_World_Placeholder.h"

ClassDesc* QX_ClassDescAt(int i) {
    switch (i) {
    case 0:
        return GetQXWorldPlaceholderDesc();
    case 1:
        return GetQXRigidModDesc();
    default:
        return nullptr;
    }
}
