// The parameter block "nodeParameters" and what PushSettingsToCore hands to the object core.

#include <climits>
#include <set>

#include "tests/plugin/QX_Plugin_Test_Support.h"

namespace {

namespace P = QX_RigidParam;
namespace K = Quarix::ObjectKey;
using QX_Plugin_Test::PluginTest;

class QX_RIGID_MOD_Params : public PluginTest {};

TEST_F(QX_RIGID_MOD_Params, BlockLayoutMatchesTheSavedFormat) {
    ParamBlockDesc2* desc = GetQXRigidModDesc()->GetParamBlockDescByID(0);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->int_name, MSTR(_T("nodeParameters")));
    EXPECT_EQ(desc->flags, 0x26);
    EXPECT_EQ(desc->Count(), QX_RIGID_PARAM_COUNT);
    std::string why;
    EXPECT_TRUE(desc->Validate(&why)) << why;
    ASSERT_EQ(desc->Rollouts().size(), 5u);
    const int dialogs[5] = {8, 109, 51, 116, 137};
    const int titles[5] = {16, 52, 108, 117, 138};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(desc->Rollouts()[size_t(i)].dialogId, dialogs[i]);
        EXPECT_EQ(desc->Rollouts()[size_t(i)].title, titles[i]);
    }
    // Scripts find parameters by these names, misspellings and duplicates included.
    EXPECT_EQ(desc->NameToID(_T("Probablity")), P::Probability);
    EXPECT_EQ(desc->NameToID(_T("Timde Delay")), P::SafeFrames);
    EXPECT_EQ(desc->NameToID(_T("Demolish to Sep Sec")), P::SecondaryToElements);
    for (ParamID id : {P::Capture, P::Override, P::Hidden42})
        EXPECT_TRUE(desc->GetParamDef(id)->int_name.empty()) << id;
    for (ParamID id : {P::PrimaryToFragments, P::SecondaryToFragments})
        EXPECT_EQ(desc->GetParamDef(id)->int_name, MSTR(_T("Demolish to Sep Sec")));
    EXPECT_EQ(desc->GetParamDef(P::StartImpulse)->int_name, MSTR(_T("Separate Impulse")));
    // Every parameter resets with the block; exactly the animatable ones carry the flag.
    const std::set<ParamID> animatable = {58, 59, 60, 14, 15, 16, 17, 23, 65, 66, 18,
                                          19, 24, 11, 26, 27, 28, 29, 30, 42, 32, 33};
    for (int i = 0; i < desc->Count(); ++i) {
        const ParamDef& def = desc->ParamAt(i);
        EXPECT_TRUE(def.flags & P_RESET_DEFAULT) << def.id;
        EXPECT_EQ(def.IsAnimatable(), animatable.count(def.id) == 1) << def.id;
    }
    EXPECT_EQ(desc->GetParamDef(P::Friction)->defNumber, double(0.82f));
    EXPECT_EQ(desc->GetParamDef(P::SizeLimit)->type, TYPE_WORLD);
    EXPECT_TRUE(desc->GetParamDef(P::Separate)->ui.hidden);
    EXPECT_EQ(desc->GetParamDef(P::RigidType)->ui.controls, std::vector<int>{2193});
}

TEST_F(QX_RIGID_MOD_Params, NewModifierPushesTheDefaults) {
    QX_RIGID_MOD mod;
    mod.PushSettingsToCore(0);
    Quarix::QX_BT_MeshController& core = mod.GetCore();
    EXPECT_EQ(core.intSettings.get(K::RigidType), 1);
    EXPECT_EQ(core.intSettings.get(K::MeshType), 0);
    EXPECT_EQ(core.intSettings.get(K::GroupCount), 25);
    EXPECT_EQ(core.floatSettings.get(K::Density), 4.0f);
    EXPECT_EQ(core.floatSettings.get(K::Friction), 0.82f);
    EXPECT_EQ(core.floatSettings.get(K::Restitution), 0.04f);
    EXPECT_EQ(core.floatSettings.get(K::Solidity), 22.0f);
    EXPECT_EQ(core.floatSettings.get(K::StartImpulseFactor), 1.0f);
    EXPECT_EQ(core.intSettings.get(K::SafeFrames), 2);
    EXPECT_EQ(core.intSettings.get(K::AmountLimit), 4000);
    EXPECT_EQ(core.intSettings.get(K::DeactivationTime), 1000);
    EXPECT_EQ(core.floatSettings.get(K::DampingAngular), 0.2f);

    // Pushing unchanged values marks nothing.
    core.intSettings.clearChanged();
    core.floatSettings.clearChanged();
    mod.PushSettingsToCore(0);
    EXPECT_FALSE(core.intSettings.anyChanged());
    EXPECT_FALSE(core.floatSettings.anyChanged());
}

