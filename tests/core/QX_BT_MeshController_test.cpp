#include "core/QX_BT_MeshController.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/QX_BT_World.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix {
namespace {

using Fixtures::MakeBox;
using Fixtures::TestObject;

QX_BT_Mesh_Data Boxes(int count) {
    QX_BT_Mesh_Data mesh;
    for (int i = 0; i < count; ++i)
        Fixtures::AppendElement(mesh, MakeBox(glm::vec3(1.1f * i, 0, 3), glm::vec3(0.5f)));
    return mesh;
}

// One object of four boxes in one body, split at frame 2 into two clusters, the first of which
// splits at frame 3 into its two boxes; frames 0 to 4 are recorded.
struct Lineage {
    Lineage() : object(Boxes(4)) {
        core().intSettings.set(ObjectKey::GroupCount, 1);
        core().intSettings.set(ObjectKey::Percentage, 0);
        core().prepare(0.0f, 1.0f);
        for (float x = 0.0f; x <= 4.0f; x += 1.0f) {
            if (x == 2.0f)
                core().demolishBody(DemolitionKind::Clusters, *root(), x, false, 1.0f, 0, 2, false);
            if (x == 3.0f)
                core().demolishBody(DemolitionKind::Elements, *core().bodies.at(1), x, false, 1.0f,
                                    0, 0, false);
            core().recordFrame(x, false, false, 1.0f);
        }
    }
    QX_BT_MeshController& core() { return *object.core; }
    QX_BT_Body* root() { return core().bodies.at(0).get(); }

