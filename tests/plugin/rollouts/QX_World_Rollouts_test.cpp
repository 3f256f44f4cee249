// The world's rollouts driven through the dialog model: the mode buttons and the driver, the
// result buttons, the on/off and list tool images, and the list rollouts' wiring.

#include "tests/plugin/rollouts/QX_Rollout_Test_Support.h"

namespace QX_Rollout_Test {
namespace {

const MCHAR* const kWorld = _T("World");
const MCHAR* const kObjects = _T("Simulation Objects");
const MCHAR* const kSupport = _T("Supporting Objects");
const MCHAR* const kAdvanced = _T("Global Advanced");

class WorldRolloutsTest : public RolloutTest {
protected:
    /// A world simulating one falling box, its rollouts open.
    QX_BULLET_OBJ* OpenWorldWithBox(int end = 30) {
        QX_BULLET_OBJ* world = MakeWorld(0, end);
        box = FallingBox(0.0f, 100.0f);
        box->SetName(_T("Crate"));
        Simulate(world, {box});
        EditWorld(world);
        return world;
    }
    bool Checked(int id) { return Read(kWorld, id).checked; }
    int Param(QX_BULLET_OBJ* world, ParamID id) { return world->Params()->GetInt(id, 0); }

    INode* box = nullptr;
};

TEST_F(WorldRolloutsTest, OpeningShowsImagesListsAndRemembersTheMainWindow) {
    QX_BULLET_OBJ* world = OpenWorldWithBox();
    EXPECT_EQ(world->mainRolloutWindow, Rollout(kWorld));

    const ControlSnapshot ground = Read(kWorld, WorldControl::Ground);
    EXPECT_TRUE(ground.checked); // the ground is on by default
    EXPECT_EQ(ground.image, QX_OnOff_Image::On);
    EXPECT_EQ(ground.imageWidth, 54);
    EXPECT_EQ(ground.imageHeight, 16);
    EXPECT_TRUE(ground.hasHighlight);
    EXPECT_EQ(ground.highlight, RGB(255, 100, 0));
    EXPECT_EQ(Read(kAdvanced, WorldControl::BadMesh).image, QX_OnOff_Image::Off);

    // Tool images in the order Pick, All, Invert, Add.., Remove, in both list rollouts.
    for (auto [title, which] : {std::pair{kObjects, QX_Node_List::Simulation},
                                std::pair{kSupport, QX_Node_List::Forces}}) {
        const QX_List_Tools& tools = ListTools(which);
        const int ids[] = {tools.pick, tools.all, tools.invert, tools.add, tools.remove};
        for (int image = 0; image < 5; ++image) {
            const ControlSnapshot button = Read(title, ids[image]);
            EXPECT_EQ(button.image, image) << ToUtf8(title) << " " << ids[image];
            EXPECT_EQ(button.imageWidth, 25);
            EXPECT_EQ(button.highlight, RGB(255, 100, 0));
        }
    }
    EXPECT_EQ(Read(kObjects, 2033).items, std::vector<std::string>{"Crate"});

    // The image lists are the module's: opening again reuses them.
    HIMAGELIST onOff = WorldOnOffImages();
    ASSERT_NE(onOff, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(onOff), 3);
    EXPECT_EQ(ImageList_GetImageCount(ListToolImages()), 5);
    EditWorld(world);
    EXPECT_EQ(WorldOnOffImages(), onOff);

    CloseAll();
    EXPECT_EQ(world->mainRolloutWindow, nullptr);
    EXPECT_EQ(script.FindRollout(kWorld), nullptr);
}

TEST_F(WorldRolloutsTest, GroundImageFollowsItsStateAndShowsTwoWhenDisabled) {
    QX_BULLET_OBJ* world = OpenWorldWithBox();
    Click(kWorld, WorldControl::Ground);
    EXPECT_EQ(Param(world, WorldParam::InfinitPlane), 0);
    EXPECT_EQ(Read(kWorld, WorldControl::Ground).image, QX_OnOff_Image::Off);
    Click(kWorld, WorldControl::Ground);
    EXPECT_EQ(Read(kWorld, WorldControl::Ground).image, QX_OnOff_Image::On);

    // Disabled: image 2 whether pressed in or out.
    HWND window = Rollout(kWorld);
    ICustButton* ground = GetICustButton(GetDlgItem(window, WorldControl::Ground));
    ASSERT_NE(ground, nullptr);
    ground->Disable();
    SetOnOffImage(window, WorldControl::Ground);
    EXPECT_EQ(Read(kWorld, WorldControl::Ground).image, QX_OnOff_Image::Disabled);
    ground->SetCheck(FALSE);
    SetOnOffImage(window, WorldControl::Ground);
    EXPECT_EQ(Read(kWorld, WorldControl::Ground).image, QX_OnOff_Image::Disabled);
    ReleaseICustButton(ground);

    // No such control: nothing happens.
    SetOnOffImage(window, 4242);
    SetOnOffImage(nullptr, WorldControl::Ground);
}

TEST_F(WorldRolloutsTest, BadMeshImageFollowsItsClicks) {
    QX_BULLET_OBJ* world = OpenWorldWithBox();
    Click(kAdvanced, WorldControl::BadMesh);
    EXPECT_EQ(Param(world, WorldParam::HideCorrupted), 1);
    EXPECT_EQ(Read(kAdvanced, WorldControl::BadMesh).image, QX_OnOff_Image::On);
}

TEST_F(WorldRolloutsTest, RangeRunsToTheEndAndReleasesItsButton) {
    QX_BULLET_OBJ* world = OpenWorldWithBox(3);
    Click(kWorld, WorldControl::Range);
    EXPECT_TRUE(DriverState().running);
    EXPECT_EQ(DriverState().world, world);
    EXPECT_TRUE(Checked(WorldControl::Range));
    RunSimulationLoop(100);
    EXPECT_FALSE(DriverState().running);
    EXPECT_EQ(Frame(), 3);
    EXPECT_FALSE(Checked(WorldControl::Range));
    EXPECT_EQ(Param(world, WorldParam::SimuleRange), 0);
    EXPECT_EQ(Recorded(box), 4u);
}

TEST_F(WorldRolloutsTest, LoopWhileRangeRunsKeepsTheCounter) {
    QX_BULLET_OBJ* world = OpenWorldWithBox(5);
    Click(kWorld, WorldControl::Range);
    Ticks(3);
    ASSERT_EQ(Frame(), 3);
    Click(kWorld, WorldControl::Loop);
    EXPECT_FALSE(Checked(WorldControl::Range));
    EXPECT_EQ(Param(world, WorldParam::SimuleRange), 0);
    EXPECT_TRUE(Checked(WorldControl::Loop));
    EXPECT_EQ(DriverState().mode, DriverMode::Loop);
    EXPECT_EQ(Frame(), 3);
    // It goes on to the end, then spends a tick going back to the start, and keeps running.
    Ticks(2);
    EXPECT_EQ(Frame(), 5);
    Ticks(1);
    EXPECT_EQ(Frame(), 0);
    EXPECT_TRUE(DriverState().running);
}

TEST_F(WorldRolloutsTest, RelaxWhileQuietRunsResetsAndRelaxes) {
    QX_BULLET_OBJ* world = OpenWorldWithBox(30);
    Host().SetTime(4 * GetTicksPerFrame());
    Click(kWorld, WorldControl::Quiet);
    EXPECT_EQ(DriverState().mode, DriverMode::Quiet);
    Ticks(6);
    ASSERT_EQ(Frame(), 4);
    ASSERT_GT(Recorded(box), 1u);

    Click(kWorld, WorldControl::Relax);
    EXPECT_FALSE(Checked(WorldControl::Quiet));
    EXPECT_EQ(Param(world, WorldParam::SimuleQuietly), 0);
    EXPECT_TRUE(Checked(WorldControl::Relax));
    EXPECT_EQ(DriverState().mode, DriverMode::Relax);
    EXPECT_TRUE(DriverState().running);
    // Every recorded frame went before the first relax step.
    EXPECT_EQ(Recorded(box), 0u);
    const int redraws = Host().RedrawCount();
    Ticks(2);
    EXPECT_EQ(Frame(), 0); // relax never moves the counter
    EXPECT_EQ(Host().RedrawCount(), redraws + 2);
    EXPECT_FALSE(QX_RIGID_MOD::FindRigidModifier(box)->GetCore().bodies.empty());
}

TEST_F(WorldRolloutsTest, UncheckingTheActiveModeStopsTheTimerAndExtendContinues) {
    QX_BULLET_OBJ* world = OpenWorldWithBox(10);
    Click(kWorld, WorldControl::Range);
    Ticks(4);
    Click(kWorld, WorldControl::Range);
    EXPECT_FALSE(DriverState().running);
    EXPECT_FALSE(Host().GetMessageLoop().HasTimer(OnSimulationTimer));
    EXPECT_EQ(Frame(), 4);
    EXPECT_EQ(Param(world, WorldParam::SimuleRange), 0);

    Click(kWorld, WorldControl::Extend);
    EXPECT_TRUE(DriverState().running);
    EXPECT_EQ(Frame(), 4); // Extend keeps the counter
    Ticks(1);
    EXPECT_EQ(Frame(), 5);
    RunSimulationLoop(100);
    EXPECT_FALSE(Checked(WorldControl::Extend));
    EXPECT_EQ(Param(world, WorldParam::SimuleRangeNext), 0);
}

TEST_F(WorldRolloutsTest, ModeButtonsAreExclusive) {
    QX_BULLET_OBJ* world = OpenWorldWithBox(10);
    const int modes[] = {WorldControl::Range, WorldControl::Loop, WorldControl::Quiet,
                         WorldControl::Extend, WorldControl::Relax};
    for (int pressed : modes) {
        Click(kWorld, pressed);
        for (const QX_Mode_Button& button : ModeButtons()) {
            const bool on = button.control == pressed;
            EXPECT_EQ(Checked(button.control), on) << pressed << " " << button.control;
            EXPECT_EQ(Param(world, button.param), on ? 1 : 0) << pressed << " " << button.param;
        }
    }
    // "Restart" is only stored.
    Click(kWorld, WorldControl::Restart);
    EXPECT_EQ(Param(world, WorldParam::Reset), 1);
    EXPECT_TRUE(Checked(WorldControl::Relax));
}

TEST_F(WorldRolloutsTest, ResetEraseAndSliderRewindTheResults) {
    OpenWorldWithBox(10);
    Click(kWorld, WorldControl::Range);
    RunSimulationLoop(100);
    ASSERT_EQ(Recorded(box), 11u);

    Host().SetTime(4 * GetTicksPerFrame());
    const int redraws = Host().RedrawCount();
    Click(kWorld, WorldControl::Slider);
    EXPECT_EQ(Recorded(box), 5u); // frames 0..4 stay
    EXPECT_GT(Host().RedrawCount(), redraws);
    EXPECT_FALSE(DriverState().running);

    Click(kWorld, WorldControl::Reset);
    EXPECT_EQ(Recorded(box), 0u);

    // "Erase" also drops what "Relax" stored as the start.
    Click(kWorld, WorldControl::Relax);
    Ticks(2);
    Click(kWorld, WorldControl::Relax);
    EXPECT_FALSE(DriverState().running);
    const auto& bodies = QX_RIGID_MOD::FindRigidModifier(box)->GetCore().bodies;
    ASSERT_FALSE(bodies.empty());
    ASSERT_FALSE(bodies.front()->pristine);
    Click(kWorld, WorldControl::Reset);
    EXPECT_FALSE(bodies.front()->pristine); // "Reset" keeps the relaxed start
    Click(kWorld, WorldControl::Erase);
    EXPECT_TRUE(bodies.front()->pristine);
    EXPECT_EQ(Recorded(box), 0u);
}

TEST_F(WorldRolloutsTest, ARunThatEndsAfterTheRolloutsClosedOnlyClearsTheSwitch) {
    QX_BULLET_OBJ* world = OpenWorldWithBox(4);
    Click(kWorld, WorldControl::Range);
    Ticks(2);
    CloseAll();
    EXPECT_EQ(world->mainRolloutWindow, nullptr);
    EXPECT_TRUE(DriverState().running); // the driver outlives the rollouts
    RunSimulationLoop(100);
    EXPECT_FALSE(DriverState().running);
    EXPECT_EQ(Param(world, WorldParam::SimuleRange), 0);
    // Opened again, the buttons show the cleared switch.
    EditWorld(world);
    EXPECT_FALSE(Checked(WorldControl::Range));
}

TEST_F(WorldRolloutsTest, ListToolsPickAddRemoveAndDoubleClick) {
    QX_BULLET_OBJ* world = OpenWorldWithBox();
    INode* slab = BoxNode(50.0f, Point3(200.0f, 0.0f, 0.0f));
    slab->SetName(_T("Slab"));

    Click(kObjects, 2028);
    EXPECT_EQ(Host().GetCurPickMode(), &PickModeFor(QX_Node_List::Simulation));
    EXPECT_TRUE(Host().PickAt(slab));
    EXPECT_NE(QX_RIGID_MOD::FindRigidModifier(slab), nullptr);
    EXPECT_EQ(Read(kObjects, 2033).items, (std::vector<std::string>{"Crate", "Slab"}));
    // Released by the user, the pick run ends and the switch goes off.
    Click(kObjects, 2028);
    EXPECT_EQ(Host().GetCurPickMode(), nullptr);
    EXPECT_EQ(Param(world, WorldParam::PickBtn), 0);

    // Double click selects the listed node in the scene.
    std::string error;
    ASSERT_TRUE(script.DoubleClick(Rollout(kObjects), 2033, 1, &error)) << error;
    Deliver();
    ASSERT_EQ(Host().GetSelNodeCount(), 1);
    EXPECT_EQ(Host().GetSelNode(0), slab);

    // Invert (nothing else selected besides item 1) then Remove drops "Crate".
    Click(kObjects, 2032);
    EXPECT_EQ(Read(kObjects, 2033).selection, std::vector<int>{0});
    Click(kObjects, 2030);
    EXPECT_EQ(Read(kObjects, 2033).items, std::vector<std::string>{"Slab"});
    EXPECT_EQ(world->Params()->Count(WorldParam::NodesList), 1);

    // All, then Remove empties the list; Add.. brings the selected slab back.
    Click(kObjects, 2031);
    Click(kObjects, 2030);
    EXPECT_TRUE(Read(kObjects, 2033).items.empty());
    Click(kObjects, 2029);
    EXPECT_EQ(Read(kObjects, 2033).items, std::vector<std::string>{"Slab"});

    // The force list refuses the world itself through its pick mode.
    Click(kSupport, 1032);
    EXPECT_EQ(Host().GetCurPickMode(), &PickModeFor(QX_Node_List::Forces));
    Host().PickAt(worldNode);
    EXPECT_TRUE(Read(kSupport, 1037).items.empty());
    // Closing the rollouts ends any pick run.
    CloseAll();
    EXPECT_EQ(Host().GetCurPickMode(), nullptr);
}

} // namespace
} // namespace QX_Rollout_Test
