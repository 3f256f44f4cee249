// The rigid modifier's demolition pieces as a scene uses them: "To Fragments" through the shatter
// library the modifier installs, the "Capture" parameter, and "Bake" called on the modifier.

#include "tests/plugin/QX_Plugin_Test_Support.h"

#include "host/Hold.h"
#include "modifier/QX_Mesh_Convert.h"
#include "modifier/QX_RIGID_MOD_Bake.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Units.h"
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
    /// Strength at which the throw breaks bricks in a world set up as a new world object.
    static constexpr float kHostWorldSolidity = 3000.0f;
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

TEST_F(QX_RIGID_MOD_Demolition, BakeOfAReloadedSceneReplaysTheRecordedPieces) {
    // The wall in a centimetre world set up as a new world object; the breakup is saved with the
    // scene and baked from the loaded records, which are never rebuilt into bodies.
    BuildScene();
    Quarix::Fixtures::ConfigureHostWorld(world, Quarix::Fixtures::Centimetres());
    // In this world the wall's own weight breaks every brick at frame 0 below about a thousand.
    wall->refTarg_ParamBlock->SetValue(P::Solidity, 0, kHostWorldSolidity);
    constexpr int kFrames = 8;
    Run(kFrames);
    wall->UpdatePlaybackEnd(true);
    IParamBlock2& pb = *wall->refTarg_ParamBlock;
    pb.SetValue(P::ExplodeEnd, 0, kFrames);
    pb.SetValue(P::ExplodeRandColors, 0, 1);

    // What playback shows of every body at every frame, in world space (the node sits at the
    // origin), and when each body lives.
    Quarix::QX_BT_MeshController& live = wall->GetCore();
    struct Expected {
        float lifeStart, lifeEnd;
        bool fragment, broken;
        std::vector<std::vector<glm::vec3>> frames; // empty where the body is not alive
    };
    std::vector<Expected> expected;
    for (const auto& body : live.bodies)
        expected.push_back({body->lifeStart, body->lifeEnd, body->parent != nullptr,
                            body->demolishedAs == 1, std::vector<std::vector<glm::vec3>>(kFrames)});
    for (int f = 0; f < kFrames; ++f) {
        live.evaluateOutput(float(f));
        for (size_t b = 0; b < live.bodies.size(); ++b) {
            if (!Quarix::IsAlive(*live.bodies[b], float(f)))
                continue;
            Quarix::QX_BT_Mesh_Data played;
            live.outputMesh.ExtractFaces(played, Quarix::CollectBodyFaces(*live.bodies[b]));
            for (int32_t v = 0; v < int32_t(played.geometry.vertexCount()); ++v)
                expected[b].frames[size_t(f)].push_back(played.geometry.vertex(v));
        }
    }
    const int births = int(std::count_if(expected.begin(), expected.end(),
                                         [](const Expected& e) { return e.fragment; }));
    ASSERT_GT(births, 0) << "the projectile broke no brick";

    const MSTR name = wallNode->GetName();
    std::vector<BYTE> saved;
    INode* loaded = SaveAndReload(name, saved);
    ASSERT_NE(loaded, nullptr);
    QX_RIGID_MOD* mod = QX_RIGID_MOD::FindRigidModifier(loaded);
    ASSERT_NE(mod, nullptr);
    ASSERT_FALSE(mod->GetCore().pending.empty());
    ASSERT_TRUE(mod->GetCore().bodies.empty());

    Tab<INode*> made;
    QX_Bake_Report report;
    EXPECT_FALSE(mod->Bake(&made, &report));
    EXPECT_TRUE(mod->GetCore().bodies.empty()) << "the bake rebuilt the bodies";
    EXPECT_EQ(report.skippedRecords, 0);
    ASSERT_EQ(made.Count(), int(expected.size()));
    EXPECT_EQ(report.nodes, made.Count());

    // Names and colours: source name, suffix, index; srand(count), then green, blue, red.
    std::srand(unsigned(made.Count()));
    const int tpf = GetTicksPerFrame();
    for (int i = 0; i < made.Count(); ++i) {
        EXPECT_EQ(MSTR(made[i]->GetName()), name + L"_b_" + std::to_wstring(i).c_str());
        const int green = std::rand() % 255, blue = std::rand() % 255, red = std::rand() % 255;
        EXPECT_EQ(made[i]->GetWireColor(), RGB(red, green, blue)) << "node " << i;

        const Expected& e = expected[size_t(i)];
        const std::vector<IBezFloatKey> keys = Quarix::Checks::VisibilityKeys(made[i]);
        if (e.fragment) {
            Quarix::Checks::ExpectVisibilityStep(keys, TimeValue(e.lifeStart) * tpf, 0.0f, 1.0f);
        } else if (e.broken) {
            Quarix::Checks::ExpectVisibilityStep(keys, TimeValue(e.lifeEnd) * tpf, 1.0f, 0.0f);
        } else {
            EXPECT_TRUE(keys.empty()) << "node " << i;
        }

        // The baked node places its mesh where playback had the body, to 1e-4 of the wall's
        // size (50 cm), at every frame the body lives.
        const Mesh& local = static_cast<TriObject*>(made[i]->GetObjectRef())->GetMesh();
        for (int f = 0; f < kFrames; ++f) {
            const std::vector<glm::vec3>& at = e.frames[size_t(f)];
            if (at.empty())
                continue;
            ASSERT_EQ(size_t(local.getNumVerts()), at.size()) << "node " << i;
            const Matrix3 tm = made[i]->GetNodeTM(f * tpf);
            for (int v = 0; v < local.getNumVerts(); ++v) {
                const Point3 p = tm.PointTransform(local.verts[v]);
                EXPECT_NEAR(glm::length(glm::vec3(p.x, p.y, p.z) - at[size_t(v)]), 0.0f,
                            1e-4f * kColumns * kBrick)
                    << "node " << i << " frame " << f << " vertex " << v;
            }
        }
    }
}

} // namespace
