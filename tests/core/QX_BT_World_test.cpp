#include "core/QX_BT_World.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix {
namespace {

using Fixtures::MakeBox;
using Fixtures::Simulate;
using Fixtures::TestObject;

constexpr float kGravity = 9.81f;

// A world with one box object: the box's centre at `centre`, half extent `half`.
struct WorldFixture : ::testing::Test {
    void Build(const glm::vec3& centre, float half, int subSteps, bool ground) {
        Fixtures::ConfigureWorld(world, subSteps, kGravity, ground);
        object = std::make_unique<TestObject>(MakeBox(centre, glm::vec3(half)));
        objects = {object->core.get()};
    }
    QX_BT_Body& body() { return *object->core->bodies.at(0); }
    glm::vec3 recordedOffset(float frame) {
        return glm::vec3(body().track.find(frame)->second.transform[3]);
    }

    QX_BT_World world;
    std::unique_ptr<TestObject> object;
    std::vector<QX_BT_MeshController*> objects;
};

using QX_BT_World_Scene = WorldFixture;

// Semi-implicit Euler in single precision, as Bullet integrates a free body.
float FreeFallDrop(int frames, int subSteps, float timeScale) {
    const float dt = float((1.0 / (subSteps * 40.0)) * timeScale);
    float v = 0.0f, z = 0.0f;
    for (int i = 0; i < frames * subSteps; ++i) {
        v += -kGravity * dt;
        z += v * dt;
    }
    return z;
}

TEST_F(QX_BT_World_Scene, FreeFallFollowsSemiImplicitEuler) {
    for (int subSteps : {1, 5}) {
        for (float timeScale : {1.0f, 2.0f}) {
            Build(glm::vec3(0, 0, 50), 0.5f, subSteps, false);
            world.floatSettings.set(WorldKey::DeltaTime, timeScale);
            object->core->floatSettings.set(ObjectKey::StartImpulseFactor, 0.0f);
            Simulate(world, objects, 20);
            const float expected = FreeFallDrop(20, subSteps, timeScale);
            const glm::vec3 offset = recordedOffset(20.0f);
            EXPECT_NEAR(offset.z, expected, std::fabs(expected) * 2e-5f)
                << subSteps << " sub-steps, time scale " << timeScale;
            EXPECT_EQ(offset.x, 0.0f);
            EXPECT_EQ(body().track.size(), 21u); // frame 0 before stepping, then 1..20
        }
    }
    // The frame length is key0 / 40 seconds whatever the sub-steps: the same time passes.
    EXPECT_NEAR(FreeFallDrop(20, 1, 1.0f), FreeFallDrop(20, 5, 1.0f), 0.05f);
}

TEST_F(QX_BT_World_Scene, BoxComesToRestOnTheGround) {
    Build(glm::vec3(0, 0, 3), 1.0f, 5, true);
    Simulate(world, objects, 120);
    const float restingCentre = 3.0f + recordedOffset(120.0f).z;
    EXPECT_GT(restingCentre, 1.0f - 0.02f); // penetration below 1% of the box's size
    EXPECT_LT(restingCentre, 1.0f + 0.02f);
    const float earlier = 3.0f + recordedOffset(100.0f).z;
    EXPECT_NEAR(restingCentre, earlier, 1e-3f);
}

TEST_F(QX_BT_World_Scene, StaticAndDeadBodiesStayPut) {
    for (int32_t type : {int32_t(Static), int32_t(Dead)}) {
        Build(glm::vec3(0, 0, 5), 0.5f, 5, true);
        object->core->intSettings.set(ObjectKey::RigidType, type);
        Simulate(world, objects, 10);
        for (const auto& [frame, state] : body().track)
            EXPECT_EQ(state.transform, glm::mat4(1.0f)) << "type " << type << " frame " << frame;
    }
}

// A node that remembers the frames it was asked about.
class RecordingNode : public Fixtures::TestNode {
public:
    void GetNodeTransform(glm::mat4& out, float frame, float scale) override {
        asked.push_back(frame);
        TestNode::GetNodeTransform(out, frame, scale);
    }
    std::vector<float> asked;
};

TEST(QX_BT_World, KinematicBodyFollowsItsNodeAtSubStepTimes) {
    QX_BT_World world;
    Fixtures::ConfigureWorld(world, 4, kGravity, false);
    RecordingNode node;
    QX_BT_MeshController core(&node);
    node.controller = &core;
    core.inputMesh = MakeBox(glm::vec3(0, 0, 2), glm::vec3(0.5f));
    core.intSettings.set(ObjectKey::RigidType, Kinematic);
    glm::mat4 moved(1.0f);
    moved[3] = glm::vec4(10, 0, 0, 1);
    node.setKey(10.0f, moved);

    world.SimulateFrame({&core}, 0.0f, 3.0f, 1.0f, false);
    for (float t : {0.25f, 0.5f, 0.75f, 1.0f, 2.25f, 2.75f, 3.0f})
        EXPECT_NE(std::find(node.asked.begin(), node.asked.end(), t), node.asked.end()) << t;

    // Followed exactly: relative to its node the body never moved.
    QX_BT_Body& body = *core.bodies.at(0);
    for (const auto& [frame, state] : body.track) {
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 3; ++r)
                EXPECT_NEAR(state.transform[c][r], c == r ? 1.0f : 0.0f, 1e-5f) << frame;
    }
    const btVector3 origin = body.getWorldTransform().getOrigin();
    EXPECT_NEAR(origin.x(), 3.0f, 1e-5f);
}

