// Start requests of a world object without its rollout: the route scripts and the command-line
// tool take to the simulation driver (host/IQXWorldControl.h).

#include "world/QX_BULLET_OBJ.h"
#include "world/QX_Simulation_Driver.h"

namespace Quarix {

void* QX_BULLET_OBJ::GetInterface(ULONG id) {
    if (id == I_QX_WORLD_CONTROL)
        return static_cast<IQXWorldControl*>(this);
    return SimpleObject2::GetInterface(id);
}

bool QX_BULLET_OBJ::StartSimulation(int request) {
    if (request < IQXWorldControl::kRange || request > IQXWorldControl::kExtend)
        return false;
    if (request == IQXWorldControl::kRelax)
        StartRelax(this);
    else
        Quarix::StartSimulation(this, request);
    return true;
}

void QX_BULLET_OBJ::StopSimulation() {
    if (DriverState().world == this)
        Quarix::StopSimulation();
}

bool QX_BULLET_OBJ::IsRunning() {
    return DriverState().running && DriverState().world == this;
}

int QX_BULLET_OBJ::CurrentFrame() {
    return DriverState().frame;
}

} // namespace Quarix
