// A whole piece of work as a user does it, through the rollouts only: a world and a brick wall
// (centimetres, 30 frames per second), the wall picked into the simulation list, "Range" run to
// the end by the message loop, "Bake" with "Delete :" on, undo, redo, save and reload; opened
// again, every control shows what it showed before the scene was saved.

#include "tests/plugin/rollouts/QX_Rollout_Test_Support.h"

#include "host/Hold.h"
#include "host/SceneIO.h"
#include "modifier/QX_Mesh_Convert.h"
#include "tests/fixtures/QX_Test_Meshes.h"

#include <sstream>

namespace QX_Rollout_Test {
namespace {

namespace C = QX_RigidControl;

const MCHAR* const kWorld = _T("World");
const MCHAR* const kObjects = _T("Simulation Objects");

constexpr int kColumns = 3;
constexpr int kRows = 2;
constexpr float kBrick = 20.0f; // cm
constexpr int kEndFrame = 12;

/// A node of one mesh: kColumns x kRows bricks of kBrick centimetres, one element each.
INode* WallNode() {
    Quarix::QX_BT_Mesh_Data wall;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column)
            Fixtures::AppendElement(wall,
                                    Fixtures::MakeBox(glm::vec3((column - 1) * kBrick * 1.01f, 0.0f,
                                                                (row + 0.5f) * kBrick * 1.01f),
                                                      glm::vec3(kBrick * 0.5f)));
    TriObject* object = CreateNewTriObject();
    QX_Mesh_Convert::ImportMesh(wall, object->mesh);
    INode* node = GetCOREInterface()->CreateObjectNode(object);
    node->SetName(_T("Wall"));
    return node;
}

/// Everything a control shows, one line per control, for comparing two openings.
std::string Shown(const std::vector<RolloutSnapshot>& rollouts) {
    std::ostringstream out;
    for (const RolloutSnapshot& r : rollouts) {
        out << "[" << r.title << "] dialog " << r.dialogId << " map " << r.map << "\n";
        for (const ControlSnapshot& c : r.controls) {
            out << "  " << c.id << " " << c.kind << " '" << c.text << "' on=" << c.checked
                << " en=" << c.enabled << " vis=" << c.visible << " v=" << c.value << " ["
                << c.minValue << "," << c.maxValue << "] sel=" << c.curSel << " img=" << c.image
                << " items=";
            for (const std::string& item : c.items)
                out << item << "|";
            out << "\n";
        }
    }
    return out.str();
}

class WorkflowTest : public RolloutTest {
protected:
    std::string ShownNow() { return Shown(SnapshotRollouts(Host().GetRollouts())); }