TEST_F(QX_BT_World_Scene, PlaybackIsNodeRelativeAndScalingRebuildsTheMesh) {
    Build(glm::vec3(0, 0, 20), 0.5f, 5, false);
    Simulate(world, objects, 10);
    QX_BT_MeshController& core = *object->core;
    core.evaluateOutput(10.0f);
    const float drop = recordedOffset(10.0f).z;
    ASSERT_LT(drop, -0.2f);
    for (size_t v = 0; v < core.inputMesh.geometry.vertexCount(); ++v) {
        const glm::vec3 in = core.inputMesh.geometry.vertex(int32_t(v));
        const glm::vec3 out = core.outputMesh.geometry.vertex(int32_t(v));
        EXPECT_NEAR(out.z, in.z + drop, 1e-4f);
        EXPECT_NEAR(out.x, in.x, 1e-4f);
    }
    // Moving the node after simulating leaves the object-space result as it is: the host places
    // it at the node, so the played-back motion moves with the node.
    const QX_BT_Mesh_Data before = core.outputMesh;
    glm::mat4 moved(1.0f);
    moved[3] = glm::vec4(7, -3, 1, 1);
    object->node->keys = {{0.0f, moved}};
    core.evaluateOutput(10.0f);
    EXPECT_EQ(core.outputMesh, before);
    EXPECT_TRUE(world.HasChanges(objects)); // but a new run starts over

    // Scaling the node rebuilds the simulation mesh in the scaled space.
    glm::mat4 scaled(2.0f);
    scaled[3] = glm::vec4(0, 0, 0, 1);
    object->node->keys = {{0.0f, scaled}};
    EXPECT_TRUE(world.HasChanges(objects));
    EXPECT_EQ(core.intSettings.get(ObjectKey::ScaleUnchanged), 0);
    world.SimulateFrame(objects, 0.0f, 1.0f, 1.0f, false);
    EXPECT_EQ(core.simulationMesh.geometry.vertex(0), 2.0f * core.inputMesh.geometry.vertex(0));
    core.evaluateOutput(0.0f);
    EXPECT_NEAR(core.outputMesh.geometry.vertex(0).z, core.inputMesh.geometry.vertex(0).z, 1e-4f);
}

TEST_F(QX_BT_World_Scene, RestartRules) {
    Build(glm::vec3(0, 0, 5), 0.5f, 5, true);
    Simulate(world, objects, 2);
    EXPECT_FALSE(world.HasChanges(objects));
    world.vectorSettings.set(WorldKey::GravityDirection, {0, 1, 0, 0});
    EXPECT_FALSE(world.HasChanges(objects)); // vector settings never restart
    world.floatSettings.set(WorldKey::Gravity, 1.0f);
    EXPECT_TRUE(world.HasChanges(objects));
    world.floatSettings.clearChanged();
    object->core->floatSettings.set(ObjectKey::Density, 4.0f); // same value: no change
    EXPECT_FALSE(world.HasChanges(objects));
    object->core->floatSettings.set(ObjectKey::Density, std::nanf(""));
    EXPECT_TRUE(world.HasChanges(objects));
    object->core->floatSettings.set(ObjectKey::Density, std::nanf("")); // NaN never equals
    EXPECT_TRUE(object->core->floatSettings.changed(ObjectKey::Density));
}

