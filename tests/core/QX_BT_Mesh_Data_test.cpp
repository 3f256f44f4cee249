#include "core/QX_BT_Mesh_Data.h"

#include <gtest/gtest.h>

#include "tests/fixtures/QX_Test_Meshes.h"

namespace Quarix {
namespace {

using Fixtures::MakeBox;

TEST(QX_BT_Mesh_Data, ElementsFollowSharedEdgesNotSharedVertices) {
    // Two triangles on edge (1, 2) form one element; a third touching only vertex 2 stays apart.
    const std::vector<int32_t> faces = {0, 1, 2, /**/ 2, 1, 3, /**/ 2, 4, 5};
    const QX_BT_Element_List elements = ExtractElements(faces);
    ASSERT_EQ(elements.size(), 2u);
    EXPECT_EQ(elements[0], (QX_BT_Face_List{0, 1}));
    EXPECT_EQ(elements[1], (QX_BT_Face_List{2}));
    EXPECT_TRUE(ExtractElements({}).empty());
}

TEST(QX_BT_Mesh_Data, ElementsOrderedBySmallestFaceAndVisitedDepthFirst) {
    const std::vector<int32_t> faces = {
        10, 11, 12, // 0: element B
        0,  1,  2,  // 1: element A
        3,  2,  5,  // 2: A, edge (2, 3) with face 4
        11, 12, 13, // 3: B, edge (11, 12) with face 0
        2,  1,  3,  // 4: A, edge (1, 2) with face 1
    };
    const QX_BT_Element_List elements = ExtractElements(faces);
    ASSERT_EQ(elements.size(), 2u);
    EXPECT_EQ(elements[0], (QX_BT_Face_List{0, 3}));
    EXPECT_EQ(elements[1], (QX_BT_Face_List{1, 4, 2})); // reached through face 4, not by index
}

TEST(QX_BT_Mesh_Data, BoxesAppendedSideBySideStaySeparateElements) {
    QX_BT_Mesh_Data mesh;
    for (int i = 0; i < 3; ++i)
        Fixtures::AppendElement(mesh, MakeBox(glm::vec3(3.0f * i, 0, 0), glm::vec3(1)));
    const QX_BT_Element_List elements = ExtractElements(mesh.geometry.faces);
    ASSERT_EQ(elements.size(), 3u);
    for (size_t e = 0; e < 3; ++e) {
        ASSERT_EQ(elements[e].size(), 12u);
        EXPECT_EQ(elements[e].front(), int32_t(12 * e));
        for (int32_t face : elements[e])
            EXPECT_EQ(face / 12, int32_t(e));
    }
}

TEST(QX_BT_Mesh_Data, ExtractFacesRenumbersInOrderOfFirstUse) {
    QX_BT_Mesh_Data source;
    source.geometry.vertices.resize(3 * 10);
    for (int v = 0; v < 10; ++v)
        source.geometry.setVertex(v, glm::vec3(float(v), 0, 0));
    source.geometry.faces.assign(3 * 7, 0);
    source.faceInfos.resize(7);
    const int32_t face5[3] = {9, 3, 4}, face6[3] = {3, 4, 8};
    std::copy(face5, face5 + 3, source.geometry.faces.begin() + 15);
    std::copy(face6, face6 + 3, source.geometry.faces.begin() + 18);
    source.faceInfos[5].materialID = 5;
    source.faceInfos[6].materialID = 6;
    // A map channel with its own indexing: face 5 -> (0, 1, 2), face 6 -> (2, 1, 0).
    QX_BT_Mesh_Channel& uv = source.channels[1];
    uv.vertices = {0, 0, 0, 1, 0, 0, 1, 1, 0};
    uv.faces.assign(3 * 7, 0);
    const int32_t uv6[3] = {2, 1, 0};
    uv.faces[15] = 0, uv.faces[16] = 1, uv.faces[17] = 2;
    std::copy(uv6, uv6 + 3, uv.faces.begin() + 18);

    QX_BT_Mesh_Data target;
    source.ExtractFaces(target, {5, 6});
    EXPECT_EQ(target.geometry.faces, (std::vector<int32_t>{0, 1, 2, 1, 2, 3}));
    EXPECT_EQ(target.geometry.vertices, (std::vector<float>{9, 0, 0, 3, 0, 0, 4, 0, 0, 8, 0, 0}));
    ASSERT_EQ(target.faceInfos.size(), 2u);
    EXPECT_EQ(target.faceInfos[0].materialID, 5);
    EXPECT_EQ(target.faceInfos[1].materialID, 6);
    ASSERT_EQ(target.channels.count(1), 1u);
    EXPECT_EQ(target.channels[1].faces, (std::vector<int32_t>{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(target.channels[1].vertices, uv.vertices);
}

TEST(QX_BT_Mesh_Data, AppendMeshOffsetsIndicesPerChannel) {
    QX_BT_Mesh_Data box = MakeBox(glm::vec3(0), glm::vec3(1));
    box.channels[0].vertices = {0, 0, 0, 1, 1, 0};
    box.channels[0].faces.assign(3 * box.faceCount(), 1);

    QX_BT_Mesh_Data target;
    EXPECT_EQ(target.AppendMesh(box.faceInfos, box), 0);
    EXPECT_EQ(target, box);

    // A channel that exists only in the target is left alone by later appends.
    target.channels[5].vertices = {7, 7, 7};
    EXPECT_EQ(target.AppendMesh(box.faceInfos, box), 12);
    ASSERT_EQ(target.faceCount(), 24u);
    EXPECT_EQ(target.faceInfos.size(), 24u);
    for (size_t i = 0; i < 36; ++i) {
        EXPECT_EQ(target.geometry.faces[36 + i], box.geometry.faces[i] + 8);
        EXPECT_EQ(target.channels[0].faces[36 + i], box.channels[0].faces[i] + 2);
    }
    EXPECT_EQ(target.channels[5].vertices, (std::vector<float>{7, 7, 7}));
}

TEST(QX_BT_Mesh_Data, TransformVertexSetMovesOnlyListedVerticesAndConsumesNormals) {
    QX_BT_Mesh_Data mesh = MakeBox(glm::vec3(0), glm::vec3(1));
    QX_BT_Mesh_Channel& normals = mesh.channels[kNormalChannel];
    normals.vertices = {1, 0, 0, 0, 1, 0};
    normals.faces.assign(3 * mesh.faceCount(), 0);
    const QX_BT_Mesh_Data original = mesh;

    glm::mat4 m(1.0f);
    m[0] = glm::vec4(0, 1, 0, 0); // rotate 90 degrees about z
    m[1] = glm::vec4(-1, 0, 0, 0);
    m[3] = glm::vec4(10, 20, 30, 1);

    QX_BT_Index_Set normalSet = {0};
    mesh.TransformVertexSet(m, {0, 7}, normalSet, false);
    EXPECT_TRUE(normalSet.empty());
    EXPECT_EQ(mesh.geometry.vertex(0), glm::vec3(11, 19, 29)); // (-1,-1,-1) turned and moved
    EXPECT_EQ(mesh.geometry.vertex(7), glm::vec3(9, 21, 31));
    EXPECT_EQ(mesh.geometry.vertex(3), original.geometry.vertex(3));
    EXPECT_EQ(mesh.channels[kNormalChannel].vertex(0), glm::vec3(0, 1, 0));
    EXPECT_EQ(mesh.channels[kNormalChannel].vertex(1), glm::vec3(0, 1, 0)); // not listed

    // Move-only puts vertices on the translation and leaves normals untouched.
    mesh = original;
    normalSet = {0, 1};
    mesh.TransformVertexSet(m, {2}, normalSet, true);
    EXPECT_TRUE(normalSet.empty());
    EXPECT_EQ(mesh.geometry.vertex(2), glm::vec3(10, 20, 30));
    EXPECT_EQ(mesh.channels[kNormalChannel], original.channels.at(kNormalChannel));
}

TEST(QX_BT_Mesh_Data, CentroidWeightsByFullPerimeterFormula) {
    // Right triangle (legs 1) around (10, 0, 0) and equilateral triangle (side 1) at the origin.
    const float h = std::sqrt(3.0f) * 0.5f;
    const std::vector<float> v = {10, 0, 0, 11, 0, 0, 10, 1, 0, 0, 0, 0, 1, 0, 0, 0.5f, h, 0};
    const glm::vec3 right =
        (glm::vec3(10, 0, 0) + glm::vec3(11, 0, 0) + glm::vec3(10, 1, 0)) * 0.33333334f;
    const glm::vec3 equilateral = glm::vec3(1.5f, h, 0) * 0.33333334f;

    auto single = ComputeSurfaceCentroid(v, {0, 1, 2});
    ASSERT_TRUE(single.has_value());
    EXPECT_EQ(*single, right);

    auto both = ComputeSurfaceCentroid(v, {0, 1, 2, 3, 4, 5});
    ASSERT_TRUE(both.has_value());
    const float wRight = 6.3086441f, wEquilateral = 4.8989795f;
    const glm::vec3 expected =
        equilateral + (right - equilateral) * (wRight / (wRight + wEquilateral));
    EXPECT_NEAR(both->x, expected.x, 1e-5f);
    EXPECT_NEAR(both->y, expected.y, 1e-5f);
}

TEST(QX_BT_Mesh_Data, CentroidOfCollapsedOrInvalidTrianglesIsUndefined) {
    const std::vector<float> v = {1, 1, 1, 2, 2, 2};
    EXPECT_FALSE(ComputeSurfaceCentroid(v, {0, 0, 0, 1, 1, 1}).has_value());
    EXPECT_FALSE(ComputeSurfaceCentroid(v, {}).has_value());
    // A flat, collinear triangle still has a positive weight.
    const std::vector<float> line = {0, 0, 0, 1, 0, 0, 2, 0, 0};
    auto c = ComputeSurfaceCentroid(line, {0, 1, 2});
    ASSERT_TRUE(c.has_value());
    EXPECT_FLOAT_EQ(c->x, 1.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(ComputeSurfaceCentroid({nan, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}).has_value());
}

TEST(QX_BT_Mesh_Data, EnclosedVolumeOfCubeInBothWindings) {
    QX_BT_Mesh_Data cube = MakeBox(glm::vec3(5, 5, 5), glm::vec3(0.5f));
    EXPECT_FLOAT_EQ(ComputeEnclosedVolume(cube.geometry.vertices, cube.geometry.faces, {5, 5, 5}),
                    1.0f);
    // The sum does not depend on the reference point for a closed mesh.
    EXPECT_NEAR(ComputeEnclosedVolume(cube.geometry.vertices, cube.geometry.faces, {0, 0, 0}), 1.0f,
                1e-4f);
    Fixtures::FlipWinding(cube);
    EXPECT_EQ(ComputeEnclosedVolume(cube.geometry.vertices, cube.geometry.faces, {5, 5, 5}), 0.0f);
}

TEST(QX_BT_Mesh_Data, FixtureSphereAndTorusAreClosedAndOutward) {
    const QX_BT_Mesh_Data sphere = Fixtures::MakeSphere(glm::vec3(0), 1.0f, 64, 32);
    const float sphereVolume =
        ComputeEnclosedVolume(sphere.geometry.vertices, sphere.geometry.faces, glm::vec3(0));
    EXPECT_NEAR(sphereVolume, 4.18879f, 0.05f);
    EXPECT_EQ(ExtractElements(sphere.geometry.faces).size(), 1u);

    const QX_BT_Mesh_Data torus = Fixtures::MakeTorus(glm::vec3(0), 2.0f, 0.5f, 48, 24);
    const float torusVolume =
        ComputeEnclosedVolume(torus.geometry.vertices, torus.geometry.faces, glm::vec3(0));
    EXPECT_NEAR(torusVolume, 2.0f * 3.14159265f * 3.14159265f * 2.0f * 0.25f, 0.3f);

    const QX_BT_Mesh_Data prism = Fixtures::MakeLPrism(1.0f);
    EXPECT_FLOAT_EQ(
        ComputeEnclosedVolume(prism.geometry.vertices, prism.geometry.faces, glm::vec3(0.5f)),
        3.0f);
}

} // namespace
} // namespace Quarix
