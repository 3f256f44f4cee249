// The driver through the host's message loop: every mode, the keep rules, the change test, the
// settings snapshot and the world going away in the middle of a run.

#include "tests/plugin/driver/QX_Driver_Test_Support.h"

#include "host/SceneIO.h"

namespace QX_Driver_Test {
namespace {

class SimulationDriverTest : public DriverTest {
protected:
    /// Checks a mode switch and its button as the rollout does when the user presses it.
    void Press(QX_BULLET_OBJ* world, ParamID param, int button) {
        world->Params()->SetValue(param, 0, 1);
        mainRollout.Control(button).checked = true;
    }
};

TEST_F(SimulationDriverTest, SmallestRangeStopsOnTheSecondTickAndReleasesBothSwitches) {
    QX_BULLET_OBJ* world = MakeWorld(10, 11);
    INode* box = FallingBox(0.0f, 100.0f);
    Simulate(world, {box});
    Press(world, WorldParam::SimuleRange, DriverControl::RangeButton);
    Press(world, WorldParam::SimuleRangeNext, DriverControl::ExtendButton);
    StartSimulation(world, StartRequest::Range);
    ASSERT_TRUE(DriverState().running);

    EXPECT_EQ(Host().GetMessageLoop().RunTicks(1), 1);
    EXPECT_EQ(SliderFrame(), 10);
    EXPECT_EQ(Frame(), 11);
    EXPECT_TRUE(DriverState().running);
    EXPECT_EQ(RunSimulationLoop(100), 1);
    EXPECT_EQ(SliderFrame(), 11);
    EXPECT_FALSE(DriverState().running);
    EXPECT_EQ(Host().GetMessageLoop().ActiveTimers(), 0);
    EXPECT_EQ(world->Params()->GetInt(WorldParam::SimuleRange), 0);
    EXPECT_EQ(world->Params()->GetInt(WorldParam::SimuleRangeNext), 0);
    EXPECT_FALSE(mainRollout.Control(DriverControl::RangeButton).checked);
    EXPECT_FALSE(mainRollout.Control(DriverControl::ExtendButton).checked);
    // The driven world and the counter stay after the stop; "Explode Start" is the start frame.
    EXPECT_EQ(DriverState().world, world);
    QX_RIGID_MOD* mod = QX_RIGID_MOD::FindRigidModifier(box);
    EXPECT_EQ(mod->refTarg_ParamBlock->GetInt(QX_RigidParam::ExplodeStart), 10);
    EXPECT_GE(mod->refTarg_ParamBlock->GetInt(QX_RigidParam::ExplodeEnd), 11);
}

TEST_F(SimulationDriverTest, ExtendContinuesAStoppedRunAndRestartsWhenTheEndMoved) {
    QX_BULLET_OBJ* world = MakeWorld(0, 10);
    INode* box = FallingBox(0.0f, 200.0f);
    Simulate(world, {box});
    StartSimulation(world, StartRequest::Range);
    EXPECT_EQ(Host().GetMessageLoop().RunTicks(4), 4);
    StopSimulation();
    EXPECT_EQ(Frame(), 4);
    EXPECT_EQ(Host().GetMessageLoop().ActiveTimers(), 0);

    StartSimulation(world, StartRequest::Extend);
    EXPECT_EQ(Host().GetMessageLoop().RunTicks(1), 1);
    EXPECT_EQ(SliderFrame(), 4); // continued where it stopped
    EXPECT_EQ(Frame(), 5);
    EXPECT_EQ(RunSimulationLoop(100), 6); // frames 5..9, then the end tick
    EXPECT_EQ(Frame(), 10);
    EXPECT_EQ(Recorded(box), 11u);

    // A finished run with the same end: the first tick finds the end and stops.
    StartSimulation(world, StartRequest::Extend);
    EXPECT_EQ(RunSimulationLoop(100), 1);
    EXPECT_EQ(Frame(), 10);

    // A later end marks key 9 changed: the run starts over from the start frame.
    world->Params()->SetValue(WorldParam::EndFrame, 0, 15);
    StartSimulation(world, StartRequest::Extend);
    EXPECT_EQ(Host().GetMessageLoop().RunTicks(1), 1);
    EXPECT_EQ(SliderFrame(), 0);
    EXPECT_EQ(Frame(), 1);
    EXPECT_EQ(RunSimulationLoop(100), 15);
    EXPECT_EQ(Frame(), 15);
}

TEST_F(SimulationDriverTest, RangeToLoopKeepsTheCounterRangeToQuietResetsIt) {
    QX_BULLET_OBJ* world = MakeWorld(2, 30);
    Simulate(world, {FallingBox(0.0f, 100.0f)});
    StartSimulation(world, StartRequest::Range);
    Host().GetMessageLoop().RunTicks(3);
    EXPECT_EQ(Frame(), 5);
    StartSimulation(world, StartRequest::Loop);
    EXPECT_EQ(DriverState().mode, DriverMode::Loop);
    EXPECT_EQ(Frame(), 5);
    StartSimulation(world, StartRequest::Range);
    EXPECT_EQ(Frame(), 5);
    StartSimulation(world, StartRequest::Quiet);
    EXPECT_EQ(DriverState().mode, DriverMode::Quiet);
    EXPECT_EQ(Frame(), 2);
    EXPECT_EQ(Host().GetMessageLoop().ActiveTimers(), 1); // one timer throughout
    // Out-of-range requests are ignored.
    StartSimulation(world, 5);
    StartSimulation(world, -1);
    EXPECT_EQ(DriverState().mode, DriverMode::Quiet);
}

TEST_F(SimulationDriverTest, QuietSimulatesUpToTheSliderAndResumesWhenItMoves) {
    QX_BULLET_OBJ* world = MakeWorld(5, 100);
    INode* box = FallingBox(0.0f, 100.0f);
    Simulate(world, {box});
    Host().SetTime(3 * GetTicksPerFrame());
    StartSimulation(world, StartRequest::Quiet);
    Host().GetMessageLoop().RunTicks(5);
    EXPECT_EQ(Frame(), 5);
    EXPECT_EQ(Recorded(box), 0u);
    EXPECT_EQ(SliderFrame(), 3); // quiet never moves the slider
    EXPECT_EQ(QX_RIGID_MOD::FindRigidModifier(box)->GetCore().quietOutput, 1);

    Host().SetTime(9 * GetTicksPerFrame(), FALSE);
    const int redraws = Host().RedrawCount();
    Host().GetMessageLoop().RunTicks(10);
    EXPECT_EQ(Frame(), 9);
    EXPECT_EQ(SliderFrame(), 9);
    EXPECT_EQ(Host().RedrawCount(), redraws + 1); // one complete redraw at the target
    EXPECT_TRUE(DriverState().running);           // idles until something changes
    StopSimulation();
    EXPECT_EQ(QX_RIGID_MOD::FindRigidModifier(box)->GetCore().quietOutput, 0);
}

TEST_F(SimulationDriverTest, LoopSpendsOneTickResettingAndRestartsOnAFloatChangeOnly) {
    QX_BULLET_OBJ* world = MakeWorld(0, 3);
    Simulate(world, {FallingBox(0.0f, 100.0f)});
    StartSimulation(world, StartRequest::Loop);
    Host().GetMessageLoop().RunTicks(3);
    EXPECT_EQ(Frame(), 3);
    Host().GetMessageLoop().RunTicks(1);
    EXPECT_EQ(Frame(), 0); // the resetting tick simulates nothing
    Host().GetMessageLoop().RunTicks(1);
    EXPECT_EQ(Frame(), 1);
    Host().GetMessageLoop().RunTicks(1);
    EXPECT_EQ(Frame(), 2);

    // Moving the world node changes vector keys only: the run goes on.
    Matrix3 moved(1);
    moved.SetTrans(Point3(0.0f, 0.0f, 5.0f));
    worldNode->SetNodeTM(0, moved);
    Host().GetMessageLoop().RunTicks(1);
    EXPECT_EQ(Frame(), 3);
    Host().GetMessageLoop().RunTicks(2);
    EXPECT_EQ(Frame(), 1);
    // A gravity change restarts at the start frame on the next tick.
    world->Params()->SetValue(WorldParam::Gravity, 0, 2.0f);
    Host().GetMessageLoop().RunTicks(1);
    EXPECT_EQ(Frame(), 1);
    EXPECT_EQ(SliderFrame(), 0);
    EXPECT_TRUE(DriverState().running);
}

TEST_F(SimulationDriverTest, RelaxStepsTheStartFrameEveryTickWithoutMovingTheCounter) {
    QX_BULLET_OBJ* world = MakeWorld(4, 50);
    INode* box = FallingBox(0.0f, 60.0f);
    Simulate(world, {box});
    StartRelax(world);
    EXPECT_EQ(DriverState().mode, DriverMode::Relax);
    const int redraws = Host().RedrawCount();
    Host().GetMessageLoop().RunTicks(3);
    EXPECT_EQ(Frame(), 4);
    EXPECT_EQ(Host().RedrawCount(), redraws + 3);
    ASSERT_FALSE(QX_RIGID_MOD::FindRigidModifier(box)->GetCore().bodies.empty());
}

TEST_F(SimulationDriverTest, SnapshotConvertsGravityAndTakesPlacementFromTheWorldNode) {
    EXPECT_FLOAT_EQ(GravityFactor(30, 1.0), -1470.0f);
    // Inches: the division by 2.54 runs in double precision.
    const float g30 = -(1000.0f / 30.0f * 44.1f);
    EXPECT_EQ(GravityFactor(30, 2.54), static_cast<float>(static_cast<double>(g30) / 2.54));
    EXPECT_EQ(GravityFactor(30, 0.0), g30);
    EXPECT_FLOAT_EQ(GravityFactor(25, 1.0), -1764.0f);

    QX_BULLET_OBJ* world = MakeWorld(0, 10);
    world->Params()->SetValue(WorldParam::Gravity, 0, 2.0f);
    Matrix3 tm = RotateXMatrix(1.5707964f);
    tm.SetTrans(Point3(1.0f, 2.0f, 3.0f));
    worldNode->SetNodeTM(0, tm);
    StartSimulation(world, StartRequest::Range);
    StopSimulation();
    const QX_BT_World& core = world->Core();
    EXPECT_EQ(core.floatSettings.get(WorldKey::Gravity), 2.0f * GravityFactor(30, 1.0));
    const QX_BT_Vector4 origin = core.vectorSettings.get(WorldKey::GroundOrigin);
    EXPECT_EQ(origin, (QX_BT_Vector4{1.0f, 2.0f, 3.0f, 0.0f}));
    // A quarter turn about x lays the up axis along y; the translation plays no part.
    const QX_BT_Vector4 normal = core.vectorSettings.get(WorldKey::GroundNormal);
    EXPECT_NEAR(std::abs(normal[1]), 1.0f, 1e-6f);
    EXPECT_NEAR(normal[2], 0.0f, 1e-6f);
    const QX_BT_Vector4 down = core.vectorSettings.get(WorldKey::GravityDirection);
    EXPECT_NEAR(down[1], normal[1], 1e-6f);
    EXPECT_NEAR(down[2], normal[2], 1e-6f);
    EXPECT_EQ(down[3], 0.0f);
}

TEST_F(SimulationDriverTest, AWorldWithoutANodeStillRunsWithDefaultPlacement) {
    auto* world = static_cast<QX_BULLET_OBJ*>(GetQX_BULLET_OBJ_Desc()->Create());
    world->Params()->SetValue(WorldParam::EndFrame, 0, 3);
    StartSimulation(world, StartRequest::Range);
    EXPECT_EQ(RunSimulationLoop(100), 4);
    const QX_BT_World& core = world->Core();
    EXPECT_EQ(core.vectorSettings.get(WorldKey::GroundOrigin), (QX_BT_Vector4{0, 0, 0, 0}));
    EXPECT_EQ(core.vectorSettings.get(WorldKey::GroundNormal), (QX_BT_Vector4{0, 0, 1, 0}));
    EXPECT_EQ(core.vectorSettings.get(WorldKey::GravityDirection), (QX_BT_Vector4{0, 0, 1, 0}));
    // Freeing the world object itself lets the driver forget it.
    world->MaybeAutoDelete();
    EXPECT_EQ(DriverState().world, nullptr);
}

TEST_F(SimulationDriverTest, DeletingTheWorldNodeMidRunStopsTheTimer) {
    for (bool undoable : {false, true}) {
        QX_BULLET_OBJ* world = MakeWorld(0, 5);
        Simulate(world, {FallingBox(0.0f, 100.0f)});
        StartSimulation(world, StartRequest::Loop);
        Host().GetMessageLoop().RunTicks(2);
        if (undoable)
            theHold.Begin();
        Host().DeleteNode(worldNode);
        if (undoable)
            theHold.Accept(_T("Delete"));
        EXPECT_FALSE(DriverState().running);
        EXPECT_EQ(DriverState().world, nullptr);
        EXPECT_EQ(Host().GetMessageLoop().RunTicks(10), 0);
        if (undoable) {
            // The world comes back with its node, idle; it can be started again.
            ASSERT_TRUE(theHold.Undo());
            StartSimulation(world, StartRequest::Range);
            EXPECT_EQ(RunSimulationLoop(100), 6);
        }
    }
}

TEST_F(SimulationDriverTest, DeletingASimulatedNodeMidRunSkipsItsEntry) {
    QX_BULLET_OBJ* world = MakeWorld(0, 20);
    INode* stays = FallingBox(0.0f, 100.0f);
    INode* goes = FallingBox(50.0f, 100.0f);
    Simulate(world, {stays, goes});
    StartSimulation(world, StartRequest::Loop);
    Host().GetMessageLoop().RunTicks(3);
    Host().DeleteNode(goes);
    EXPECT_EQ(world->Params()->GetINode(WorldParam::NodesList, 0, 1), nullptr);
    EXPECT_EQ(CollectMeshControllers(kNoStamp).size(), 1u);
    Host().GetMessageLoop().RunTicks(3);
    EXPECT_TRUE(DriverState().running);
    EXPECT_GE(Recorded(stays), 4u);
}

TEST_F(SimulationDriverTest, ResetOrLoadMidRunStopsAndForgetsTheWorld) {
    QX_BULLET_OBJ* world = MakeWorld(0, 50);
    Simulate(world, {FallingBox(0.0f, 100.0f)});
    std::vector<BYTE> bytes;
    ASSERT_TRUE(SaveScene(Host(), bytes));
    StartSimulation(world, StartRequest::Loop);
    Host().GetMessageLoop().RunTicks(2);
    ASSERT_TRUE(LoadScene(Host(), bytes));
    EXPECT_FALSE(DriverState().running);
    EXPECT_EQ(DriverState().world, nullptr);

    auto* loaded = static_cast<QX_BULLET_OBJ*>(Host().AllNodes().front()->GetObjectRef());
    StartSimulation(loaded, StartRequest::Loop);
    Host().GetMessageLoop().RunTicks(2);
    Host().ResetScene();
    EXPECT_FALSE(DriverState().running);
    EXPECT_EQ(DriverState().world, nullptr);
    EXPECT_EQ(Host().GetMessageLoop().RunTicks(5), 0);
}

TEST_F(SimulationDriverTest, ResetResultsRewindsEveryObject) {
    QX_BULLET_OBJ* world = MakeWorld(0, 6);
    INode* box = FallingBox(0.0f, 100.0f);
    Simulate(world, {box});
    StartSimulation(world, StartRequest::Range);
    RunSimulationLoop(100);
    ASSERT_EQ(Recorded(box), 7u);
    ResetResults(world, 3.0f, false);
    EXPECT_EQ(Recorded(box), 4u);
    ResetResults(world, -3.4028235e38f, false);
    EXPECT_LE(Recorded(box), 1u);
    ResetResults(nullptr, 0.0f, true); // ignored
}

} // namespace
} // namespace QX_Driver_Test