TEST_F(QX_BT_World_Scene, PrepareRebuildsOnlyWhatChanged) {
    QX_BT_Mesh_Data wall;
    for (int i = 0; i < 6; ++i)
        Fixtures::AppendElement(wall, MakeBox(glm::vec3(1.1f * i, 0, 0.5f), glm::vec3(0.5f)));
    Fixtures::ConfigureWorld(world, 5, kGravity, true);
    TestObject obj(wall);
    QX_BT_MeshController& core = *obj.core;
    core.intSettings.set(ObjectKey::GroupCount, 3);
    world.SimulateFrame({&core}, 0, 1, 1, false);
    ASSERT_EQ(core.elementShapes.size(), 6u);
    ASSERT_EQ(core.bodies.size(), 3u);

    auto snapshot = [&] {
        return std::tuple(core.elementShapes[0].get(), core.bodyShapes[0].get(),
                          core.bodies[0].get());
    };
    auto [shape0, group0, body0] = snapshot();
    core.prepare(1, 1);
    EXPECT_EQ(snapshot(), std::tuple(shape0, group0, body0)); // idempotent

    core.intSettings.set(ObjectKey::RigidType, Kinematic);
    core.prepare(1, 1);
    auto [shape1, group1, body1] = snapshot();
    EXPECT_EQ(shape1, shape0);
    EXPECT_EQ(group1, group0);
    EXPECT_EQ(core.bodies[0]->state, Kinematic);
    core.intSettings.clearChanged();

    core.intSettings.set(ObjectKey::Seed, 7);
    core.prepare(1, 1);
    EXPECT_EQ(core.elementShapes[0].get(), shape0); // regrouped, shapes kept
    EXPECT_EQ(core.bodyShapes.size(), 3u);
    core.intSettings.clearChanged();

    core.intSettings.set(ObjectKey::MeshType, QX_BT_Mesh_ConcaveLow);
    core.prepare(1, 1);
    ASSERT_EQ(core.elementShapes.size(), 6u);
    // Boxes pass the convex pre-test, so they come back as hulls, but newly built ones.
    EXPECT_EQ(GetShapeExtension(core.elementShapes[0].get())->getShapeKind(), QX_BT_Shape_Convex);
    EXPECT_EQ(core.bodies.size(), 3u);
}

