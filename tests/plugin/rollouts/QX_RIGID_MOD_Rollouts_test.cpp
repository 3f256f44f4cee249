// The rigid modifier's rollouts driven through the dialog model: exclusive groups, presets,
// "Capture", the on/off buttons, "Override", and the Animation rollout's commands.

#include "tests/plugin/rollouts/QX_Rollout_Test_Support.h"

#include "host/Hold.h"
#include "modifier/QX_RIGID_MOD_Fragments.h"

namespace QX_Rollout_Test {
namespace {

namespace P = QX_RigidParam;
namespace C = QX_RigidControl;

const MCHAR* const kProperties = _T("Properties");
const MCHAR* const kDemolition = _T("Demolition");
const MCHAR* const kActivation = _T("Activation");
const MCHAR* const kAdvanced = _T("Advanced");
const MCHAR* const kAnimation = _T("Animation");

class ModifierRolloutsTest : public RolloutTest {
protected:
    /// A 20 cm box (12 triangles) with the rigid modifier, evaluated once, its rollouts open.
    QX_RIGID_MOD* OpenBox() {
        node = BoxNode(20.0f, Point3(0.0f, 0.0f, 50.0f));
        node->SetName(_T("Crate"));
        mod = Rigid(node);
        Evaluated(node, 0);
        pb = mod->refTarg_ParamBlock;
        EditModifier(mod);
        return mod;
    }
    int Int(ParamID id) { return pb->GetInt(id, 0); }
    float Float(ParamID id) { return pb->GetFloat(id, 0); }