TEST_F(QX_RIGID_MOD_Params, KeyConversions) {
    QX_RIGID_MOD mod;
    IParamBlock2& pb = *mod.refTarg_ParamBlock;
    Quarix::QX_BT_MeshController& core = mod.GetCore();
    pb.SetValue(P::RigidType, 0, 7);
    pb.SetValue(P::MeshType, 0, -1);
    pb.SetValue(P::Amount, 0, 40);
    pb.SetValue(P::FractionType, 0, 1);
    mod.PushSettingsToCore(0);
    EXPECT_EQ(core.intSettings.get(K::RigidType), 1);
    EXPECT_EQ(core.intSettings.get(K::MeshType), 0);
    EXPECT_EQ(core.intSettings.get(K::GroupCount), 40);
    pb.SetValue(P::FractionType, 0, 2);
    mod.PushSettingsToCore(0);
    EXPECT_EQ(core.intSettings.get(K::GroupCount), 1);
    pb.SetValue(P::Separate, 0, false);
    mod.PushSettingsToCore(0);
    EXPECT_EQ(core.intSettings.get(K::GroupCount), INT_MAX);
    EXPECT_EQ(core.intSettings.get(K::Amount), 40);

    // Lengths reach the core in centimetres whatever the system unit.
    ASSERT_TRUE(Host().SetSystemUnitInfo(UNITS_METERS, 1.0f));
    pb.SetValue(P::SizeLimit, 0, 10.0f);
    pb.SetValue(P::SpeedLimit, 0, 0.5f);
    mod.PushSettingsToCore(0);
    EXPECT_FLOAT_EQ(core.floatSettings.get(K::SizeLimit), 1000.0f);
    EXPECT_FLOAT_EQ(core.floatSettings.get(K::SpeedLimit), 50.0f);
}

TEST_F(QX_RIGID_MOD_Params, AnimatedParametersArePushedAtTheAskedTime) {
    QX_RIGID_MOD mod;
    IParamBlock2& pb = *mod.refTarg_ParamBlock;
    Host().SetAnimateMode(true);
    pb.SetValue(P::Density, 0, 2.0f);
    pb.SetValue(P::Density, 10 * GetTicksPerFrame(), 6.0f);
    Host().SetAnimateMode(false);
    mod.PushSettingsToCore(5 * GetTicksPerFrame());
    EXPECT_FLOAT_EQ(mod.GetCore().floatSettings.get(K::Density), 4.0f);
}

TEST_F(QX_RIGID_MOD_Params, MaterialPresets) {
    QX_RIGID_MOD mod;
    IParamBlock2& pb = *mod.refTarg_ParamBlock;
    // The defaults are the "Dense Rock" row: picking it again writes nothing.
    const ParamID before = pb.LastNotifyParamID();
    EXPECT_TRUE(mod.ApplyMaterialPreset(2, 0));
    EXPECT_EQ(pb.LastNotifyParamID(), before);

    pb.SetValue(P::Variation, 0, 77);
    EXPECT_TRUE(mod.ApplyMaterialPreset(7, 0)); // Rubber
    EXPECT_EQ(pb.GetFloat(P::Density), 1.4f);
    EXPECT_EQ(pb.GetFloat(P::Friction), 0.55f);
    EXPECT_EQ(pb.GetFloat(P::Restitution), 0.83f);
    EXPECT_EQ(pb.GetFloat(P::Solidity), 100.0f);
    EXPECT_EQ(pb.GetInt(P::Variation), 77);

    EXPECT_FALSE(mod.ApplyMaterialPreset(10, 0));
    EXPECT_FALSE(mod.ApplyMaterialPreset(-1, 0));
    EXPECT_EQ(pb.GetFloat(P::Density), 1.4f);
}

} // namespace
