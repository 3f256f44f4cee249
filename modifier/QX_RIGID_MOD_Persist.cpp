// Saving and loading the rigid modifier's simulation results.

#include "modifier/QX_RIGID_MOD.h"

IOResult QX_RIGID_MOD::Save(ISave*) {
    return IO_OK;
}

IOResult QX_RIGID_MOD::Load(ILoad*) {
    return IO_OK;
}