    TestObject object;
};

TEST(QX_BT_MeshController_Rewind, RelaxedBodiesOutliveTheirSplitParents) {
    Lineage scene;
    QX_BT_MeshController& core = scene.core();
    ASSERT_EQ(core.bodies.size(), 5u); // root, two clusters, two boxes of the first cluster
    QX_BT_Body* cluster = core.bodies.at(1).get();
    QX_BT_Body* box = core.bodies.at(3).get();
    ASSERT_EQ(box->parent, cluster);
    box->pristine = false;

    // The cluster (born at 2, pristine) goes; the relaxed box born from it stays and now names
    // the root as its parent instead of freed memory.
    core.rewindTo(0.5f, false);
    ASSERT_EQ(core.bodies.size(), 2u);
    EXPECT_EQ(core.bodies[1].get(), box);
    EXPECT_EQ(box->parent, scene.root());
    EXPECT_EQ(scene.root()->lifeEnd, kLifeUnbounded);
    EXPECT_EQ(scene.root()->demolishedAs, -1);

    // To the earliest frame: every track goes, the relaxed box stays, and so does the mesh
    // history that still describes the faces of the box's birth frame.
    const QX_BT_Mesh_History history = core.meshHistory;
    core.rewindTo(-kLifeUnbounded, false);
    EXPECT_EQ(core.meshHistory, history);
    ASSERT_EQ(core.bodies.size(), 2u);
    EXPECT_TRUE(box->track.empty());
    EXPECT_TRUE(scene.root()->track.empty());
}

TEST(QX_BT_MeshController_Rewind, ResetRelaxedRewindsOnlyWhenABodyWasRelaxed) {
    Lineage scene;
    QX_BT_MeshController& core = scene.core();
    core.resetRelaxed(1.0f);
    EXPECT_EQ(std::prev(core.meshHistory.end())->first, 4.0f);
    EXPECT_EQ(core.bodies.size(), 5u);

    // Relaxed as recordRelaxed would have left it: its own life span kept as the pending one.
    QX_BT_Body& box = *core.bodies.at(4);
    box.pristine = false;
    box.pendingLifeStart = box.lifeStart;
    box.pendingBeforeMode = box.beforeMode;
    core.resetRelaxed(1.0f);
    EXPECT_EQ(std::prev(core.meshHistory.end())->first, 1.0f);
    EXPECT_EQ(core.bodies.size(), 1u) << "reset made the box pristine again, so it went too";
}

TEST(QX_BT_MeshController_Rebuild, StoredParentIndicesLinkTheRebuiltBodies) {
    TestObject object(Boxes(3));
    QX_BT_MeshController& core = *object.core;
    core.prepare(0.0f, 1.0f);
    QX_BT_Stored_Bodies stored;
    for (int e = 0; e < 3; ++e) {
        stored.elementKinds.push_back(QX_BT_Shape_Convex);
        stored.elementFaces.push_back(core.elements.at(size_t(e)));
        stored.groups.push_back({e});
        QX_BT_Body_Data record;
        record.shapeIndex = e;
        record.parentIndex = e == 0 ? -1 : 0;
        stored.records.push_back(record);
    }
    core.pending = stored;
    core.restorePending();
    ASSERT_EQ(core.bodies.size(), 3u);
    EXPECT_EQ(core.bodies[0]->parent, nullptr);
    EXPECT_EQ(core.bodies[1]->parent, core.bodies[0].get());
    EXPECT_EQ(core.bodies[2]->parent, core.bodies[0].get());
}

TEST(QX_BT_MeshController_Frame, MaterialAndMassScaleWithTheSameVariation) {
    TestObject object(MakeBox(glm::vec3(0, 0, 3), glm::vec3(0.5f)));
    QX_BT_MeshController& core = *object.core;
    core.prepare(0.0f, 1.0f);
    QX_BT_Body& body = *core.bodies.at(0);
    body.variationFactor = 0.5f;
    auto expectScaledBy = [&](float b) {
        core.applyFrame(1.0f, false, 1.0f);
        EXPECT_FLOAT_EQ(body.getFriction(), 0.82f * b);
        EXPECT_FLOAT_EQ(body.getRollingFriction(), 0.82f * b * 0.01f);
        EXPECT_FLOAT_EQ(body.getRestitution(), 0.04f * b);
        EXPECT_FLOAT_EQ(1.0f / body.getInvMass(), 4.0f * 1.0f * b);
    };
    core.intSettings.set(ObjectKey::Variation, 40);
    expectScaledBy(1.2f);
    core.intSettings.set(ObjectKey::Variation, 0);
    expectScaledBy(1.0f);
}

TEST(QX_BT_MeshController_Frame, StartImpulseOnlyAtFrameZeroAndOnlyForDynamicBodies) {
    TestObject object(MakeBox(glm::vec3(0, 0, 3), glm::vec3(0.5f)));
    object.node->setKey(1.0f, Translation(glm::vec3(0.5f, 0, 0)));
    QX_BT_MeshController& core = *object.core;
    core.floatSettings.set(ObjectKey::StartImpulseFactor, 2.0f);
    core.prepare(0.0f, 1.0f);
    QX_BT_Body& body = *core.bodies.at(0);
    core.applyFrame(0.0f, false, 1.0f);
    EXPECT_FLOAT_EQ(body.getLinearVelocity().x(), 0.5f * 2.0f * 50.0f);
    core.applyFrame(0.5f, false, 1.0f);
    EXPECT_EQ(body.getLinearVelocity().x(), 0.0f);

    core.intSettings.set(ObjectKey::RigidType, Kinematic);
    core.prepare(0.0f, 1.0f);
    core.applyFrame(0.0f, false, 1.0f);
    EXPECT_EQ(core.bodies.at(0)->getLinearVelocity().x(), 0.0f);
}

TEST(QX_BT_MeshController_Frame, LifeSpansIncludeTheirStartAndExcludeTheirEnd) {
    QX_BT_Body_Data body;
    body.lifeStart = 2.0f;
    body.lifeEnd = 5.0f;
    body.beforeMode = 1;
    body.afterMode = 2;
    EXPECT_TRUE(IsAlive(body, 2.0f));
    EXPECT_TRUE(IsAlive(body, std::nextafter(5.0f, 0.0f)));
    EXPECT_FALSE(IsAlive(body, 5.0f));
    EXPECT_EQ(LifeCode(body, 5.0f), 2);
    EXPECT_EQ(LifeCode(body, std::nextafter(2.0f, 0.0f)), 1);
}

TEST(QX_BT_MeshController_Prepare, InputMeshToleranceAndEmptyShapeLists) {
    TestObject object(MakeBox(glm::vec3(0, 0, 3), glm::vec3(0.5f)));
    QX_BT_MeshController& core = *object.core;
    core.prepare(0.0f, 1.0f);
    const float x = core.inputMesh.geometry.vertices[0];
    core.inputMesh.geometry.vertices[0] = x + 0.0005f;
    core.checkInputMesh();
    EXPECT_EQ(core.intSettings.get(ObjectKey::MeshBuilt), 1);
    core.inputMesh.geometry.vertices[0] = x + 0.002f;
    core.checkInputMesh();
    EXPECT_EQ(core.intSettings.get(ObjectKey::MeshBuilt), 0);

    ASSERT_FALSE(core.bodies.empty());
    core.createBodies({}, core.bodies, Dynamic, 0.0f, 1.0f);
    EXPECT_TRUE(core.bodies.empty());
}

TEST(QX_BT_MeshController_Prepare, ChangingTheMeshTypeRebuildsAndReusesDecompositions) {
    const QX_BT_Mesh_Data torus = Fixtures::MakeTorus(glm::vec3(0, 0, 2), 2.0f, 0.6f, 12, 8);
    TestObject object(torus);
    QX_BT_MeshController& core = *object.core;
    auto kindAfterPrepare = [&](int32_t type) {
        core.intSettings.set(ObjectKey::MeshType, type);
        core.prepare(0.0f, 1.0f);
        core.intSettings.clearChanged();
        return GetShapeExtension(core.elementShapes.at(0).get())->getShapeKind();
    };
    EXPECT_EQ(kindAfterPrepare(QX_BT_Mesh_Convex), QX_BT_Shape_Convex);
    EXPECT_EQ(kindAfterPrepare(QX_BT_Mesh_ConcaveLow), QX_BT_Shape_Concave);
    EXPECT_GT(core.elementShapes[0]->isCompound()
                  ? static_cast<btCompoundShape*>(core.elementShapes[0].get())->getNumChildShapes()
                  : 0,
              1);
    EXPECT_EQ(kindAfterPrepare(QX_BT_Mesh_Convex), QX_BT_Shape_Convex);
    EXPECT_EQ(kindAfterPrepare(QX_BT_Mesh_ConcaveLow), QX_BT_Shape_Concave);
    EXPECT_EQ(core.decompositions.computed(), 1u) << "the unchanged torus is decomposed once";
    EXPECT_EQ(kindAfterPrepare(QX_BT_Mesh_ConcaveHigh), QX_BT_Shape_Concave);
    EXPECT_EQ(core.decompositions.computed(), 2u);
}

TEST(QX_BT_MeshController_Prepare, ACoreWithoutANodeSitsAtTheIdentity) {
    QX_BT_MeshController core(nullptr);
    core.inputMesh = MakeBox(glm::vec3(1, 2, 3), glm::vec3(0.5f));
    EXPECT_EQ(core.nodeTransform(4.0f, 2.0f), glm::mat4(1.0f));
    core.prepare(0.0f, 2.0f);
    ASSERT_EQ(core.bodies.size(), 1u);
    const btVector3 origin = core.bodies[0]->getWorldTransform().getOrigin();
    EXPECT_NEAR(origin.x(), 1.0f, 1e-6f);
    EXPECT_NEAR(origin.y(), 2.0f, 1e-6f);
    EXPECT_NEAR(origin.z(), 3.0f, 1e-6f);
}

} // namespace
} // namespace Quarix
