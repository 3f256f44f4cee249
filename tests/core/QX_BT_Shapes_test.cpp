#include "core/QX_BT_Shapes.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/fixtures/QX_Test_Meshes.h"

namespace Quarix {
namespace {

// A unit tetrahedron-like hull standing in for an element shape; only its extension matters here.
std::unique_ptr<QX_BT_ConvexShape> MakeHull(float volume, const glm::vec3& centre) {
    const btVector3 points[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    auto hull = std::make_unique<QX_BT_ConvexShape>(points, 4);
    hull->volume = volume;
    hull->centre = centre;
    return hull;
}

// Counts destructions so ownership can be checked without relying on the sanitizer alone.
int gDestroyedHulls = 0;
class CountedHull : public QX_BT_ConvexShape {
public:
    CountedHull() : QX_BT_ConvexShape(nullptr, 0) {}
    ~CountedHull() override { ++gDestroyedHulls; }
};

TEST(QX_BT_Shapes, KindIsReportedThroughTheBulletBase) {
    auto convex = MakeHull(1, glm::vec3(0));
    auto compound = std::make_unique<QX_BT_CompoundShape>();
    auto concave = std::make_unique<QX_BT_ConcaveShape>();
    const btCollisionShape* shapes[3] = {convex.get(), compound.get(), concave.get()};
    for (int kind = 0; kind < 3; ++kind) {
        const QX_BT_Shape_Extension_Interface* ext = GetShapeExtension(shapes[kind]);
        ASSERT_NE(ext, nullptr);
        EXPECT_EQ(ext->getShapeKind(), kind);
    }
    EXPECT_EQ(convex->getShapeType(), 4);
    EXPECT_EQ(concave->getShapeType(), 31);
    EXPECT_EQ(convex->getMargin(), 0.0f);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(convex.get()) % 16, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(concave.get()) % 16, 0u);
}

TEST(QX_BT_Shapes, AssemblyPlacesChildrenAroundVolumeWeightedCentre) {
    auto a = MakeHull(1, glm::vec3(0, 0, 0));
    auto b = MakeHull(3, glm::vec3(4, 0, 0));
    QX_BT_CompoundShape compound;
    compound.pendingChildren = {a.get(), b.get()};
    compound.assembleChildren();
    EXPECT_FLOAT_EQ(compound.volume, 4.0f);
    EXPECT_EQ(compound.centre, glm::vec3(3, 0, 0));
    ASSERT_EQ(compound.getNumChildShapes(), 2);
    EXPECT_EQ(compound.getChildTransform(0).getOrigin(), btVector3(-3, 0, 0));
    EXPECT_EQ(compound.getChildTransform(1).getOrigin(), btVector3(1, 0, 0));
    EXPECT_TRUE(compound.pendingChildren.empty());

    // A second assembly continues from the current volume and centre.
    auto c = MakeHull(4, glm::vec3(-3, 0, 0));
    compound.pendingChildren = {c.get()};
    compound.assembleChildren();
    EXPECT_FLOAT_EQ(compound.volume, 8.0f);
    EXPECT_EQ(compound.centre, glm::vec3(0, 0, 0));
    EXPECT_EQ(compound.getChildTransform(2).getOrigin(), btVector3(-3, 0, 0));
}

TEST(QX_BT_Shapes, AssemblyOfConcaveChildAndOfNothing) {
    auto concave = std::make_unique<QX_BT_ConcaveShape>();
    concave->volume = 2.5f;
    concave->centre = glm::vec3(1, 2, 3);
    QX_BT_CompoundShape body;
    body.pendingChildren = {concave.get()};
    body.assembleChildren();
    EXPECT_FLOAT_EQ(body.volume, 2.5f);
    EXPECT_EQ(body.centre, glm::vec3(1, 2, 3));
    EXPECT_EQ(body.getChildTransform(0).getOrigin(), btVector3(0, 0, 0));

    QX_BT_CompoundShape empty;
    empty.setMargin(0.3f);
    empty.assembleChildren();
    EXPECT_EQ(empty.volume, 0.0f);
    EXPECT_EQ(empty.centre, glm::vec3(0));
    EXPECT_EQ(empty.getMargin(), 0.0f);

    // Zero-volume children keep the centre where it was.
    auto flat = MakeHull(0, glm::vec3(9, 9, 9));
    empty.pendingChildren = {flat.get()};
    empty.assembleChildren();
    EXPECT_EQ(empty.centre, glm::vec3(0));
}

TEST(QX_BT_Shapes, CompoundLeavesChildrenConcaveDeletesItsHulls) {
    gDestroyedHulls = 0;
    auto* kept = new CountedHull();
    {
        QX_BT_CompoundShape compound;
        compound.pendingChildren = {kept};
        compound.assembleChildren();
    }
    EXPECT_EQ(gDestroyedHulls, 0);
    delete kept;
    EXPECT_EQ(gDestroyedHulls, 1);

    gDestroyedHulls = 0;
    btCollisionShape* concave = new QX_BT_ConcaveShape();
    auto* owner = static_cast<QX_BT_ConcaveShape*>(concave);
    owner->pendingChildren = {new CountedHull(), new CountedHull(), new CountedHull()};
    owner->assembleChildren();
    delete concave; // through the Bullet base, as the owning lists do
    EXPECT_EQ(gDestroyedHulls, 3);
}

TEST(QX_BT_Shapes, NormalIndicesFillOnDemand) {
    QX_BT_Mesh_Data mesh = Fixtures::MakeBox(glm::vec3(0), glm::vec3(1));
    auto hull = MakeHull(1, glm::vec3(0));
    hull->faceIndices = {3, 4};
    EXPECT_TRUE(hull->GetNormalIndices(mesh).empty());

    QX_BT_Mesh_Channel& normals = mesh.channels[kNormalChannel];
    normals.vertices.assign(3 * 36, 0.0f);
    for (int32_t i = 0; i < 36; ++i)
        normals.faces.push_back(i);
    EXPECT_EQ(hull->GetNormalIndices(mesh), (QX_BT_Index_Set{9, 10, 11, 12, 13, 14}));

    // Once filled, the set is returned as it is.
    hull->faceIndices = {0};
    EXPECT_EQ(hull->GetNormalIndices(mesh).size(), 6u);
}

} // namespace
} // namespace Quarix
