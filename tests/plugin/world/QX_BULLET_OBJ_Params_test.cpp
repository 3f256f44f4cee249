// The world parameter block: what a new world holds, the frame rules and the advanced values the
// world writes into its simulated objects.

#include "tests/plugin/world/QX_World_Test_Support.h"

namespace QX_World_Test {
namespace {

using namespace WorldParam;

TEST_F(WorldTest, NewWorldHoldsTheParameterDefaults) {
    IParamBlock2* pb = NewWorld()->Params();
    ASSERT_NE(pb, nullptr);
    EXPECT_EQ(pb->NumParams(), 44);
    EXPECT_EQ(pb->GetFloat(Size), 0.0f);
    EXPECT_EQ(pb->GetFloat(DeltaTime), 1.0f);
    EXPECT_EQ(pb->GetInt(SimuleSpeed), 5);
    EXPECT_EQ(pb->GetFloat(Gravity), 1.0f);
    // A new world in the tests' centimetre scene simulates in metres.
    EXPECT_FLOAT_EQ(pb->GetFloat(ScaleFactor), 0.01f);
    EXPECT_EQ(pb->GetInt(InfinitPlane), 1);
    EXPECT_EQ(pb->GetInt(StartFrame), 0);
    EXPECT_EQ(pb->GetInt(EndFrame), 100);
    EXPECT_EQ(pb->GetInt(FramesRange), 100);
    EXPECT_EQ(pb->GetFloat(GlobalSolidity), 1.0f);
    EXPECT_EQ(pb->GetFloat(SeparateImpulse), 1.0f);
    EXPECT_EQ(pb->GetFloat(Margin), 0.0f);
    EXPECT_EQ(pb->GetFloat(DampingLinear), 0.0f);
    EXPECT_EQ(pb->GetFloat(DampingAngular), 0.2f);
    EXPECT_EQ(pb->GetFloat(SleepingLinear), 1.0f);
    EXPECT_EQ(pb->GetFloat(SleepingAngular), 1.0f);
    EXPECT_EQ(pb->GetInt(DeactivationTime), 1000);
    EXPECT_EQ(pb->GetFloat(ForcesStrenght), 1.0f);
    EXPECT_EQ(pb->GetFloat(ContactDiscard), 0.001f);
    EXPECT_EQ(pb->Count(NodesList), 0);
    EXPECT_EQ(pb->Count(ForcesList), 0);
}

TEST_F(WorldTest, BlockDescriptionKeepsNamesFlagsAndRanges) {
    ParamBlockDesc2* d = QX_World_ParamBlockDesc(GetQX_BULLET_OBJ_Desc());
    std::string why;
    EXPECT_TRUE(d->Validate(&why)) << why;
    EXPECT_EQ(d->flags, 0x26);
    EXPECT_EQ(d->int_name, L"params");
    ASSERT_EQ(d->Rollouts().size(), 5u);
    EXPECT_EQ(d->Rollouts()[0].dialogId, 102); // "Simulation Objects" comes first
    EXPECT_EQ(d->Rollouts()[4].title, 121);
    // Names letter for letter, the misspellings included.
    EXPECT_EQ(d->NameToID(L"Forces Strenght"), ForcesStrenght);
    EXPECT_EQ(d->NameToID(L"Infinit Plane"), InfinitPlane);
    EXPECT_EQ(d->NameToID(L"PickBtn"), PickBtn); // the first of the two pick switches
    EXPECT_EQ(d->NameToID(L"test 10"), Test1 + 9);
    EXPECT_EQ(d->GetParamDef(SimuleRange)->flags, 0x40000020);
    EXPECT_EQ(d->GetParamDef(ForcesList)->flags, 0x1000);
    EXPECT_EQ(d->GetParamDef(Margin)->type, TYPE_WORLD);
    // 0.01 as stored: the single-precision value for the time scale, the double for solidity.
    EXPECT_EQ(d->GetParamDef(DeltaTime)->rangeLo, static_cast<double>(0.01f));
    EXPECT_EQ(d->GetParamDef(GlobalSolidity)->rangeLo, 0.01);
    EXPECT_TRUE(d->GetParamDef(MassFactor)->ui.hidden);
}

TEST_F(WorldTest, FrameRulesKeepTheRangeConsistent) {
    IParamBlock2* pb = NewWorld()->Params();
    pb->SetValue(StartFrame, 0, 10);
    EXPECT_EQ(pb->GetInt(FramesRange), 90);
    pb->SetValue(EndFrame, 0, 10); // not above the start
    EXPECT_EQ(pb->GetInt(EndFrame), 11);
    EXPECT_EQ(pb->GetInt(FramesRange), 1);

    pb->SetValue(StartFrame, 0, 0);
    pb->SetValue(EndFrame, 0, 100);
    pb->SetValue(StartFrame, 0, 150);
    EXPECT_EQ(pb->GetInt(EndFrame), 151);
    EXPECT_EQ(pb->GetInt(FramesRange), 1);

    pb->SetValue(StartFrame, 0, 10);
    pb->SetValue(FramesRange, 0, 50);
    EXPECT_EQ(pb->GetInt(EndFrame), 60);
    pb->SetValue(StartFrame, 0, 20);
    EXPECT_EQ(pb->GetInt(FramesRange), 40);
    EXPECT_EQ(pb->GetInt(EndFrame), 60);
}

TEST_F(WorldTest, AdvancedValuesReachEverySimulatedObject) {
    QX_BULLET_OBJ* world = NewWorld();
    INode* a = BoxNode(10.0f);
    INode* b = BoxNode(10.0f, Point3(30, 0, 0));
    INode* plain = BoxNode(10.0f, Point3(60, 0, 0)); // listed without a rigid modifier
    QX_RIGID_MOD* ma = Rigid(a);
    QX_RIGID_MOD* mb = Rigid(b);
    for (INode* n : {a, plain, b})
        world->Params()->Append(NodesList, 1, &n);
    IParamBlock2* pb = world->Params();
    pb->SetValue(Margin, 0, 0.5f);
    pb->SetValue(DeactivationTime, 0, 250);
    pb->SetValue(HideCorrupted, 0, true);
    pb->SetValue(DampingAngular, 0, 0.7f);
    for (QX_RIGID_MOD* m : {ma, mb}) {
        const QX_RIGID_MOD_AdvancedSettings& s = m->WorldSettings();
        EXPECT_TRUE(s.valid);
        EXPECT_EQ(s.solidity, 1.0f);
        EXPECT_EQ(s.margin, 0.5f);
        EXPECT_EQ(s.impulse, 1.0f);
        EXPECT_TRUE(s.hideCorrupted);
        EXPECT_EQ(s.dampingAngular, 0.7f);
        EXPECT_EQ(s.deactivationTime, 250);
        EXPECT_EQ(s.sleepingLinear, 1.0f);
    }
}

} // namespace
} // namespace QX_World_Test
