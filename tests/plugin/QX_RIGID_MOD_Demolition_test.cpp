// The rigid modifier's demolition pieces as a scene uses them: "To Fragments" through the shatter
// library the modifier installs, the "Capture" parameter, and "Bake" called on the modifier.

#include "tests/plugin/QX_Plugin_Test_Support.h"

#include "host/Hold.h"
#include "modifier/QX_Mesh_Convert.h"
#include "modifier/QX_RIGID_MOD_Bake.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/plugin/QX_Fragment_Checks.h"

namespace {

namespace P = QX_RigidParam;

constexpr int kColumns = 5;
constexpr int kRows = 4;
constexpr float kBrick = 10.0f; // cm

class QX_RIGID_MOD_Demolition : public QX_Plugin_Test::PluginTest {
protected:
    // A wall of 5 x 4 bricks of 10 cm (one object, every brick its own body) breaking "To
    // Fragments", and a 10 cm box thrown at its second row at 750 cm/s.
    void BuildScene() {
        auto* tri = new TriObject();
        QX_Mesh_Convert::ImportMesh(Quarix::Fixtures::MakeBoxWall(kColumns, kRows, 0.0f),
                                    tri->mesh);
        for (int v = 0; v < tri->mesh.getNumVerts(); ++v)
            tri->mesh.setVert(v, tri->mesh.getVert(v) * kBrick);
        wallNode = Host().CreateObjectNode(tri);
        wall = Rigid(wallNode);
        IParamBlock2& pb = *wall->refTarg_ParamBlock;
        pb.SetValue(P::Separate, 0, 0); // one body per element
        pb.SetValue(P::Percentage, 0, 0);
        pb.SetValue(P::PrimaryToFragments, 0, 1);
        pb.SetValue(P::NumFragments, 0, 6);
        pb.SetValue(P::FragmentsVariation, 0, 0);
        pb.SetValue(P::Solidity, 0, kSolidity);

        ballNode = BoxNode(kBrick, Point3(0, -40, 10));
        Host().SetAnimateMode(true);
        ballNode->SetNodeTM(GetTicksPerFrame(), TransMatrix(Point3(0, -25, 10)));
        Host().SetAnimateMode(false);
        ball = Rigid(ballNode);
        wallNode->EvalWorldState(0);
        ballNode->EvalWorldState(0);
        Quarix::Fixtures::ConfigureWorld(world, 5, 1470.0f, true);
    }
    void Run(int frames) {
        QX_Plugin_Test::SimulateThroughModifiers(world, {wall, ball}, 0, frames);
    }

    static constexpr float kSolidity = 30.0f;
    Quarix::QX_BT_World world;
    INode* wallNode = nullptr;
    INode* ballNode = nullptr;
    QX_RIGID_MOD* wall = nullptr;
    QX_RIGID_MOD* ball = nullptr;
};

TEST_F(QX_RIGID_MOD_Demolition, AHitWallBreaksIntoPiecesOfTheBrokenBricksVolume) {
    BuildScene();
    Run(6);
    const Quarix::QX_BT_MeshController& core = wall->GetCore();
    ASSERT_GT(core.bodies.size(), size_t(kColumns * kRows));
    const std::vector<Quarix::Checks::Breakup> broken = Quarix::Checks::FragmentBreakups(core);
    EXPECT_FALSE(broken.empty());
    for (const Quarix::Checks::Breakup& b : broken) {
        double pieces = 0.0;
        for (const Quarix::QX_BT_Face_List& faces : b.pieces)
            pieces += Quarix::Checks::RecordVolume(core.simulationMesh, faces);
        const double whole =
            Quarix::Checks::RecordVolume(core.simulationMesh, Quarix::CollectBodyFaces(*b.body));
        EXPECT_GE(b.pieces.size(), 2u);
        EXPECT_NEAR(whole, kBrick * kBrick * kBrick, 1e-3 * whole);
        EXPECT_NEAR(pieces, whole, 1e-4 * whole);
    }
    // The pieces reach the node's mesh.
    const Mesh* shown = Evaluated(wallNode, 5 * GetTicksPerFrame());
    ASSERT_NE(shown, nullptr);
    EXPECT_GT(shown->getNumFaces(), 12 * kColumns * kRows);
}

TEST_F(QX_RIGID_MOD_Demolition, TheCaptureParameterCopiesAndEmptiesTheInputMesh) {
    INode* node = BoxNode(kBrick);
    QX_RIGID_MOD* mod = Rigid(node);
    node->EvalWorldState(0);
    IParamBlock2& pb = *mod->refTarg_ParamBlock;
    const Quarix::QX_BT_MeshController& core = mod->GetCore();
    EXPECT_EQ(mod->CaptureText(), L"Capture<NONE>");

    pb.SetValue(P::Capture, 0, 1);
    EXPECT_EQ(core.capturedMesh.faceCount(), 12u);
    EXPECT_EQ(mod->CaptureText(), L"Captured: 12 faces");

    // The block still names "Capture" as changed last when something else notifies: a new input
    // mesh must not be taken by it.
    static_cast<BoxObject*>(node->GetObjectRef()->FindBaseObject())->SetSegments(2, 2, 2);
    node->EvalWorldState(0);
    ASSERT_GT(core.inputMesh.faceCount(), 12u);
    mod->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    pb.NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    EXPECT_EQ(core.capturedMesh.faceCount(), 12u);

    pb.SetValue(P::Capture, 0, 0);
    EXPECT_EQ(core.capturedMesh.faceCount(), 0u);
    EXPECT_EQ(mod->CaptureText(), L"Capture<NONE>");
}

TEST_F(QX_RIGID_MOD_Demolition, BakeKeepsOrDeletesTheSourceByExplodeDel) {
    BuildScene();
    Run(3);
    const int bodies = int(wall->GetCore().bodies.size());
    theHold.Clear();

    Tab<INode*> kept;
    ASSERT_FALSE(wall->Bake(&kept));
    EXPECT_EQ(kept.Count(), bodies);
    EXPECT_TRUE(Host().IsInScene(wallNode));
    EXPECT_TRUE(theHold.RecordNames().empty());

    wall->refTarg_ParamBlock->SetValue(P::ExplodeDel, 0, 1);
    Tab<INode*> made;
    QX_Bake_Report report;
    ASSERT_TRUE(wall->Bake(&made, &report));
    EXPECT_EQ(made.Count(), bodies);
    EXPECT_EQ(report.nodes, bodies);
    EXPECT_FALSE(Host().IsInScene(wallNode));
    EXPECT_EQ(Host().GetSelNodeCount(), bodies);
    ASSERT_EQ(theHold.RecordNames().size(), 1u);
    EXPECT_EQ(theHold.RecordNames()[0], L"Delete After Explode");
    ASSERT_TRUE(theHold.Undo());
    EXPECT_TRUE(Host().IsInScene(wallNode));
}

} // namespace
