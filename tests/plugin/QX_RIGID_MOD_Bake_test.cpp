#include "modifier/QX_RIGID_MOD_Bake.h"

#include "core/QX_BT_Setting_Keys.h"
#include "core/QX_BT_World.h"
#include "host/Hold.h"
#include "host/Interface.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"
#include "tests/plugin/QX_Fragment_Checks.h"
#include "tests/plugin/QX_Voronoi_Wall.h"

#include <gtest/gtest.h>

namespace Quarix {
namespace {

/// A node carrying an empty mesh, standing for the simulated object's node.
INode* MakeSourceNode(const wchar_t* name) {
    INode* node = GetCOREInterface()->CreateObjectNode(CreateNewTriObject());
    node->SetName(name);
    node->SetWireColor(RGB(10, 20, 30));
    return node;
}

/// The Voronoi wall simulated for kFrames frames: the bricks the box hits break at frame 1.
struct BrokenWall : Scenes::VoronoiWall {
    BrokenWall() : VoronoiWall(4, 9) { run(kFrames); }
    static constexpr int kFrames = 8;
};

QX_Bake_Settings Range(int start, int end, int hideMode) {
    QX_Bake_Settings s;
    s.start = start;
    s.end = end;
    s.hideMode = hideMode;
    return s;
}

TEST(QX_RIGID_MOD_Bake, BakedPiecesFollowTheSimulatedMeshAtEveryFrame) {
    BrokenWall scene;
    QX_BT_MeshController& core = scene.core();
    Tab<INode*> nodes;
    QX_Bake_Report report;
    EXPECT_TRUE(BakeBodies(core, MakeSourceNode(L"Wall"), Range(0, BrokenWall::kFrames, 0), nodes,
                           &report));
    // Bricks left whole, bricks that broke (shown until they break) and their fragments.
    int broken = 0, fragments = 0;
    for (const auto& body : core.bodies) {
        broken += body->demolishedAs == 1;
        fragments += body->parent != nullptr;
    }
    ASSERT_GT(broken, 0);
    ASSERT_EQ(nodes.Count(), int(core.bodies.size()));
    EXPECT_EQ(report.nodes, nodes.Count());

    const int tpf = GetTicksPerFrame();
    for (int frame = 0; frame < BrokenWall::kFrames; ++frame) {
        core.evaluateOutput(float(frame));
        for (size_t b = 0; b < core.bodies.size(); ++b) {
            const QX_BT_Body& body = *core.bodies[b];
            if (!IsAlive(body, float(frame)))
                continue;
            QX_BT_Mesh_Data played;
            core.outputMesh.ExtractFaces(played, CollectBodyFaces(body));
            INode* node = nodes[int(b)];
            const Matrix3 tm = node->GetNodeTM(frame * tpf);
            const Mesh& local = static_cast<TriObject*>(node->GetObjectRef())->GetMesh();
            ASSERT_EQ(size_t(local.getNumVerts()), played.geometry.vertexCount());
            for (int v = 0; v < local.getNumVerts(); ++v) {
                const Point3 p = tm.PointTransform(local.verts[v]);
                const glm::vec3 q = played.geometry.vertex(v);
                EXPECT_NEAR(glm::length(glm::vec3(p.x, p.y, p.z) - q), 0.0f, 1e-4f * 5.0f)
                    << "body " << b << " frame " << frame;
            }
        }
    }

    // A fragment born at frame 1 appears there; its broken brick vanishes there.
    for (size_t b = 0; b < core.bodies.size(); ++b) {
        const QX_BT_Body& body = *core.bodies[b];
        const std::vector<IBezFloatKey> keys = Checks::VisibilityKeys(nodes[int(b)]);
        if (body.parent) {
            Checks::ExpectVisibilityStep(keys, TimeValue(body.lifeStart) * tpf, 0.0f, 1.0f);
        } else if (body.demolishedAs == 1) {
            Checks::ExpectVisibilityStep(keys, TimeValue(body.lifeEnd) * tpf, 1.0f, 0.0f);
        } else {
            EXPECT_TRUE(keys.empty());
        }
    }
    EXPECT_GT(fragments, 0);
}

TEST(QX_RIGID_MOD_Bake, UnbornPiecesFollowTheBodyTheyComeFromWhenNotHidden) {
    BrokenWall scene;
    QX_BT_MeshController& core = scene.core();
    Tab<INode*> nodes;
    BakeBodies(core, MakeSourceNode(L"Wall"), Range(0, 3, QX_Hide_Mode::None), nodes);
    // Without hiding, bodies that broke into fragments get no node of their own.
    int checked = 0, node = -1;
    for (size_t b = 0; b < core.bodies.size(); ++b) {
        const QX_BT_Body& piece = *core.bodies[b];
        if (piece.demolishedAs == 1)
            continue;
        ++node;
        if (!piece.parent || piece.lifeStart < 1.0f)
            continue;
        // At frame 0 the fragment is still part of its brick and moves with it.
        const glm::vec3 g = piece.parent->compoundShape()->centre;
        const glm::mat4 t = SampleTrack(piece.parent->track, 0.0f).transform;
        const glm::mat4 expected = Translation(g) * t * Translation(-g);
        QX_BT_Mesh_Data rest;
        core.simulationMesh.ExtractFaces(rest, CollectBodyFaces(piece));
        const Matrix3 tm = nodes[node]->GetNodeTM(0);
        const Mesh& local = static_cast<TriObject*>(nodes[node]->GetObjectRef())->GetMesh();
        for (int v = 0; v < local.getNumVerts(); ++v) {
            const Point3 p = tm.PointTransform(local.verts[v]);
            const glm::vec3 q = glm::vec3(expected * glm::vec4(rest.geometry.vertex(v), 1.0f));
            EXPECT_NEAR(glm::length(glm::vec3(p.x, p.y, p.z) - q), 0.0f, 1e-4f * 5.0f);
        }
        ++checked;
    }
    EXPECT_EQ(node + 1, nodes.Count());
    EXPECT_GT(checked, 0);
}

TEST(QX_RIGID_MOD_Bake, AnEmptyRangeGivesOnlyBaseTransformsAndNamesFollowTheSource) {
    BrokenWall scene;
    Tab<INode*> nodes;
    QX_Bake_Settings s = Range(3, 3, 0);
    s.suffix = L"";
    s.deleteSource = false;
    EXPECT_FALSE(BakeBodies(scene.core(), MakeSourceNode(L"Wall"), s, nodes));
    ASSERT_GT(nodes.Count(), 2);
    EXPECT_STREQ(nodes[0]->GetName(), L"Wall0");
    EXPECT_STREQ(nodes[1]->GetName(), L"Wall1");
    for (int i = 0; i < nodes.Count(); ++i) {
        EXPECT_FALSE(nodes[i]->GetTMController()->IsAnimated());
        EXPECT_EQ(nodes[i]->GetVisController(), nullptr);
        const COLORREF c = nodes[i]->GetWireColor();
        EXPECT_LT(GetRValue(c), 255);
        EXPECT_LT(GetGValue(c), 255);
        EXPECT_LT(GetBValue(c), 255);
    }
    // Colours come from srand(number of nodes) and three rand() per node: green, blue, red.
    std::srand(unsigned(nodes.Count()));
    const int green = std::rand() % 255, blue = std::rand() % 255, red = std::rand() % 255;
    EXPECT_EQ(nodes[0]->GetWireColor(), RGB(red, green, blue));
}

TEST(QX_RIGID_MOD_Bake, DeleteAfterExplodeIsOneUndoableStep) {
    BrokenWall scene;
    Interface* ip = GetCOREInterface();
    theHold.Clear();
    INode* kept = MakeSourceNode(L"Kept");
    Tab<INode*> nodes;
    QX_Bake_Settings s = Range(0, 2, 0);
    s.deleteSource = false;
    const bool del = BakeBodies(scene.core(), kept, s, nodes);
    EXPECT_FALSE(DeleteAfterExplode(kept, nodes, del));
    EXPECT_TRUE(ip->IsInScene(kept));
    EXPECT_TRUE(theHold.RecordNames().empty());

    INode* source = MakeSourceNode(L"Source");
    Tab<INode*> more;
    s.deleteSource = true;
    EXPECT_TRUE(DeleteAfterExplode(source, more, BakeBodies(scene.core(), source, s, more)));
    EXPECT_FALSE(ip->IsInScene(source));
    ASSERT_EQ(theHold.RecordNames().size(), 1u);
    EXPECT_EQ(theHold.RecordNames()[0], L"Delete After Explode");
    EXPECT_EQ(ip->GetSelNodeCount(), more.Count());
    ASSERT_TRUE(theHold.Undo());
    EXPECT_TRUE(ip->IsInScene(source));
}

TEST(QX_RIGID_MOD_Bake, PendingRecordsBakeWhatIsValidAndCountTheRest) {
    // Two boxes loaded from a file whose third record names a group that is not there.
    QX_BT_MeshController core(nullptr);
    QX_BT_Mesh_Data mesh = Fixtures::MakeBox(glm::vec3(2, 0, 0), glm::vec3(1.0f));
    Fixtures::AppendElement(mesh, Fixtures::MakeBox(glm::vec3(-3, 1, 0), glm::vec3(0.5f)));
    core.simulationMesh = mesh;
    core.pending.elementKinds = {0, 0};
    core.pending.elementFaces = {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
                                 {12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}};
    core.pending.groups = {{0}, {1}};
    for (int32_t group : {0, 1, 7}) {
        QX_BT_Body_Data record;
        record.shapeIndex = group;
        record.track[0.0f] = QX_BT_Body_State{};
        core.pending.records.push_back(record);
    }
    Tab<INode*> nodes;
    QX_Bake_Report report;
    BakeRecords(core, MakeSourceNode(L"Loaded"), Range(0, 10, 0), nodes, &report);
    EXPECT_EQ(report.skippedRecords, 1);
    ASSERT_EQ(nodes.Count(), 2);
    const Point3 a = nodes[0]->GetNodeTM(0).GetTrans(), b = nodes[1]->GetNodeTM(0).GetTrans();
    EXPECT_NEAR(a.x, 2.0f, 1e-5f);
    EXPECT_NEAR(b.x, -3.0f, 1e-5f);
    EXPECT_NEAR(b.y, 1.0f, 1e-5f);
}

} // namespace
} // namespace Quarix