    /// The scene's world object and the node named `name` after a reload.
    QX_BULLET_OBJ* FindWorld() {
        for (INode* n : Host().AllNodes())
            if (Object* obj = n->GetObjectRef(); obj && obj->ClassID() == kWorldObjectClassID)
                return static_cast<QX_BULLET_OBJ*>(obj);
        return nullptr;
    }
};

TEST_F(WorkflowTest, WallFromPickToBakeSurvivesUndoRedoAndReload) {
    ASSERT_EQ(Host().GetFrameRate(), 30);
    auto* world = static_cast<QX_BULLET_OBJ*>(GetQX_BULLET_OBJ_Desc()->Create());
    Host().CreateObjectNode(world);
    INode* wall = WallNode();
    // A slab that stays simulated, so that a modifier survives the bake too.
    INode* slab = BoxNode(40.0f, Point3(300.0f, 0.0f, 0.0f));
    slab->SetName(_T("Slab"));

    // World rollout: frames 0..12, then pick the wall and the slab.
    EditWorld(world);
    Spin(kWorld, 2025, kEndFrame);
    EXPECT_EQ(world->Params()->GetInt(WorldParam::EndFrame, 0), kEndFrame);
    EXPECT_EQ(Read(kWorld, 1031).value, kEndFrame); // "Range :" follows
    Click(kObjects, 2028);
    ASSERT_TRUE(Host().PickAt(wall));
    ASSERT_TRUE(Host().PickAt(slab));
    Host().RightClickPick();
    EXPECT_EQ(Read(kObjects, 2033).items, (std::vector<std::string>{"Wall", "Slab"}));
    QX_RIGID_MOD* wallMod = QX_RIGID_MOD::FindRigidModifier(wall);
    QX_RIGID_MOD* slabMod = QX_RIGID_MOD::FindRigidModifier(slab);
    ASSERT_NE(wallMod, nullptr);
    ASSERT_NE(slabMod, nullptr);

    // The slab is static glass with its own advanced values and suffix.
    EditModifier(slabMod);
    Combo(_T("Properties"), 2193, 0);
    Combo(_T("Properties"), C::MaterialPreset, 6);
    Click(_T("Advanced"), C::Override);
    Spin(_T("Advanced"), 1014, 0.5);
    Type(_T("Animation"), C::Suffix, _T("_glass_"));

    // "Range", and the loop runs the simulation to its end.
    EditWorld(world);
    Click(kWorld, WorldControl::Range);
    EXPECT_TRUE(Read(kWorld, WorldControl::Range).checked);
    RunSimulationLoop(10000);
    EXPECT_FALSE(DriverState().running);
    EXPECT_FALSE(Read(kWorld, WorldControl::Range).checked);
    EXPECT_EQ(Host().GetTime(), kEndFrame * GetTicksPerFrame());
    ASSERT_EQ(wallMod->GetCore().bodies.size(), static_cast<size_t>(kColumns * kRows));
    EXPECT_EQ(Recorded(wall), static_cast<size_t>(kEndFrame + 1));

    // "Bake" with "Delete :" on: one node per brick, the wall gone in one undo record.
    EditModifier(wallMod);
    Click(_T("Animation"), C::ExplodeDel);
    Click(_T("Animation"), C::Bake);
    CloseAll();
    EXPECT_FALSE(Host().IsInScene(wall));
    for (int i = 0; i < kColumns * kRows; ++i)
        EXPECT_NE(Host().GetINodeByName((_T("Wall_b_") + std::to_wstring(i)).c_str()), nullptr)
            << i;
    EXPECT_EQ(theHold.RecordNames().back(), MSTR(_T("Delete After Explode")));

    ASSERT_TRUE(theHold.Undo());
    EXPECT_TRUE(Host().IsInScene(wall));
    ASSERT_TRUE(theHold.Redo());
    EXPECT_FALSE(Host().IsInScene(wall));

    // What the rollouts show before the scene is saved...
    EditWorld(world);
    EXPECT_EQ(Read(kObjects, 2033).items, std::vector<std::string>{"Slab"});
    const std::string worldShown = ShownNow();
    EditModifier(slabMod);
    EXPECT_EQ(Read(_T("Properties"), 2193).curSel, 0);
    EXPECT_TRUE(Read(_T("Advanced"), 1014).enabled);
    const std::string slabShown = ShownNow();
    CloseAll();

    std::vector<BYTE> bytes;
    std::string error;
    ASSERT_TRUE(SaveScene(Host(), bytes, &error)) << error;
    ASSERT_TRUE(LoadScene(Host(), bytes, &error)) << error;

    // ... is what they show after it is loaded again.
    QX_BULLET_OBJ* loaded = FindWorld();
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(loaded, world);
    EditWorld(loaded);
    EXPECT_EQ(ShownNow(), worldShown);
    INode* loadedSlab = Host().GetINodeByName(_T("Slab"));
    ASSERT_NE(loadedSlab, nullptr);
    EditModifier(QX_RIGID_MOD::FindRigidModifier(loadedSlab));
    EXPECT_EQ(ShownNow(), slabShown);
    EXPECT_EQ(Read(_T("Animation"), C::Suffix).text, "_glass_");
    EXPECT_FLOAT_EQ(static_cast<float>(Read(_T("Advanced"), 1014).value), 0.5f);
}

} // namespace
} // namespace QX_Rollout_Test