TEST_F(QX_BT_World_Scene, RewindRelaxAndPlaybackRange) {
    Build(glm::vec3(0, 0, 30), 0.5f, 5, false);
    Simulate(world, objects, 10);
    QX_BT_MeshController& core = *object->core;
    const QX_BT_Body_State at5 = body().track.find(5.0f)->second;
    core.rewindTo(5.0f, false);
    EXPECT_EQ(std::prev(body().track.end())->first, 5.0f);
    EXPECT_EQ(std::prev(core.meshHistory.end())->first, 5.0f);
    EXPECT_EQ(body().track.find(5.0f)->second, at5);
    core.rewindTo(7.0f, false); // after the last frame: nothing to cut
    EXPECT_EQ(body().track.size(), 6u);

    // Re-simulating from frame 5 reproduces the first run.
    QX_BT_Body_Track first = body().track;
    Simulate(world, objects, 0);
    for (int f = 5; f < 10; ++f)
        world.SimulateFrame(objects, float(f), float(f + 1), 1.0f, false);
    QX_BT_World fresh;
    Fixtures::ConfigureWorld(fresh, 5, kGravity, false);
    TestObject again(MakeBox(glm::vec3(0, 0, 30), glm::vec3(0.5f)));
    again.core->bodies.clear();
    Simulate(fresh, {again.core.get()}, 10);
    for (const auto& [frame, state] : again.core->bodies.at(0)->track)
        EXPECT_EQ(body().track.find(frame)->second.transform, state.transform) << frame;

    // Relax: record keeps the life span, reset restores the pristine state.
    body().lifeEnd = 50.0f;
    core.recordRelaxed(10.0f, 1.0f);
    EXPECT_FALSE(body().pristine);
    EXPECT_EQ(body().pendingLifeEnd, 50.0f);
    body().lifeEnd = 3.0f;
    core.resetRelaxed(10.0f);
    EXPECT_TRUE(body().pristine);
    EXPECT_EQ(body().lifeEnd, 50.0f);
    EXPECT_EQ(body().startState, QX_BT_Body_State{});

    // Playback clamps to "Explode Start" .. "Explode End".
    core.intSettings.set(ObjectKey::ExplodeStart, 100);
    core.intSettings.set(ObjectKey::ExplodeEnd, 4);
    core.evaluateOutput(0.0f); // before the start: frame 0
    const QX_BT_Mesh_Data atStart = core.outputMesh;
    EXPECT_NEAR(atStart.geometry.vertex(0).z, core.inputMesh.geometry.vertex(0).z, 1e-4f);
    core.evaluateOutput(150.0f); // clamped to frame 4
    const float drop4 = body().track.find(4.0f)->second.transform[3].z;
    EXPECT_NEAR(core.outputMesh.geometry.vertex(0).z, core.inputMesh.geometry.vertex(0).z + drop4,
                1e-4f);

    // Quiet output: one reference change keeps the previous mesh, the next evaluation rebuilds.
    const QX_BT_Mesh_Data shown = core.outputMesh;
    core.quietOutput = 1;
    core.changedMark = 1;
    core.evaluateOutput(100.0f);
    EXPECT_EQ(core.outputMesh, shown);
    core.evaluateOutput(100.0f);
    EXPECT_NE(core.outputMesh, shown);
}

TEST(QX_BT_World, SameSceneTwiceGivesIdenticalTracks) {
    auto run = [] {
        QX_BT_World world;
        Fixtures::ConfigureWorld(world, 5, kGravity, true);
        QX_BT_Mesh_Data stack;
        for (int i = 0; i < 8; ++i)
            Fixtures::AppendElement(
                stack, MakeBox(glm::vec3(0.3f * i, 0.1f * i, 1.0f + 2.05f * i), glm::vec3(1)));
        TestObject obj(stack);
        obj.core->intSettings.set(ObjectKey::Variation, 0);
        Simulate(world, {obj.core.get()}, 40);
        std::vector<QX_BT_Body_Track> tracks;
        for (const auto& b : obj.core->bodies)
            tracks.push_back(b->track);
        return tracks;
    };
    EXPECT_EQ(run(), run());
}

TEST(QX_BT_World, NoFramesWhenRangeIsEmptyOrStepIsBad) {
    QX_BT_World world;
    Fixtures::ConfigureWorld(world, 5, kGravity, true);
    TestObject obj(MakeBox(glm::vec3(0, 0, 5), glm::vec3(0.5f)));
    world.SimulateFrame({obj.core.get()}, 3.0f, 3.0f, 1.0f, false);
    ASSERT_EQ(obj.core->bodies.size(), 1u); // prepared all the same
    EXPECT_TRUE(obj.core->bodies[0]->track.empty());
    world.SimulateFrame({obj.core.get()}, 0.0f, 3.0f, 0.0f, false);
    world.SimulateFrame({obj.core.get()}, 0.0f, 3.0f, std::nanf(""), false);
    EXPECT_TRUE(obj.core->bodies[0]->track.empty());
    world.intSettings.set(WorldKey::SubSteps, -4); // acts as one sub-step
    world.SimulateFrame({obj.core.get()}, 0.0f, 1.0f, 1.0f, false);
    EXPECT_EQ(obj.core->bodies[0]->track.size(), 2u);
}

