#include "core/QX_BT_Shape_Builder.h"

#include "core/QX_BT_Decomposition_Cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <set>

#include "tests/fixtures/QX_Test_Meshes.h"

namespace Quarix {
namespace {

QX_BT_Face_List AllFaces(const QX_BT_Mesh_Data& mesh) {
    QX_BT_Face_List list(mesh.faceCount());
    std::iota(list.begin(), list.end(), 0);
    return list;
}

std::unique_ptr<btCollisionShape> BuildWhole(const QX_BT_Mesh_Data& mesh, int32_t type,
                                             bool preTest) {
    return BuildElementShape(mesh.geometry.vertices, mesh.geometry.faces, AllFaces(mesh), type,
                             preTest);
}

int Kind(const btCollisionShape* shape) {
    return GetShapeExtension(shape)->getShapeKind();
}

// ---------------------------------------------------------------------------------------------
// Convex hulls

TEST(QX_BT_Shape_Builder, ConvexHullOfBoxIsExpressedAboutItsCentre) {
    const QX_BT_Mesh_Data box = Fixtures::MakeBox({1, 2, 3}, {1, 0.5f, 2});
    QX_BT_Face_List list = AllFaces(box);
    std::reverse(list.begin(), list.end());
    auto hull = BuildConvexShape(box.geometry.vertices, box.geometry.faces, list, false);
    ASSERT_NE(hull, nullptr);
    EXPECT_NEAR(hull->volume, 8.0f, 1e-4f);
    EXPECT_NEAR(hull->centre.x, 1.0f, 1e-5f);
    EXPECT_NEAR(hull->centre.y, 2.0f, 1e-5f);
    EXPECT_NEAR(hull->centre.z, 3.0f, 1e-5f);
    EXPECT_EQ(hull->faceIndices, list);
    EXPECT_EQ(hull->vertexIndices, (QX_BT_Index_Set{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(hull->getMargin(), 0.0f);
    EXPECT_EQ(hull->getNumPoints(), 8);

    btTransform identity;
    identity.setIdentity();
    btVector3 lo, hi;
    hull->getAabb(identity, lo, hi);
    EXPECT_NEAR(lo.x(), -1.0f, 1e-5f);
    EXPECT_NEAR(hi.y(), 0.5f, 1e-5f);
    EXPECT_NEAR(hi.z(), 2.0f, 1e-5f);
}

TEST(QX_BT_Shape_Builder, ClockwiseCubeSucceedsOnTheSwappedAttempt) {
    QX_BT_Mesh_Data cube = Fixtures::MakeBox({0, 0, 0}, {1, 1, 1});
    Fixtures::FlipWinding(cube);
    const QX_BT_Face_List list = {5, 3, 11, 0, 1, 2, 4, 6, 7, 8, 9, 10};
    const auto& v = cube.geometry.vertices;
    const auto& f = cube.geometry.faces;

    EXPECT_EQ(BuildConvexShape(v, f, list, false), nullptr);
    auto swapped = BuildConvexShape(v, f, list, true);
    ASSERT_NE(swapped, nullptr);
    EXPECT_NEAR(swapped->volume, 8.0f, 1e-4f);

    auto element = BuildElementShape(v, f, list, QX_BT_Mesh_Convex, true);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(Kind(element.get()), QX_BT_Shape_Convex);
    EXPECT_EQ(GetShapeExtension(element.get())->faceIndices, list);
    EXPECT_NE(BuildConvexShapeFromMesh(v, f), nullptr);
}

TEST(QX_BT_Shape_Builder, OpenQuadEnclosesNoVolumeInEitherWinding) {
    const std::vector<float> v = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const std::vector<int32_t> f = {0, 1, 2, 0, 2, 3};
    EXPECT_EQ(BuildConvexShape(v, f, {0, 1}, false), nullptr);
    EXPECT_EQ(BuildConvexShape(v, f, {0, 1}, true), nullptr);
    EXPECT_EQ(BuildConvexShapeFromMesh(v, f), nullptr);
    EXPECT_EQ(BuildElementShape(v, f, {0, 1}, QX_BT_Mesh_Convex, true), nullptr);
}

TEST(QX_BT_Shape_Builder, VolumeThresholdSitsAtOneMillionthOfACubicSceneUnit) {
    // Tetrahedra just above and below 0.000001 cubic scene units (volume = edge^3 / 6), in a
    // world of scale 1 and in one that simulates centimetres in metres.
    const std::vector<int32_t> f = {0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3};
    for (const float scale : {1.0f, 0.01f}) {
        for (const auto& [sceneEdge, builds] :
             {std::pair{0.0185f, true}, std::pair{0.0175f, false}}) {
            const float edge = sceneEdge * scale;
            const std::vector<float> v = {0, 0, 0, edge, 0, 0, 0, edge, 0, 0, 0, edge};
            EXPECT_EQ(BuildConvexShapeFromMesh(v, f, scale) != nullptr, builds)
                << sceneEdge << " at scale " << scale;
            const QX_BT_Element_List elements{{0, 1, 2, 3}};
            const QX_BT_Shape_List shapes =
                BuildElementShapes(v, f, elements, QX_BT_Mesh_Convex, true, {}, nullptr, scale);
            EXPECT_EQ(shapes.at(0) != nullptr, builds) << sceneEdge << " at scale " << scale;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Convexity pre-test

TEST(QX_BT_Shape_Builder, ConvexityTestSeparatesBoxesFromLPrisms) {
    const QX_BT_Mesh_Data box = Fixtures::MakeBox({0, 0, 0}, {1, 1, 1});
    const QX_BT_Mesh_Data sphere = Fixtures::MakeSphere({3, 0, 0}, 1.0f, 12, 6);
    const QX_BT_Mesh_Data prism = Fixtures::MakeLPrism(1.0f);
    EXPECT_TRUE(IsConvexFaceSet(box.geometry.vertices, box.geometry.faces, AllFaces(box), 0.001f));
    EXPECT_TRUE(
        IsConvexFaceSet(sphere.geometry.vertices, sphere.geometry.faces, AllFaces(sphere), 0.001f));
    EXPECT_FALSE(
        IsConvexFaceSet(prism.geometry.vertices, prism.geometry.faces, AllFaces(prism), 0.001f));
    EXPECT_TRUE(IsConvexFaceSet(prism.geometry.vertices, prism.geometry.faces, {}, 0.001f));
}

TEST(QX_BT_Shape_Builder, ConvexityToleranceAbsorbsSmallDents) {
    // Push the (+x +y +z) corner 0.0005 into the box: the +x quad creases inwards by less than
    // the tolerance, which a strict test would catch.
    QX_BT_Mesh_Data box = Fixtures::MakeBox({0, 0, 0}, {1, 1, 1});
    box.geometry.setVertex(7, box.geometry.vertex(7) - glm::vec3(0.0005f, 0, 0));
    const auto& v = box.geometry.vertices;
    const auto& f = box.geometry.faces;
    EXPECT_TRUE(IsConvexFaceSet(v, f, AllFaces(box), 0.001f));
    EXPECT_FALSE(IsConvexFaceSet(v, f, AllFaces(box), 0.00001f));
}

TEST(QX_BT_Shape_Builder, PreTestTurnsConvexConcaveElementsIntoHulls) {
    const QX_BT_Mesh_Data cube = Fixtures::MakeBox({0, 0, 0}, {1, 1, 1});
    auto pretested = BuildWhole(cube, QX_BT_Mesh_ConcaveLow, true);
    ASSERT_NE(pretested, nullptr);
    EXPECT_EQ(Kind(pretested.get()), QX_BT_Shape_Convex);

    auto decomposed = BuildWhole(cube, QX_BT_Mesh_ConcaveLow, false);
    ASSERT_NE(decomposed, nullptr);
    EXPECT_EQ(Kind(decomposed.get()), QX_BT_Shape_Concave);
    const auto* ext = GetShapeExtension(decomposed.get());
    EXPECT_EQ(ext->faceIndices, AllFaces(cube));
    EXPECT_EQ(ext->vertexIndices, (QX_BT_Index_Set{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_NEAR(ext->volume, 8.0f, 0.5f);

    const QX_BT_Mesh_Data prism = Fixtures::MakeLPrism(1.0f);
    auto concave = BuildWhole(prism, QX_BT_Mesh_ConcaveHigh, true);
    ASSERT_NE(concave, nullptr);
    EXPECT_EQ(Kind(concave.get()), QX_BT_Shape_Concave);

    EXPECT_EQ(BuildWhole(cube, 3, true), nullptr);
    EXPECT_EQ(BuildWhole(cube, -1, false), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Decomposition

class QX_BT_Shape_Builder_Torus : public ::testing::TestWithParam<bool> {};

TEST_P(QX_BT_Shape_Builder_Torus, HullsCoverTheTorusInItsOwnUnits) {
    const bool high = GetParam();
    // 320 triangles: big enough to need several hulls, small enough for HACD to stay quick.
    const glm::vec3 centre(5, -3, 2);
    const QX_BT_Mesh_Data torus = Fixtures::MakeTorus(centre, 2.0f, 0.6f, 16, 10);
    const QX_BT_Face_List list = AllFaces(torus);
    const auto& v = torus.geometry.vertices;
    const auto& f = torus.geometry.faces;

    auto shape = BuildElementShape(v, f, list, high ? 2 : 1, true);
    ASSERT_NE(shape, nullptr);
    ASSERT_EQ(Kind(shape.get()), QX_BT_Shape_Concave);
    auto* concave = static_cast<QX_BT_ConcaveShape*>(shape.get());
    EXPECT_GE(concave->getNumChildShapes(), 3);
    EXPECT_EQ(concave->faceIndices, list);
    EXPECT_EQ(concave->vertexIndices.size(), torus.geometry.vertexCount());

    const float meshVolume = ComputeEnclosedVolume(v, f, centre);
    float hullVolume = 0.0f;
    for (int i = 0; i < concave->getNumChildShapes(); ++i) {
        const auto* hull = GetShapeExtension(concave->getChildShape(i));
        ASSERT_NE(hull, nullptr);
        EXPECT_EQ(hull->getShapeKind(), QX_BT_Shape_Convex);
        EXPECT_TRUE(hull->faceIndices.empty());
        EXPECT_TRUE(hull->vertexIndices.empty());
        EXPECT_GT(hull->volume, 0.0f);
        hullVolume += hull->volume;
    }
    // The hulls cover the solid without bridging its hole: HACD fed an unwelded soup made
    // 3.4 (Low) and 1.9 (High) times the mesh volume here; welded it makes about 1.09 and 1.00.
    EXPECT_FLOAT_EQ(concave->volume, hullVolume);
    EXPECT_GT(hullVolume, 0.9f * meshVolume);
    EXPECT_LT(hullVolume, 1.2f * meshVolume);
    const float torusHullVolume = 3.1416f * 2.6f * 2.6f * 1.2f;
    for (int i = 0; i < concave->getNumChildShapes(); ++i)
        EXPECT_LT(GetShapeExtension(concave->getChildShape(i))->volume, torusHullVolume);
    EXPECT_NEAR(concave->centre.x, centre.x, 0.3f);
    EXPECT_NEAR(concave->centre.y, centre.y, 0.3f);
    EXPECT_NEAR(concave->centre.z, centre.z, 0.3f);

    // The hulls sit where the torus is, not in HACD's normalised frame.
    btVector3 lo, hi;
    btTransform placed;
    placed.setIdentity();
    placed.setOrigin(btVector3(concave->centre.x, concave->centre.y, concave->centre.z));
    concave->getAabb(placed, lo, hi);
    EXPECT_NEAR(lo.x(), centre.x - 2.6f, 0.05f);
    EXPECT_NEAR(hi.x(), centre.x + 2.6f, 0.05f);
    EXPECT_NEAR(lo.z(), centre.z - 0.6f, 0.05f);
    EXPECT_NEAR(hi.z(), centre.z + 0.6f, 0.05f);
}

INSTANTIATE_TEST_SUITE_P(Presets, QX_BT_Shape_Builder_Torus, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "High" : "Low"; });

TEST(QX_BT_Shape_Builder, DecompositionClustersIndexTheirOwnPoints) {
    const QX_BT_Mesh_Data torus = Fixtures::MakeTorus({0, 0, 0}, 2.0f, 0.6f, 12, 8);
    const auto clusters = DecomposeFaceSet(torus.geometry.vertices, torus.geometry.faces,
                                           AllFaces(torus), QX_BT_HACD_Settings::Low());
    ASSERT_GE(clusters.size(), 2u);
    for (const QX_BT_Hull_Cluster& cluster : clusters) {
        ASSERT_FALSE(cluster.vertices.empty());
        ASSERT_FALSE(cluster.triangles.empty());
        EXPECT_EQ(cluster.vertices.size() % 3, 0u);
        EXPECT_EQ(cluster.triangles.size() % 3, 0u);
        const int32_t points = static_cast<int32_t>(cluster.vertices.size() / 3);
        for (int32_t t : cluster.triangles) {
            EXPECT_GE(t, 0);
            EXPECT_LT(t, points);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Bad input from user meshes

struct BadFaceSet {
    const char* what;
    std::vector<float> vertices;
    std::vector<int32_t> faces;
    QX_BT_Face_List list;
};

// Face sets that cannot be read safely: every builder refuses them.
std::vector<BadFaceSet> InvalidFaceSets() {
    const QX_BT_Mesh_Data cube = Fixtures::MakeBox({0, 0, 0}, {1, 1, 1});
    const std::vector<float>& v = cube.geometry.vertices;
    const std::vector<int32_t>& f = cube.geometry.faces;
    const QX_BT_Face_List all = AllFaces(cube);
    std::vector<BadFaceSet> sets;

    auto nan = v;
    nan[4] = std::numeric_limits<float>::quiet_NaN();
    sets.push_back({"NaN coordinate", nan, f, all});
    auto inf = v;
    inf[20] = -std::numeric_limits<float>::infinity();
    sets.push_back({"infinite coordinate", inf, f, all});
    auto farVertex = f;
    farVertex[7] = 8;
    sets.push_back({"vertex index past the end", v, farVertex, all});
    auto negativeVertex = f;
    negativeVertex[0] = -1;
    sets.push_back({"negative vertex index", v, negativeVertex, all});
    sets.push_back({"face index past the end", v, f, {0, 1, 12}});
    sets.push_back({"negative face index", v, f, {-1, 0, 1}});
    sets.push_back({"empty face list", v, f, {}});
    sets.push_back({"no vertices", {}, f, all});
    return sets;
}

// Valid face sets that enclose nothing: no hull, no decomposition.
std::vector<BadFaceSet> DegenerateFaceSets() {
    const QX_BT_Mesh_Data cube = Fixtures::MakeBox({0, 0, 0}, {1, 1, 1});
    const std::vector<float>& v = cube.geometry.vertices;
    const std::vector<int32_t>& f = cube.geometry.faces;
    const QX_BT_Face_List all = AllFaces(cube);
    std::vector<BadFaceSet> sets;
    std::vector<int32_t> repeated(f.size(), 3);
    sets.push_back({"every corner the same vertex", v, repeated, all});
    std::vector<float> collapsed(v.size(), 0.5f);
    sets.push_back({"every vertex at one point", collapsed, f, all});
    sets.push_back({"single triangle", v, f, {0}});
    sets.push_back({"flat quad", {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 0, 2, 3}, {0, 1}});
    sets.push_back({"collinear points",
                    {0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0},
                    {0, 1, 2, 1, 2, 3, 0, 2, 3, 0, 1, 3},
                    {0, 1, 2, 3}});
    return sets;
}

void ExpectNoHullNorDecomposition(const BadFaceSet& s) {
    EXPECT_FALSE(IsUsableFaceSet(s.vertices, s.faces, s.list));
    EXPECT_EQ(BuildConvexShape(s.vertices, s.faces, s.list, false), nullptr);
    EXPECT_EQ(BuildConvexShape(s.vertices, s.faces, s.list, true), nullptr);
    EXPECT_TRUE(DecomposeFaceSet(s.vertices, s.faces, s.list, QX_BT_HACD_Settings::High()).empty());
    auto concave = BuildConcaveShape(s.vertices, s.faces, s.list, false);
    ASSERT_NE(concave, nullptr);
    EXPECT_EQ(concave->getNumChildShapes(), 0);
    EXPECT_EQ(concave->volume, 0.0f);
    IsConvexFaceSet(s.vertices, s.faces, s.list, 0.001f); // must merely return
}

TEST(QX_BT_Shape_Builder, InvalidFaceSetsYieldNoShape) {
    for (const BadFaceSet& s : InvalidFaceSets()) {
        SCOPED_TRACE(s.what);
        EXPECT_FALSE(IsValidFaceSet(s.vertices, s.faces, s.list));
        ExpectNoHullNorDecomposition(s);
        EXPECT_TRUE(BuildConcaveShape(s.vertices, s.faces, s.list, true)->faceIndices.empty());
        for (int32_t type = 0; type < 3; ++type) {
            EXPECT_EQ(BuildElementShape(s.vertices, s.faces, s.list, type, false), nullptr);
            EXPECT_EQ(BuildElementShape(s.vertices, s.faces, s.list, type, true), nullptr);
        }
    }
}

// A concave Mesh Type never loses a valid element: a flat or collapsed face set becomes an
// empty concave shape that still names its faces and vertices, so the faces stay with a body.
TEST(QX_BT_Shape_Builder, DegenerateFaceSetsGiveAnEmptyConcaveShapeThatKeepsItsFaces) {
    for (const BadFaceSet& s : DegenerateFaceSets()) {
        SCOPED_TRACE(s.what);
        EXPECT_TRUE(IsValidFaceSet(s.vertices, s.faces, s.list));
        ExpectNoHullNorDecomposition(s);
        std::set<int32_t> used;
        for (int32_t face : s.list)
            used.insert(s.faces.begin() + 3 * face, s.faces.begin() + 3 * face + 3);
        for (int32_t type : {1, 2}) {
            auto shape = BuildElementShape(s.vertices, s.faces, s.list, type, false);
            ASSERT_NE(shape, nullptr);
            ASSERT_EQ(Kind(shape.get()), QX_BT_Shape_Concave);
            const auto* concave = static_cast<const QX_BT_ConcaveShape*>(shape.get());
            EXPECT_EQ(concave->getNumChildShapes(), 0);
            EXPECT_EQ(concave->volume, 0.0f);
            EXPECT_EQ(concave->faceIndices, s.list);
            EXPECT_EQ(concave->vertexIndices, used);
        }
        EXPECT_EQ(BuildElementShape(s.vertices, s.faces, s.list, QX_BT_Mesh_Convex, false),
                  nullptr);
        // The pre-test finds nothing concave in them and asks for a hull, which fails.
        EXPECT_EQ(BuildElementShape(s.vertices, s.faces, s.list, QX_BT_Mesh_ConcaveLow, true),
                  nullptr);
    }
}

TEST(QX_BT_Shape_Builder, StrayDegenerateFacesDoNotSpoilAnElement) {
    // A welded mesh often carries a collapsed sliver or two; the element still gets its shape.
    QX_BT_Mesh_Data torus = Fixtures::MakeTorus({0, 0, 0}, 2.0f, 0.6f, 12, 8);
    torus.geometry.faces.insert(torus.geometry.faces.end(), {0, 0, 1, 5, 5, 5});
    const auto& v = torus.geometry.vertices;
    const auto& f = torus.geometry.faces;
    const QX_BT_Face_List list = AllFaces(torus);
    for (int32_t type = 0; type < 3; ++type) {
        SCOPED_TRACE(type);
        auto shape = BuildElementShape(v, f, list, type, false);
        ASSERT_NE(shape, nullptr);
        EXPECT_GT(GetShapeExtension(shape.get())->volume, 1.0f);
    }
}

// ---------------------------------------------------------------------------------------------
// Element shapes of a whole mesh

TEST(QX_BT_Shape_Builder, ElementShapesFollowElementOrder) {
    QX_BT_Mesh_Data mesh = Fixtures::MakeBox({0, 0, 0}, {1, 1, 1});
    QX_BT_Mesh_Data quad;
    quad.geometry.vertices = {5, 0, 0, 6, 0, 0, 6, 1, 0, 5, 1, 0};
    quad.geometry.faces = {0, 1, 2, 0, 2, 3};
    quad.faceInfos.resize(2);
    Fixtures::AppendElement(mesh, quad);
    Fixtures::AppendElement(mesh, Fixtures::MakeLPrism(1.0f));
    Fixtures::AppendElement(mesh, Fixtures::MakeSphere({10, 0, 0}, 1.0f, 8, 5));
    const QX_BT_Element_List elements = ExtractElements(mesh.geometry.faces);
    ASSERT_EQ(elements.size(), 4u);
    const auto& v = mesh.geometry.vertices;
    const auto& f = mesh.geometry.faces;

    const QX_BT_Shape_List shapes = BuildElementShapes(v, f, elements, QX_BT_Mesh_Convex, true);
    ASSERT_EQ(shapes.size(), 4u);
    EXPECT_EQ(shapes[1], nullptr); // the open quad
    for (size_t i : {0u, 2u, 3u}) {
        ASSERT_NE(shapes[i], nullptr);
        EXPECT_EQ(GetShapeExtension(shapes[i].get())->faceIndices, elements[i]);
    }
    EXPECT_NEAR(GetShapeExtension(shapes[3].get())->centre.x, 10.0f, 1e-4f);

    // Stored shapes come back with their own kinds; a short kind list leaves the rest to the
    // common type.
    const QX_BT_Shape_List restored =
        BuildElementShapes(v, f, elements, QX_BT_Mesh_Convex, false, {1, 0, 2});
    ASSERT_EQ(restored.size(), 4u);
    EXPECT_EQ(Kind(restored[0].get()), QX_BT_Shape_Concave);
    EXPECT_EQ(restored[1], nullptr);
    EXPECT_EQ(Kind(restored[2].get()), QX_BT_Shape_Concave);
    EXPECT_EQ(Kind(restored[3].get()), QX_BT_Shape_Convex);
}

// ---------------------------------------------------------------------------------------------
// Grouping into body shapes

/// Ten small boxes on the x axis at the given positions, built as element shapes.
QX_BT_Shape_List BoxesAt(const std::vector<float>& xs) {
    QX_BT_Shape_List shapes;
    for (float x : xs) {
        const QX_BT_Mesh_Data box = Fixtures::MakeBox({x, 0, 0}, {0.5f, 0.5f, 0.5f});
        shapes.push_back(BuildConvexShapeFromMesh(box.geometry.vertices, box.geometry.faces));
    }
    return shapes;
}

/// Each body's children as indices into `shapes`, in child order.
std::vector<std::vector<int>> Layout(const QX_BT_Body_Shape_List& bodies,
                                     const QX_BT_Shape_List& shapes) {
    std::map<const btCollisionShape*, int> index;
    for (size_t i = 0; i < shapes.size(); ++i)
        index[shapes[i].get()] = static_cast<int>(i);
    std::vector<std::vector<int>> layout;
    for (const auto& body : bodies) {
        EXPECT_TRUE(body->pendingChildren.empty());
        std::vector<int>& children = layout.emplace_back();
        for (int c = 0; c < body->getNumChildShapes(); ++c)
            children.push_back(index.at(body->getChildShape(c)));
    }
    return layout;
}

/// Every listed shape appears exactly once over all bodies.
void ExpectPartition(const std::vector<std::vector<int>>& layout, size_t shapeCount) {
    std::vector<int> seen(shapeCount, 0);
    for (const auto& body : layout) {
        EXPECT_FALSE(body.empty());
        for (int s : body)
            ++seen[size_t(s)];
    }
    EXPECT_EQ(seen, std::vector<int>(shapeCount, 1));
}

using Layouts = std::vector<std::vector<int>>;

TEST(QX_BT_Shape_Builder, OneObjectAndFragments) {
    const QX_BT_Shape_List shapes = BoxesAt({0, 10, 20, 30, 40, 50, 60, 70, 80, 90});
    const auto pointers = ShapePointers(shapes);
    QX_BT_Body_Shape_List bodies;

    for (int32_t count : {1, 0, -7}) {
        GroupElementShapes(pointers, bodies, count, 0.0f, 1);
        EXPECT_EQ(Layout(bodies, shapes), (Layouts{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}));
        EXPECT_NEAR(bodies[0]->volume, 10.0f, 1e-3f);
        EXPECT_NEAR(bodies[0]->centre.x, 45.0f, 1e-3f);
    }
    for (int32_t count : {10, 11, INT_MAX}) {
        GroupElementShapes(pointers, bodies, count, 50.0f, 1);
        EXPECT_EQ(Layout(bodies, shapes),
                  (Layouts{{0}, {1}, {2}, {3}, {4}, {5}, {6}, {7}, {8}, {9}}));
        EXPECT_NEAR(bodies[9]->centre.x, 90.0f, 1e-3f);
    }
}

TEST(QX_BT_Shape_Builder, MissingShapesJoinNoBody) {
    const QX_BT_Shape_List shapes = BoxesAt({0, 10, 20});
    QX_BT_Body_Shape_List bodies;
    GroupElementShapes({nullptr, shapes[0].get(), nullptr, shapes[2].get()}, bodies, INT_MAX, 0, 0);
    EXPECT_EQ(Layout(bodies, shapes), (Layouts{{0}, {2}}));

    // Nothing to group: the previous bodies stay.
    const QX_BT_CompoundShape* before = bodies[0].get();
    GroupElementShapes({nullptr, nullptr}, bodies, 1, 0, 0);
    GroupElementShapes({}, bodies, 1, 0, 0);
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[0].get(), before);
}

TEST(QX_BT_Shape_Builder, ClustersGrowAroundSeededShapes) {
    // Seed 7 with ten candidates draws index 9 (engine 17), then 4 of nine (engine 16), then 0 of
    // eight (engine 15): seeds at x = 90, 40 and 0. A library's uniform distribution would pick
    // 2, 2 and 6 instead.
    const QX_BT_Shape_List shapes = BoxesAt({0, 10, 19, 30, 40, 51, 60, 70, 80, 90});
    const auto pointers = ShapePointers(shapes);
    QX_BT_Body_Shape_List bodies;
    GroupElementShapes(pointers, bodies, 3, 0.0f, 7);
    const Layouts expected = {{9, 8, 7}, {4, 3, 5, 6}, {0, 1, 2}};
    EXPECT_EQ(Layout(bodies, shapes), expected);

    QX_BT_Body_Shape_List again;
    GroupElementShapes(pointers, again, 3, 0.0f, 7);
    EXPECT_EQ(Layout(again, shapes), expected);

    for (int32_t seed : {0, 1, -1, 12345}) {
        GroupElementShapes(pointers, bodies, 3, 0.0f, seed);
        EXPECT_EQ(bodies.size(), 3u);
        ExpectPartition(Layout(bodies, shapes), shapes.size());
    }
}

TEST(QX_BT_Shape_Builder, SplitOffTakesEachClustersFarthestMembers) {
    // Two seeds (shapes 9 and 4 for seed 7), five members each.
    const QX_BT_Shape_List shapes = BoxesAt({0, 10, 20, 30, 40, 66, 72, 79, 85, 90});
    const auto pointers = ShapePointers(shapes);
    QX_BT_Body_Shape_List bodies;

    GroupElementShapes(pointers, bodies, 2, 50.0f, 7); // truncate(2.5): two leave each cluster
    EXPECT_EQ(Layout(bodies, shapes), (Layouts{{9, 8, 7}, {4, 3, 2}, {5}, {6}, {0}, {1}}));

    const Layouts whole = {{9, 8, 7, 6, 5}, {4, 3, 2, 1, 0}};
    GroupElementShapes(pointers, bodies, 2, -10.0f, 7);
    EXPECT_EQ(Layout(bodies, shapes), whole);
    GroupElementShapes(pointers, bodies, 2, std::numeric_limits<float>::quiet_NaN(), 7);
    EXPECT_EQ(Layout(bodies, shapes), whole);

    GroupElementShapes(pointers, bodies, 2, 250.0f, 7); // acts as 100: every member leaves
    EXPECT_EQ(Layout(bodies, shapes), (Layouts{{5}, {6}, {7}, {8}, {9}, {0}, {1}, {2}, {3}, {4}}));
}

} // namespace
} // namespace Quarix

namespace Quarix {
namespace {

// Every triangle with private vertices, as a mesh with split normals or UV seams everywhere.
QX_BT_Mesh_Data Soup(const QX_BT_Mesh_Data& mesh) {
    QX_BT_Mesh_Data soup;
    for (int32_t corner : mesh.geometry.faces) {
        const glm::vec3 p = mesh.geometry.vertex(corner);
        soup.geometry.vertices.insert(soup.geometry.vertices.end(), {p.x, p.y, p.z});
        soup.geometry.faces.push_back(int32_t(soup.geometry.faces.size()));
    }
    return soup;
}

float ConcaveVolume(const QX_BT_Mesh_Data& mesh, bool high, QX_BT_Decomposition_Cache* cache) {
    QX_BT_Face_List list(mesh.faceCount());
    std::iota(list.begin(), list.end(), 0);
    return BuildConcaveShape(mesh.geometry.vertices, mesh.geometry.faces, list, high, cache)
        ->volume;
}

TEST(QX_BT_Decomposition, EqualPositionsAreWeldedWhateverTheirIndices) {
    const QX_BT_Mesh_Data torus = Fixtures::MakeTorus({0, 0, 0}, 2.0f, 0.6f, 16, 10);
    const float meshVolume =
        ComputeEnclosedVolume(torus.geometry.vertices, torus.geometry.faces, glm::vec3(0.0f));
    for (bool high : {false, true}) {
        SCOPED_TRACE(high);
        const float indexed = ConcaveVolume(torus, high, nullptr);
        EXPECT_FLOAT_EQ(ConcaveVolume(Soup(torus), high, nullptr), indexed);
        EXPECT_LT(indexed, 1.2f * meshVolume);
    }
}

TEST(QX_BT_Decomposition, CacheAnswersTheSameCornersAndPresetOnly) {
    const QX_BT_Mesh_Data torus = Fixtures::MakeTorus({0, 0, 0}, 2.0f, 0.6f, 12, 8);
    QX_BT_Decomposition_Cache cache;
    const float fresh = ConcaveVolume(torus, false, nullptr);
    EXPECT_FLOAT_EQ(ConcaveVolume(torus, false, &cache), fresh);
    EXPECT_FLOAT_EQ(ConcaveVolume(torus, false, &cache), fresh);
    EXPECT_EQ(cache.computed(), 1u);
    // The same corners under other vertex indices are the same element.
    EXPECT_FLOAT_EQ(ConcaveVolume(Soup(torus), false, &cache), fresh);
    EXPECT_EQ(cache.computed(), 1u);

    ConcaveVolume(torus, true, &cache);
    EXPECT_EQ(cache.computed(), 2u);
    QX_BT_Mesh_Data moved = torus;
    moved.geometry.vertices[0] += 0.01f;
    ConcaveVolume(moved, false, &cache);
    EXPECT_EQ(cache.computed(), 3u);
    EXPECT_GT(cache.bytes(), 0u);

    // A budget too small for one entry stores nothing and still answers correctly.
    QX_BT_Decomposition_Cache tiny(64);
    EXPECT_FLOAT_EQ(ConcaveVolume(torus, false, &tiny), fresh);
    EXPECT_FLOAT_EQ(ConcaveVolume(torus, false, &tiny), fresh);
    EXPECT_EQ(tiny.computed(), 2u);
    EXPECT_EQ(tiny.bytes(), 0u);

    // Room for one entry: the one used longest ago makes way.
    QX_BT_Decomposition_Cache probe;
    ConcaveVolume(torus, false, &probe);
    const size_t entry = probe.bytes();
    QX_BT_Decomposition_Cache one(entry + entry / 2);
    ConcaveVolume(torus, false, &one);
    ConcaveVolume(moved, false, &one);
    ConcaveVolume(moved, false, &one);
    EXPECT_EQ(one.computed(), 2u);
    ConcaveVolume(torus, false, &one);
    EXPECT_EQ(one.computed(), 3u);
    EXPECT_LE(one.bytes(), entry + entry / 2);
}

} // namespace
} // namespace Quarix
