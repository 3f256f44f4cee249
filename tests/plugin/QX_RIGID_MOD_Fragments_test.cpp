#include "modifier/QX_RIGID_MOD_Fragments.h"

#include "tests/plugin/QX_Fragment_Checks.h"
#include "tests/plugin/QX_Voronoi_Wall.h"

#include "core/QX_BT_Setting_Keys.h"
#include "core/QX_BT_World.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace Quarix {
namespace {

constexpr int32_t kInnerMaterial = 9;
using Checks::RecordVolume;

std::vector<int32_t> AllFaces(const QX_BT_Mesh_Data& m) {
    std::vector<int32_t> faces(m.faceCount());
    for (size_t f = 0; f < faces.size(); ++f)
        faces[f] = int32_t(f);
    return faces;
}

/// True when every directed edge of the faces has exactly one opposite.
bool Closed(const QX_BT_Mesh_Data& m, const std::vector<int32_t>& faces) {
    std::map<std::pair<int32_t, int32_t>, int> edges;
    for (int32_t f : faces)
        for (int i = 0; i < 3; ++i)
            ++edges[{m.geometry.faces[3 * size_t(f) + i],
                     m.geometry.faces[3 * size_t(f) + (i + 1) % 3]}];
    for (const auto& [edge, n] : edges)
        if (n != 1 || !edges.contains({edge.second, edge.first}))
            return false;
    return !faces.empty();
}

TEST(QX_RIGID_MOD_Fragments, ABoxIsCutIntoClosedPiecesWithTheInnerMaterial) {
    QX_BT_Mesh_Data box = Fixtures::MakeBox(glm::vec3(0.0f), glm::vec3(20.0f, 10.0f, 5.0f));
    const double volume = RecordVolume(box, AllFaces(box));
    QX_BT_Mesh_Data record = box;
    ASSERT_TRUE(FragmentMesh(record, 8, 0.5f, kInnerMaterial, glm::vec3(5.0f, 0.0f, 0.0f)));
    EXPECT_NEAR(RecordVolume(record, AllFaces(record)), volume, 1e-4 * volume);
    const QX_BT_Element_List pieces = ExtractElements(record.geometry.faces);
    EXPECT_EQ(pieces.size(), 8u);
    for (const auto& piece : pieces)
        EXPECT_TRUE(Closed(record, piece));
    int inner = 0;
    for (const QX_BT_Face_Info& info : record.faceInfos)
        inner += info.materialID == kInnerMaterial;
    EXPECT_GT(inner, 0);
    EXPECT_EQ(record.faceInfos.size(), record.faceCount());

    // The same body and hit give the same pieces bit for bit; another hit point another cut.
    QX_BT_Mesh_Data again = box, elsewhere = box;
    ASSERT_TRUE(FragmentMesh(again, 8, 0.5f, kInnerMaterial, glm::vec3(5.0f, 0.0f, 0.0f)));
    ASSERT_TRUE(FragmentMesh(elsewhere, 8, 0.5f, kInnerMaterial, glm::vec3(5.0f, 0.1f, 0.0f)));
    EXPECT_TRUE(again == record);
    EXPECT_FALSE(elsewhere.geometry.vertices == record.geometry.vertices);
    EXPECT_NE(FragmentSeed(box, 8, glm::vec3(5.0f, 0.0f, 0.0f)),
              FragmentSeed(box, 8, glm::vec3(5.0f, 0.1f, 0.0f)));
}

TEST(QX_RIGID_MOD_Fragments, EveryFailureEmptiesTheGeometryAndKeepsTheRest) {
    // An empty record, a count of one, and a vertex the library refuses (its exception).
    QX_BT_Mesh_Data empty;
    EXPECT_FALSE(FragmentMesh(empty, 8, 0.0f, kInnerMaterial, glm::vec3(0.0f)));
    EXPECT_EQ(empty.geometry.faces.size(), 0u);

    const QX_BT_Mesh_Data box = Fixtures::MakeBox(glm::vec3(0.0f), glm::vec3(1.0f));
    QX_BT_Mesh_Data one = box;
    EXPECT_FALSE(FragmentMesh(one, 1, 0.0f, kInnerMaterial, glm::vec3(0.0f)));
    EXPECT_TRUE(one.geometry.faces.empty());
    EXPECT_TRUE(one.geometry.vertices.empty());
    EXPECT_EQ(one.faceInfos, box.faceInfos);
    EXPECT_EQ(one.channels, box.channels);

    QX_BT_Mesh_Data broken = box;
    broken.geometry.vertices[4] = std::numeric_limits<float>::quiet_NaN();
    std::string logged;
    EXPECT_FALSE(FragmentMesh(broken, 8, 0.0f, kInnerMaterial, glm::vec3(0.0f),
                              [&](const std::string& m) { logged += m; }));
    EXPECT_TRUE(broken.geometry.faces.empty());
    EXPECT_EQ(broken.faceInfos, box.faceInfos);
    EXPECT_NE(logged.find("non-finite"), std::string::npos);
}

TEST(QX_RIGID_MOD_Fragments, CaptureButtonTellsTheCapturedFaces) {
    QX_BT_MeshController core(nullptr);
    EXPECT_EQ(CaptureButtonText(core), L"Capture<NONE>");
    core.inputMesh = Fixtures::MakeBox(glm::vec3(0.0f), glm::vec3(1.0f));
    core.captureMesh(true);
    EXPECT_EQ(CaptureButtonText(core), L"Captured: 12 faces");
    core.captureMesh(false);
    EXPECT_EQ(CaptureButtonText(core), L"Capture<NONE>");
}

TEST(QX_RIGID_MOD_Fragments, HitBricksBreakIntoClosedPiecesOfTheirVolumeAndRerunsAgree) {
    Scenes::VoronoiWall scene(6, kInnerMaterial);
    scene.run(4);
    const QX_BT_MeshController& c = *scene.wall->core;
    const size_t originalFaces = 20u * 12u;
    const std::vector<Checks::Breakup> broken = Checks::FragmentBreakups(c);
    for (const Checks::Breakup& b : broken) {
        double pieces = 0.0;
        for (const QX_BT_Face_List& faces : b.pieces) {
            EXPECT_TRUE(Closed(c.simulationMesh, faces));
            for (int32_t f : faces)
                EXPECT_GE(f, int32_t(originalFaces));
            pieces += RecordVolume(c.simulationMesh, faces);
        }
        EXPECT_GE(b.pieces.size(), 2u);
        const double whole = RecordVolume(c.simulationMesh, CollectBodyFaces(*b.body));
        EXPECT_NEAR(pieces, whole, 1e-4 * whole);
    }
    ASSERT_FALSE(broken.empty());
    int inner = 0;
    for (size_t f = originalFaces; f < c.simulationMesh.faceCount(); ++f)
        inner += c.simulationMesh.faceInfos[f].materialID == kInnerMaterial;
    EXPECT_GT(inner, 0);

    // Rewound to the start and run again, the demolition repeats bit for bit.
    const QX_BT_Mesh_Data mesh = c.simulationMesh;
    std::vector<QX_BT_Body_Track> tracks;
    for (const auto& body : c.bodies)
        tracks.push_back(body->track);
    scene.wall->core->rewindTo(0.0f, false);
    scene.projectile->core->rewindTo(0.0f, false);
    ASSERT_EQ(c.simulationMesh.faceCount(), originalFaces);
    scene.run(4);
    EXPECT_TRUE(c.simulationMesh == mesh);
    ASSERT_EQ(c.bodies.size(), tracks.size());
    for (size_t b = 0; b < tracks.size(); ++b)
        EXPECT_TRUE(c.bodies[b]->track == tracks[b]) << "body " << b;
}

} // namespace
} // namespace Quarix
