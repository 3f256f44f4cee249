// The world's advanced values as every simulated object's defaults: after every change of the
// world, each rigid modifier of the node list gets them as its world copy, which it uses while
// its own "Override" is off.

#include "world/QX_BULLET_OBJ.h"

#include "modifier/QX_RIGID_MOD.h"
#include "world/QX_BULLET_OBJ_ClassDesc.h"
#include "world/QX_BULLET_OBJ_Params.h"

namespace Quarix {

static_assert(kWorldObjectClassID == QX_BULLET_OBJ_CLASS_ID);

void QX_BULLET_OBJ::PushWorldDefaults() {
    IParamBlock2* pb = pblock2;
    if (!pb)
        return;
    QX_RIGID_MOD_AdvancedSettings s;
    s.solidity = pb->GetFloat(WorldParam::GlobalSolidity, 0);
    s.margin = pb->GetFloat(WorldParam::Margin, 0);
    s.impulse = pb->GetFloat(WorldParam::SeparateImpulse, 0);
    s.hideCorrupted = pb->GetInt(WorldParam::HideCorrupted, 0) != 0;
    s.dampingLinear = pb->GetFloat(WorldParam::DampingLinear, 0);
    s.dampingAngular = pb->GetFloat(WorldParam::DampingAngular, 0);
    s.deactivationTime = pb->GetInt(WorldParam::DeactivationTime, 0);
    s.sleepingLinear = pb->GetFloat(WorldParam::SleepingLinear, 0);
    s.sleepingAngular = pb->GetFloat(WorldParam::SleepingAngular, 0);
    s.valid = true;
    // The count is re-read for every entry: a modifier's answer may change the list.
    for (int i = 0; i < pb->Count(WorldParam::NodesList); ++i) {
        QX_RIGID_MOD* mod =
            QX_RIGID_MOD::FindRigidModifier(pb->GetINode(WorldParam::NodesList, 0, i));
        if (!mod)
            continue;
        mod->SetWorldSettings(s);
    }
}

} // namespace Quarix
