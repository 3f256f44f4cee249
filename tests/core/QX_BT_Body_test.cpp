#include "core/QX_BT_Body.h"

#include "tests/fixtures/QX_Test_Meshes.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <random>

namespace Quarix {
namespace {

// Element and body shapes with chosen volumes, for bodies that need no mesh.
struct BodyFixture : ::testing::Test {
    QX_BT_CompoundShape* MakeBodyShape(float volume, const glm::vec3& centre,
                                       const QX_BT_Face_List& faces = {}) {
        const btVector3 points[4] = {{-1, -1, -1}, {1, -1, -1}, {0, 1, -1}, {0, 0, 1}};
        auto hull = std::make_unique<QX_BT_ConvexShape>(points, 4);
        hull->volume = volume;
        hull->centre = centre;
        hull->faceIndices = faces;
        auto compound = std::make_unique<QX_BT_CompoundShape>();
        compound->pendingChildren.push_back(hull.get());
        compound->assembleChildren();
        elements.push_back(std::move(hull));
        bodyShapes.push_back(std::move(compound));
        return bodyShapes.back().get();
    }

    QX_BT_Shape_List elements;
    QX_BT_Body_Shape_List bodyShapes;
};

using QX_BT_Body_Fixture = BodyFixture;

TEST(QX_BT_Body, VariationFactorFollowsTheRejectionRule) {
    // Independent reference: the rule written out with the engine's raw output.
    for (uint32_t seed : {0u, 1u, 2u, 77u, 4000000000u}) {
        std::mt19937 engine(seed);
        uint32_t v;
        do {
            v = engine();
        } while (v / 101u >= 42524428u);
        EXPECT_EQ(DrawVariationFactor(seed), float(v % 101u) * 0.01f) << "seed " << seed;
    }
}

TEST_F(QX_BT_Body_Fixture, BodiesDrawFromTheCounterInOrder) {
    QX_BT_CompoundShape* shape = MakeBodyShape(1.0f, glm::vec3(0));
    const uint32_t first = BodyCounter();
    QX_BT_Body a(shape, glm::mat4(1.0f), nullptr);
    QX_BT_Body b(shape, glm::mat4(1.0f), nullptr);
    EXPECT_EQ(a.variationFactor, DrawVariationFactor(first));
    EXPECT_EQ(b.variationFactor, DrawVariationFactor(first + 1));
    EXPECT_EQ(BodyCounter(), first + 2);
    EXPECT_GE(a.variationFactor, 0.0f);
    EXPECT_LE(a.variationFactor, 1.0f);
}

TEST_F(QX_BT_Body_Fixture, ConstructionSetsMassTransformAndDefaults) {
    QX_BT_CompoundShape* shape = MakeBodyShape(2.5f, glm::vec3(1, 2, 3));
    const glm::mat4 start = glm::translate(glm::mat4(1.0f), glm::vec3(5, 6, 7)) *
                            glm::rotate(glm::mat4(1.0f), 0.5f, glm::vec3(0, 0, 1));
    QX_BT_Body body(shape, start, nullptr);
    EXPECT_FLOAT_EQ(body.getInvMass(), 0.4f);
    const glm::mat4 back = FromBulletTransform(body.getWorldTransform());
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(back[c][r], start[c][r], 1e-6f);
    btTransform motion;
    body.getMotionState()->getWorldTransform(motion);
    EXPECT_EQ(motion.getOrigin(), btVector3(5, 6, 7));
    EXPECT_EQ(body.getFriction(), 0.5f);
    EXPECT_EQ(body.getRestitution(), 0.0f);
    EXPECT_EQ(body.state, Dynamic);
    EXPECT_EQ(body.demolishedAs, -1);
    EXPECT_EQ(body.lifeStart, -3.4028235e38f);
    EXPECT_EQ(body.parent, nullptr);
}

TEST_F(QX_BT_Body_Fixture, RigidTypeSwitchesMassAndKeepsKinematicFlag) {
    QX_BT_Body body(MakeBodyShape(2.5f, glm::vec3(0)), glm::mat4(1.0f), nullptr);
    SetRigidType(body, Static);
    EXPECT_EQ(body.getInvMass(), 0.0f);
    SetRigidType(body, Kinematic);
    EXPECT_EQ(body.getInvMass(), 0.0f);
    EXPECT_TRUE(body.isKinematicObject());
    EXPECT_EQ(body.getActivationState(), DISABLE_DEACTIVATION);
    SetRigidType(body, Dynamic);
    EXPECT_FLOAT_EQ(body.getInvMass(), 0.4f);
    EXPECT_TRUE(body.isKinematicObject()); // never removed
    SetRigidType(body, Dead);
    EXPECT_FLOAT_EQ(body.getInvMass(), 0.4f);
    SetRigidType(body, 7);
    EXPECT_EQ(body.state, 7);
    EXPECT_FLOAT_EQ(body.getInvMass(), 0.4f);
}

TEST_F(QX_BT_Body_Fixture, ApplyBodyDataCopiesEverythingButShapeIndex) {
    QX_BT_Body body(MakeBodyShape(1.0f, glm::vec3(0)), glm::mat4(1.0f), nullptr);
    QX_BT_Body_Data record;
    record.state = Kinematic;
    record.variationFactor = 0.37f;
    record.lifeEnd = 12.0f;
    record.afterMode = 2;
    record.parentIndex = 4;
    record.shapeIndex = 9;
    record.depth = 2;
    record.track[3.0f].tag = 3;
    ApplyBodyData(record, body);
    EXPECT_EQ(body.shapeIndex, -1);
    EXPECT_EQ(body.variationFactor, 0.37f);
    EXPECT_EQ(body.lifeEnd, 12.0f);
    EXPECT_EQ(body.afterMode, 2);
    EXPECT_EQ(body.parentIndex, 4);
    EXPECT_EQ(body.depth, 2);
    EXPECT_EQ(body.track, record.track);
    EXPECT_TRUE(body.isKinematicObject());
}

TEST_F(QX_BT_Body_Fixture, CollectBodyFacesWalksChildrenInOrder) {
    const btVector3 points[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    auto first = std::make_unique<QX_BT_ConvexShape>(points, 4);
    first->faceIndices = {3, 4};
    first->volume = 1;
    auto second = std::make_unique<QX_BT_ConvexShape>(points, 4);
    second->faceIndices = {7};
    second->volume = 1;
    QX_BT_CompoundShape compound;
    compound.pendingChildren = {first.get(), second.get()};
    compound.assembleChildren();
    QX_BT_Body body(&compound, glm::mat4(1.0f), nullptr);
    EXPECT_EQ(CollectBodyFaces(body), (QX_BT_Face_List{3, 4, 7}));
}

TEST(QX_BT_Body, TransformConversionRoundTrips) {
    const glm::mat4 m = glm::translate(glm::mat4(1.0f), glm::vec3(1, -2, 3)) *
                        glm::rotate(glm::mat4(1.0f), 1.1f, glm::normalize(glm::vec3(1, 1, 0)));
    const btTransform t = ToBulletTransform(m);
    // Bullet basis (row r, column c) is mat4 element (column c, row r).
    EXPECT_EQ(t.getBasis()[0][1], m[1][0]);
    EXPECT_EQ(t.getBasis()[2][0], m[0][2]);
    EXPECT_EQ(FromBulletTransform(t), m);
}

// A stored half-centimetre cube of a world that simulates in metres (0.000000125 cubic units) was
// a solid when it was stored: it comes back with its body, and a flat stored element does not.
TEST(QX_BT_Body, RebuildBodiesRestoresSmallSolidsOnly) {
    const QX_BT_Mesh_Data cube = Fixtures::MakeBox({0, 0, 1}, {0.0025f, 0.0025f, 0.0025f});
    QX_BT_Face_List all(cube.geometry.faces.size() / 3);
    for (size_t f = 0; f < all.size(); ++f)
        all[f] = int32_t(f);
    QX_BT_Stored_Bodies stored;
    stored.elementKinds = {QX_BT_Shape_Convex, QX_BT_Shape_Convex};
    stored.elementFaces = {all, {0, 1}}; // the second: one flat side of the cube
    stored.groups = {{0}};
    QX_BT_Body_Data record;
    record.shapeIndex = 0;
    stored.records = {record};

    QX_BT_Shape_List elementShapes;
    QX_BT_Body_Shape_List bodyShapes;
    QX_BT_Body_List bodies;
    RebuildBodies(stored, cube.geometry.vertices, cube.geometry.faces, nullptr, elementShapes,
                  bodyShapes, bodies);
    ASSERT_EQ(elementShapes.size(), 2u);
    EXPECT_NE(elementShapes[0], nullptr);
    EXPECT_EQ(elementShapes[1], nullptr);
    EXPECT_EQ(bodyShapes.size(), 1u);
    EXPECT_EQ(bodies.size(), 1u);
}

} // namespace
} // namespace Quarix