TEST(QX_BT_World, ForcesActForOneFrameBlastsStay) {
    QX_BT_World world;
    Fixtures::ConfigureWorld(world, 1, 0.0f, false);
    world.floatSettings.set(WorldKey::ForcesStrength, 1.0f);
    Fixtures::TestWorldApi forces;
    forces.field = glm::vec3(1, 0, 0);
    forces.blast = glm::vec3(0, 2, 0);
    forces.activeFrames = {0.0f};
    world.api = &forces;
    TestObject obj(MakeBox(glm::vec3(0, 0, 5), glm::vec3(0.5f)));
    obj.core->floatSettings.set(ObjectKey::DampingAngular, 0.0f);
    Simulate(world, {obj.core.get()}, 3);
    const QX_BT_Body& body = *obj.core->bodies[0];
    EXPECT_NEAR(body.track.find(1.0f)->second.linearVelocity.x, 0.0f, 1e-6f);
    EXPECT_NEAR(body.track.find(1.0f)->second.linearVelocity.y, 2.0f, 1e-6f);
    EXPECT_NEAR(body.track.find(1.0f)->second.transform[3].x, 1.0f / 40.0f, 1e-6f);
    EXPECT_EQ(forces.calls, 3);
}

TEST(QX_BT_World, SettingsRoundTripAndRejectDamagedBlocks) {
    QX_BT_World world;
    world.intSettings.set(42, -7);
    world.floatSettings.set(WorldKey::Gravity, 3.5f);
    world.vectorSettings.set(WorldKey::GroundNormal, {0, 0, 1, 9});
    const std::vector<uint8_t> block = world.Serialise();
    // Seven int entries (six world keys and 42): 4 + 7 * (4 + 4 + 1) bytes after the count.
    ASSERT_GE(block.size(), 4u);
    int32_t intBytes;
    std::memcpy(&intBytes, block.data(), 4);
    EXPECT_EQ(intBytes, 4 + 7 * 9);

    QX_BT_World loaded;
    std::string error;
    ASSERT_TRUE(loaded.Deserialise(block.data(), block.size(), &error)) << error;
    EXPECT_EQ(loaded.intSettings.find(42)->value, -7);
    EXPECT_EQ(loaded.floatSettings.get(WorldKey::Gravity), 3.5f);
    EXPECT_EQ(loaded.vectorSettings.get(WorldKey::GroundNormal)[3], 9.0f);
    EXPECT_FALSE(loaded.intSettings.anyChanged());
    EXPECT_EQ(loaded.Serialise().size(), block.size());

    // Every truncation and a hostile count fail cleanly and leave the tables alone.
    for (size_t cut = 0; cut < block.size(); cut += 7) {
        QX_BT_World target;
        target.intSettings.set(42, 1);
        EXPECT_FALSE(target.Deserialise(block.data(), cut, &error)) << cut;
        EXPECT_EQ(target.intSettings.find(42)->value, 1);
    }
    std::vector<uint8_t> hostile = block;
    const int32_t huge = 0x7fffffff;
    std::memcpy(hostile.data() + 4, &huge, 4);
    EXPECT_FALSE(loaded.Deserialise(hostile.data(), hostile.size(), &error));
    EXPECT_NE(error.find("integer"), std::string::npos);
}

} // namespace
} // namespace Quarix

namespace Quarix {
namespace {

TEST(QX_BT_World, BrickWallStandsOnItsOwn) {
    // A running-bond wall of slender bricks with the default material: friction 0.82 must not
    // turn into rolling torques that tip the bricks over.
    constexpr glm::vec3 kHalf{0.3f, 0.15f, 0.15f};
    QX_BT_Mesh_Data wall;
    for (int row = 0; row < 6; ++row)
        for (int c = 0; c < 6 - row % 2; ++c)
            Fixtures::AppendElement(wall,
                                    MakeBox(glm::vec3((c - 2.5f) * 0.604f + (row % 2) * 0.302f,
                                                      0.0f, 0.152f + row * 0.304f),
                                            kHalf));
    QX_BT_World world;
    Fixtures::ConfigureWorld(world, 5, kGravity, true);
    TestObject obj(wall);
    Simulate(world, {obj.core.get()}, 150);
    float drift = 0.0f;
    for (const auto& brick : obj.core->bodies)
        drift =
            std::max(drift, glm::length(glm::vec3(brick->track.find(150.0f)->second.transform[3])));
    EXPECT_LT(drift, 0.05f);
}

} // namespace
} // namespace Quarix
