#include "core/QX_BT_World.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "core/QX_BT_Body.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"
#include "tests/fixtures/QX_Test_Units.h"

namespace Quarix {
namespace {

using Fixtures::MakeBox;
using Fixtures::Simulate;
using Fixtures::TestObject;

// Scenes are in centimetres, as the host's default; the world simulates in metres.
const Fixtures::HostUnits kUnits = Fixtures::Centimetres();
const float kScale = NewWorldScaleFactor(kUnits.centimetresPerUnit);
// Gravity in simulation units (metres per second squared), pointing down.
const float kGravity = -Fixtures::DriverGravity(kUnits) * kScale;

void ConfigureWorld(QX_BT_World& world, int subSteps, bool ground) {
    Fixtures::ConfigureHostWorld(world, kUnits, subSteps, ground);
}

// A world with one box object: the box's centre at `centre`, half extent `half` (centimetres).
struct WorldFixture : ::testing::Test {
    void Build(const glm::vec3& centre, float half, int subSteps, bool ground) {
        ConfigureWorld(world, subSteps, ground);
        object = std::make_unique<TestObject>(MakeBox(centre, glm::vec3(half)));
        objects = {object->core.get()};
    }
    QX_BT_Body& body() { return *object->core->bodies.at(0); }
    /// The body's recorded offset from its start, in simulation units.
    glm::vec3 recordedOffset(float frame) {
        return glm::vec3(body().track.find(frame)->second.transform[3]);
    }
    /// The same in scene units (centimetres).
    glm::vec3 recordedOffsetCm(float frame) { return recordedOffset(frame) / kScale; }

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
            Build(glm::vec3(0, 0, 500), 5.0f, subSteps, false);
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
    EXPECT_NEAR(FreeFallDrop(20, 1, 1.0f), FreeFallDrop(20, 5, 1.0f),
                0.05f * std::fabs(FreeFallDrop(20, 5, 1.0f)));
}

TEST_F(QX_BT_World_Scene, BoxComesToRestOnTheGround) {
    // A 20 cm box dropped from 10 cm above the ground.
    Build(glm::vec3(0, 0, 20), 10.0f, 5, true);
    Simulate(world, objects, 120);
    const float restingCentre = 20.0f + recordedOffsetCm(120.0f).z;
    EXPECT_GT(restingCentre, 10.0f - 0.2f); // penetration below 1% of the box's size
    EXPECT_LT(restingCentre, 10.0f + 0.2f);
    const float earlier = 20.0f + recordedOffsetCm(100.0f).z;
    EXPECT_NEAR(restingCentre, earlier, 1e-2f);
}

TEST_F(QX_BT_World_Scene, StaticAndDeadBodiesStayPut) {
    for (int32_t type : {int32_t(Static), int32_t(Dead)}) {
        Build(glm::vec3(0, 0, 50), 5.0f, 5, true);
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
    ConfigureWorld(world, 4, false);
    RecordingNode node;
    QX_BT_MeshController core(&node);
    node.controller = &core;
    core.inputMesh = MakeBox(glm::vec3(0, 0, 20), glm::vec3(5.0f));
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
    EXPECT_NEAR(origin.x(), 3.0f * kScale, 1e-6f);
}

TEST_F(QX_BT_World_Scene, PlaybackIsNodeRelativeAndScalingRebuildsTheMesh) {
    Build(glm::vec3(0, 0, 20), 5.0f, 5, false);
    Simulate(world, objects, 10);
    QX_BT_MeshController& core = *object->core;
    core.evaluateOutput(10.0f);
    const float drop = recordedOffsetCm(10.0f).z;
    ASSERT_LT(drop, -20.0f);
    for (size_t v = 0; v < core.inputMesh.geometry.vertexCount(); ++v) {
        const glm::vec3 in = core.inputMesh.geometry.vertex(int32_t(v));
        const glm::vec3 out = core.outputMesh.geometry.vertex(int32_t(v));
        EXPECT_NEAR(out.z, in.z + drop, 1e-2f);
        EXPECT_NEAR(out.x, in.x, 1e-2f);
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
    const glm::vec3 simulated = 2.0f * kScale * core.inputMesh.geometry.vertex(0);
    for (int a = 0; a < 3; ++a)
        EXPECT_FLOAT_EQ(core.simulationMesh.geometry.vertex(0)[a], simulated[a]);
    core.evaluateOutput(0.0f);
    EXPECT_NEAR(core.outputMesh.geometry.vertex(0).z, core.inputMesh.geometry.vertex(0).z, 1e-3f);
}

TEST_F(QX_BT_World_Scene, RestartRules) {
    Build(glm::vec3(0, 0, 50), 5.0f, 5, true);
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
        Fixtures::AppendElement(wall, MakeBox(glm::vec3(11.0f * i, 0, 5.0f), glm::vec3(5.0f)));
    ConfigureWorld(world, 5, true);
    TestObject obj(wall);
    QX_BT_MeshController& core = *obj.core;
    core.intSettings.set(ObjectKey::GroupCount, 3);
    world.SimulateFrame({&core}, 0, 1, 1, false);
    // The next tick's restart test refreshes the scale mark, which the first build left at
    // "changed" (the node is scaled by the world's scale factor, the start was the identity).
    world.HasChanges({&core});
    ASSERT_EQ(core.elementShapes.size(), 6u);
    ASSERT_EQ(core.bodies.size(), 3u);

    auto snapshot = [&] {
        return std::tuple(core.elementShapes[0].get(), core.bodyShapes[0].get(),
                          core.bodies[0].get());
    };
    auto [shape0, group0, body0] = snapshot();
    core.prepare(1, kScale);
    EXPECT_EQ(snapshot(), std::tuple(shape0, group0, body0)); // idempotent

    core.intSettings.set(ObjectKey::RigidType, Kinematic);
    core.prepare(1, kScale);
    auto [shape1, group1, body1] = snapshot();
    EXPECT_EQ(shape1, shape0);
    EXPECT_EQ(group1, group0);
    EXPECT_EQ(core.bodies[0]->state, Kinematic);
    core.intSettings.clearChanged();

    core.intSettings.set(ObjectKey::Seed, 7);
    core.prepare(1, kScale);
    EXPECT_EQ(core.elementShapes[0].get(), shape0); // regrouped, shapes kept
    EXPECT_EQ(core.bodyShapes.size(), 3u);
    core.intSettings.clearChanged();

    core.intSettings.set(ObjectKey::MeshType, QX_BT_Mesh_ConcaveLow);
    core.prepare(1, kScale);
    ASSERT_EQ(core.elementShapes.size(), 6u);
    // Boxes pass the convex pre-test, so they come back as hulls, but newly built ones.
    EXPECT_EQ(GetShapeExtension(core.elementShapes[0].get())->getShapeKind(), QX_BT_Shape_Convex);
    EXPECT_EQ(core.bodies.size(), 3u);
}

TEST_F(QX_BT_World_Scene, RewindRelaxAndPlaybackRange) {
    Build(glm::vec3(0, 0, 300), 5.0f, 5, false);
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
    ConfigureWorld(fresh, 5, false);
    TestObject again(MakeBox(glm::vec3(0, 0, 300), glm::vec3(5.0f)));
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
    const float drop4 = recordedOffsetCm(4.0f).z;
    EXPECT_NEAR(core.outputMesh.geometry.vertex(0).z, core.inputMesh.geometry.vertex(0).z + drop4,
                1e-3f);

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
        ConfigureWorld(world, 5, true);
        QX_BT_Mesh_Data stack;
        for (int i = 0; i < 8; ++i)
            Fixtures::AppendElement(
                stack, MakeBox(glm::vec3(3.0f * i, 1.0f * i, 10.0f + 20.5f * i), glm::vec3(10)));
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
    ConfigureWorld(world, 5, true);
    TestObject obj(MakeBox(glm::vec3(0, 0, 50), glm::vec3(5.0f)));
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
    ConfigureWorld(world, 1, false);
    world.floatSettings.set(WorldKey::Gravity, 0.0f);
    Fixtures::TestWorldApi forces;
    forces.field = glm::vec3(1, 0, 0);
    forces.blast = glm::vec3(0, 2, 0);
    forces.activeFrames = {0.0f};
    world.api = &forces;
    TestObject obj(MakeBox(glm::vec3(0, 0, 50), glm::vec3(5.0f)));
    obj.core->floatSettings.set(ObjectKey::DampingAngular, 0.0f);
    Simulate(world, {obj.core.get()}, 3);
    const QX_BT_Body& body = *obj.core->bodies[0];
    // Forces are in scene units per second; the track in simulation units.
    EXPECT_NEAR(body.track.find(1.0f)->second.linearVelocity.x, 0.0f, 1e-8f);
    EXPECT_NEAR(body.track.find(1.0f)->second.linearVelocity.y, 2.0f * kScale, 1e-8f);
    EXPECT_NEAR(body.track.find(1.0f)->second.transform[3].x, kScale / 40.0f, 1e-8f);
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

// Running bond of 20 x 10 x 10 cm bricks, `courses` high, given in centimetres.
QX_BT_Mesh_Data BrickWall(const Fixtures::HostUnits& units, int courses, int wide) {
    QX_BT_Mesh_Data wall;
    const float cm = units.fromCm(1.0f);
    for (int row = 0; row < courses; ++row) {
        const int count = wide - row % 2;
        for (int c = 0; c < count; ++c) {
            const glm::vec3 centre((float(c) - 0.5f * float(count - 1)) * 20.2f, 0.0f,
                                   5.0f + 10.0f * float(row));
            Fixtures::AppendElement(wall, MakeBox(centre * cm, glm::vec3(10, 5, 5) * cm));
        }
    }
    return wall;
}

// Largest distance (cm) a body of the object moved from its start by `frame`.
float MaxDriftCm(const QX_BT_MeshController& core, const Fixtures::HostUnits& units, float scale,
                 float frame) {
    float drift = 0.0f;
    for (const auto& body : core.bodies)
        drift =
            std::max(drift, glm::length(glm::vec3(body->track.find(frame)->second.transform[3])));
    return units.toCm(drift / scale);
}

TEST(QX_BT_World, BrickWallStandsInCentimetreAndMetreScenes) {
    // The defaults of a new world and a new modifier, in the host's two common units, awake:
    // the wall must stand by itself and give the same result in either unit.
    float drifts[2] = {};
    int i = 0;
    for (const Fixtures::HostUnits& units : {Fixtures::Centimetres(), Fixtures::Metres()}) {
        BodyCounter() = 0; // the same variation factors in both scenes
        QX_BT_World world;
        Fixtures::ConfigureHostWorld(world, units);
        TestObject obj(BrickWall(units, 6, 6));
        obj.core->floatSettings.set(ObjectKey::SleepingLinear, 0.0f);
        obj.core->floatSettings.set(ObjectKey::SleepingAngular, 0.0f);
        Simulate(world, {obj.core.get()}, 150);
        drifts[i++] =
            MaxDriftCm(*obj.core, units, NewWorldScaleFactor(units.centimetresPerUnit), 150.0f);
    }
    EXPECT_LT(drifts[0], 1.0f) << "centimetres";
    EXPECT_LT(drifts[1], 1.0f) << "metres";
}

TEST(QX_BT_World, RolledBallStopsAfterAPlausibleDistance) {
    // A ball of radius 10 cm rolled at 200 cm/s across the ground.
    const Fixtures::HostUnits units = Fixtures::Centimetres();
    QX_BT_World world;
    Fixtures::ConfigureHostWorld(world, units);
    Fixtures::TestWorldApi thrower;
    thrower.blast = glm::vec3(200.0f, 0, 0);
    thrower.activeFrames = {0.0f};
    world.api = &thrower;
    TestObject ball(Fixtures::MakeSphere(glm::vec3(0, 0, 10), 10.0f, 32, 16));
    Simulate(world, {ball.core.get()}, 600);
    const QX_BT_Body& body = *ball.core->bodies.at(0);
    const QX_BT_Body_State end = body.track.find(600.0f)->second;
    EXPECT_LT(units.toCm(glm::length(end.linearVelocity) / kScale), 0.5f);
    const float distance = units.toCm(end.transform[3].x / kScale);
    EXPECT_GT(distance, 50.0f);
    EXPECT_LT(distance, 300.0f);
    EXPECT_NEAR(end.transform[3].z / kScale, 0.0f, 0.5f); // on the ground, not in it
}

TEST(QX_BT_World, NewWorldsSimulateInMetres) {
    EXPECT_FLOAT_EQ(NewWorldScaleFactor(1.0), 0.01f);    // centimetres
    EXPECT_FLOAT_EQ(NewWorldScaleFactor(100.0), 1.0f);   // metres
    EXPECT_FLOAT_EQ(NewWorldScaleFactor(2.54), 0.0254f); // inches
    for (double bad : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()})
        EXPECT_EQ(NewWorldScaleFactor(bad), 1.0f) << bad;
}

} // namespace
} // namespace Quarix