    INode* node = nullptr;
    QX_RIGID_MOD* mod = nullptr;
    IParamBlock2* pb = nullptr;
};

TEST_F(ModifierRolloutsTest, ExclusiveGroupsTurnTheOthersOffAndSetNothingElse) {
    OpenBox();
    // Defaults: "Separate" on, "Solid" and "Clusters" off.
    ASSERT_EQ(Int(P::Separate), 1);
    Click(kProperties, C::Solid);
    EXPECT_EQ(Int(P::Solid), 1);
    EXPECT_EQ(Int(P::Separate), 0);
    EXPECT_FALSE(Read(kProperties, C::Separate).checked);
    EXPECT_EQ(Int(P::Clusters), 0);

    // "Solid" off and on again with the others already off: nothing but "Solid" is written.
    Click(kProperties, C::Solid);
    Click(kProperties, C::Solid);
    EXPECT_EQ(pb->LastNotifyParamID(), P::Solid);
    EXPECT_EQ(Int(P::Separate), 0);

    // "Clusters" releases "Solid".
    Click(kProperties, C::Clusters);
    EXPECT_EQ(Int(P::Solid), 0);
    EXPECT_FALSE(Read(kProperties, C::Solid).checked);
    EXPECT_EQ(Int(P::Clusters), 1);

    // The rigid types: "Dynamic" is on by default; "Dead" turns it off.
    Click(kProperties, C::Dead);
    EXPECT_EQ(Int(P::Dead), 1);
    EXPECT_EQ(Int(P::Dynamic), 0);
    EXPECT_FALSE(Read(kProperties, C::Dynamic).checked);
    Click(kProperties, C::Static);
    EXPECT_EQ(Int(P::Static), 1);
    EXPECT_EQ(Int(P::Dead), 0);
    EXPECT_EQ(Int(P::Kinematic), 0);
}

TEST_F(ModifierRolloutsTest, MaterialPresetWritesItsFourValues) {
    OpenBox();
    pb->SetValue(P::Variation, 0, 77);
    Combo(kProperties, C::MaterialPreset, 0); // "Heavy Metal"
    EXPECT_EQ(Int(P::MaterialPreset), 0);
    EXPECT_FLOAT_EQ(Float(P::Density), 11.0f);
    EXPECT_FLOAT_EQ(Float(P::Friction), 0.75f);
    EXPECT_FLOAT_EQ(Float(P::Restitution), 0.07f);
    EXPECT_FLOAT_EQ(Float(P::Solidity), 100.0f);
    EXPECT_EQ(Int(P::Variation), 77);
    // The spinners show the new values.
    EXPECT_FLOAT_EQ(static_cast<float>(Read(kProperties, 2038).value), 11.0f);
    Combo(kProperties, C::MaterialPreset, 9); // "Wood"
    EXPECT_FLOAT_EQ(Float(P::Density), 0.7f);
    EXPECT_FLOAT_EQ(Float(P::Solidity), 4.0f);
}

TEST_F(ModifierRolloutsTest, CaptureCopiesTheInputMeshAndNamesItsFaces) {
    OpenBox();
    EXPECT_EQ(Read(kDemolition, C::Capture).text, "Capture<NONE>");
    Click(kDemolition, C::Capture);
    EXPECT_EQ(Int(P::Capture), 1);
    EXPECT_EQ(mod->GetCore().capturedMesh.faceCount(), 12u);
    EXPECT_EQ(Read(kDemolition, C::Capture).text, "Captured: 12 faces");
    // Opened again, the text is rebuilt from the state.
    EditModifier(mod);
    EXPECT_EQ(Read(kDemolition, C::Capture).text, "Captured: 12 faces");
    Click(kDemolition, C::Capture);
    EXPECT_EQ(mod->GetCore().capturedMesh.faceCount(), 0u);
    EXPECT_EQ(Read(kDemolition, C::Capture).text, "Capture<NONE>");
    EXPECT_EQ(QX_CaptureButtonText(true, 0), L"Captured: 0 faces");
}

TEST_F(ModifierRolloutsTest, OnOffButtonsShowTheirStateWithTheModifierImages) {
    OpenBox();
    for (auto [title, id] :
         {std::pair{kDemolition, 2126}, std::pair{kDemolition, 1012}, std::pair{kActivation, 1006},
          std::pair{kActivation, 2168}, std::pair{kAnimation, int{C::ExplodeDel}}}) {
        ControlSnapshot button = Read(title, id);
        EXPECT_EQ(button.image, QX_OnOff_Image::Off) << id;
        EXPECT_EQ(button.highlight, RGB(255, 100, 0)) << id;
        Click(title, id);
        EXPECT_EQ(Read(title, id).image, QX_OnOff_Image::On) << id;
        Click(title, id);
        EXPECT_EQ(Read(title, id).image, QX_OnOff_Image::Off) << id;
    }
    // Both classes' on/off bitmaps are the same resource: one module-wide list serves them.
    ASSERT_NE(RigidOnOffImages(), nullptr);
    EXPECT_EQ(RigidOnOffImages(), WorldOnOffImages());
    EXPECT_EQ(ImageList_GetImageCount(RigidOnOffImages()), 3);
}

TEST_F(ModifierRolloutsTest, OverrideEnablesTheAdvancedValues) {
    OpenBox();
    const int spinners[] = {1011, 2016, 1014, 1016, 1018, 1020, 1022};
    auto expectEnabled = [&](bool on) {
        for (int id : spinners) {
            EXPECT_EQ(Read(kAdvanced, id).enabled, on) << id;
            EXPECT_EQ(Read(kAdvanced, id - 1).enabled, on) << id - 1;
        }
        EXPECT_EQ(Read(kAdvanced, C::BadMesh).enabled, on);
        EXPECT_EQ(Read(kAdvanced, C::BadMesh).image,
                  on ? QX_OnOff_Image::Off : QX_OnOff_Image::Disabled);
    };
    expectEnabled(false);
    Click(kAdvanced, C::Override);
    expectEnabled(true);
    Click(kAdvanced, C::BadMesh);
    EXPECT_EQ(Read(kAdvanced, C::BadMesh).image, QX_OnOff_Image::On);
    Click(kAdvanced, C::Override);
    for (int id : spinners)
        EXPECT_FALSE(Read(kAdvanced, id).enabled) << id;
    EXPECT_EQ(Read(kAdvanced, C::BadMesh).image, QX_OnOff_Image::Disabled);
    // A disabled control takes no clicks.
    EXPECT_FALSE(script.Click(Rollout(kAdvanced), C::BadMesh));
}

TEST_F(ModifierRolloutsTest, SuffixIsWrittenQuietlyAndTheKeyboardComesBack) {
    OpenBox();
    EXPECT_EQ(Read(kAnimation, C::Suffix).text, "_b_");
    std::string error;
    ASSERT_TRUE(script.Focus(Rollout(kAnimation), C::Suffix, &error)) << error;
    Deliver();
    EXPECT_FALSE(Host().GetAcceleratorsEnabled());
    ASSERT_TRUE(script.Focus(Rollout(kAnimation), 0, &error)) << error;
    Deliver();
    EXPECT_TRUE(Host().GetAcceleratorsEnabled());

    Type(kAnimation, C::Suffix, _T("_piece_"));
    EXPECT_EQ(MSTR(pb->GetStr(P::ExplodeSuffix, 0)), MSTR(_T("_piece_")));
    EXPECT_TRUE(pb->NotificationsEnabled());

    // Closing the rollout while the box has the focus gives the keyboard back.
    ASSERT_TRUE(script.Focus(Rollout(kAnimation), C::Suffix, &error)) << error;
    Deliver();
    EXPECT_FALSE(Host().GetAcceleratorsEnabled());
    CloseAll();
    EXPECT_TRUE(Host().GetAcceleratorsEnabled());
}

TEST_F(ModifierRolloutsTest, SuffixChangesAreWrittenWithoutNotifying) {
    OpenBox();
    // A keystroke in the box: its text changes and the procedure hears EN_CHANGE.
    SetDlgItemText(Rollout(kAnimation), C::Suffix, _T("_x_"));
    mod->GetCore().changedMark = 0;
    IParamMap2* map = pb->GetMap(4);
    ASSERT_NE(map, nullptr);
    map->CallUserProc(WM_COMMAND, MAKEWPARAM(C::Suffix, EN_CHANGE), 0);
    EXPECT_EQ(MSTR(pb->GetStr(P::ExplodeSuffix, 0)), MSTR(_T("_x_")));
    EXPECT_EQ(mod->GetCore().changedMark, 0); // the modifier heard nothing
    EXPECT_TRUE(pb->NotificationsEnabled());
}

/// The box simulated for `frames` frames by the world's "Range" (rollouts closed meanwhile).
class SimulatedModifierTest : public ModifierRolloutsTest {
protected:
    void SimulateBox(int frames) {
        QX_BULLET_OBJ* world = MakeWorld(0, frames);
        OpenBox();
        Simulate(world, {node});
        StartSimulation(world, StartRequest::Range);
        RunSimulationLoop(1000);
        ASSERT_EQ(Recorded(node), static_cast<size_t>(frames + 1));
        EditModifier(mod);
    }
};

TEST_F(SimulatedModifierTest, ResetAnimationDropsTheRecordAndFitSetsTheEnd) {
    SimulateBox(6);
    pb->SetValue(P::ExplodeEnd, 0, 50);
    Click(kAnimation, C::Fit);
    EXPECT_EQ(Int(P::ExplodeEnd), Int(P::ExplodeStart) + 6);
    EXPECT_EQ(Read(kAnimation, 2073).value, Int(P::ExplodeEnd));

    const int redraws = Host().RedrawCount();
    Click(kAnimation, C::ResetAnimation);
    EXPECT_EQ(Recorded(node), 0u);
    EXPECT_TRUE(mod->GetCore().meshHistory.empty());
    EXPECT_GT(Host().RedrawCount(), redraws);
    // With nothing recorded, Fit gives the shortest span.
    Click(kAnimation, C::Fit);
    EXPECT_EQ(Int(P::ExplodeEnd), Int(P::ExplodeStart) + 1);
}

TEST_F(SimulatedModifierTest, BakeWithoutDeleteKeepsTheSourceAndMakesNoUndoRecord) {
    SimulateBox(4);
    theHold.Clear();
    const size_t before = Host().AllNodes().size();
    Click(kAnimation, C::Bake);
    EXPECT_TRUE(Host().IsInScene(node));
    EXPECT_EQ(Host().AllNodes().size(), before + 1);
    EXPECT_NE(Host().GetINodeByName(_T("Crate_b_0")), nullptr);
    EXPECT_TRUE(theHold.RecordNames().empty());
}

TEST_F(SimulatedModifierTest, BakeWithDeleteRemovesTheSourceInOneUndoRecord) {
    SimulateBox(4);
    Click(kAnimation, C::ExplodeDel);
    Type(kAnimation, C::Suffix, _T("-"));
    theHold.Clear();
    Click(kAnimation, C::Bake);
    EXPECT_FALSE(Host().IsInScene(node));
    INode* piece = Host().GetINodeByName(_T("Crate-0"));
    ASSERT_NE(piece, nullptr);
    ASSERT_EQ(Host().GetSelNodeCount(), 1);
    EXPECT_EQ(Host().GetSelNode(0), piece);
    EXPECT_EQ(theHold.RecordNames(), std::vector<MSTR>{_T("Delete After Explode")});
    CloseAll();
    ASSERT_TRUE(theHold.Undo());
    EXPECT_TRUE(Host().IsInScene(node));
}

TEST_F(SimulatedModifierTest, AModifierFreedWithItsRolloutsOpenClosesThemFirst) {
    SimulateBox(2);
    Click(kAnimation, C::ExplodeDel);
    Click(kAnimation, C::Bake);
    ASSERT_FALSE(Host().IsInScene(node));
    ASSERT_NE(script.FindRollout(kAnimation), nullptr); // still open on the deleted node's modifier
    theHold.Clear(); // the deleted node, and its modifier with it, are freed now
    EXPECT_EQ(script.FindRollout(kAnimation), nullptr);
    EXPECT_EQ(script.FindRollout(kProperties), nullptr);
    editedMod = nullptr;
}

TEST_F(ModifierRolloutsTest, AWorldFreedWithItsRolloutsOpenClosesThemFirst) {
    QX_BULLET_OBJ* world = MakeWorld();
    EditWorld(world);
    ASSERT_NE(script.FindRollout(_T("World")), nullptr);
    theHold.Begin();
    Host().DeleteNode(worldNode);
    theHold.Accept(_T("Delete"));
    theHold.Clear();
    EXPECT_EQ(script.FindRollout(_T("World")), nullptr);
    EXPECT_EQ(script.FindRollout(_T("Simulation Objects")), nullptr);
    editedWorld = nullptr;
}

} // namespace
} // namespace QX_Rollout_Test
