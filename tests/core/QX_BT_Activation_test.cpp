#include "core/QX_BT_MeshController.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/QX_BT_World.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix {
namespace {

using Fixtures::MakeBox;
using Fixtures::TestObject;

constexpr float kGravity = 9.81f;

QX_BT_Mesh_Data Bricks(std::initializer_list<glm::vec3> centres) {
    QX_BT_Mesh_Data mesh;
    for (const glm::vec3& c : centres)
        Fixtures::AppendElement(mesh, MakeBox(c, glm::vec3(0.5f)));
    return mesh;
}

// Objects of one world, simulated frame by frame as the driver does.
struct Scene {
    explicit Scene(bool ground = true) {
        Fixtures::ConfigureWorld(world, 5, kGravity, ground);
        world.api = &worldApi;
    }
    QX_BT_MeshController& add(const QX_BT_Mesh_Data& mesh, int32_t type,
                              int32_t groupCount = kOneGroupPerElement) {
        objects.push_back(std::make_unique<TestObject>(mesh));
        QX_BT_MeshController& core = *objects.back()->core;
        core.intSettings.set(ObjectKey::RigidType, type);
        core.intSettings.set(ObjectKey::GroupCount, groupCount);
        return core;
    }
    void run(int first, int last) {
        std::vector<QX_BT_MeshController*> cores;
        for (const auto& object : objects)
            cores.push_back(object->core.get());
        Fixtures::SimulateFrames(world, cores, first, last);
    }

    QX_BT_World world;
    Fixtures::TestWorldApi worldApi;
    std::vector<std::unique_ptr<TestObject>> objects;
};

// The frame at which the object's first body was replaced, or -1.
float ReplacedAt(const QX_BT_MeshController& core, size_t index = 0) {
    const QX_BT_Body& body = *core.bodies.at(index);
    return body.demolishedAs >= 0 ? body.lifeEnd : -1.0f;
}

std::vector<const QX_BT_Body*> Replacements(const QX_BT_MeshController& core,
                                            const QX_BT_Body* parent) {
    std::vector<const QX_BT_Body*> out;
    for (const auto& body : core.bodies) {
        if (body->parent == parent)
            out.push_back(body.get());
    }
    return out;
}

TEST(QX_BT_Activation_Box, CornerInsideTest) {
    const glm::vec3 lo(0.0f), hi(1.0f);
    EXPECT_TRUE(BoxesTouch(lo, hi, glm::vec3(0.5f), glm::vec3(2.0f)));
    EXPECT_TRUE(BoxesTouch(lo, hi, glm::vec3(1, 0, 0), glm::vec3(2, 1, 1))) << "sharing a face";
    EXPECT_TRUE(BoxesTouch(lo, hi, glm::vec3(0.25f), glm::vec3(0.75f))) << "one inside the other";
    EXPECT_TRUE(BoxesTouch(glm::vec3(0.25f), glm::vec3(0.75f), lo, hi));
    EXPECT_FALSE(BoxesTouch(lo, hi, glm::vec3(1.001f, 0, 0), glm::vec3(2, 1, 1)));
    // The two bars of a plus sign cross without a corner inside the other.
    EXPECT_FALSE(BoxesTouch(glm::vec3(-2, -0.5f, -0.5f), glm::vec3(2, 0.5f, 0.5f),
                            glm::vec3(-0.5f, -2, -0.5f), glm::vec3(0.5f, 2, 0.5f)));
}

TEST(QX_BT_Activation_Kinematic, ByFrame) {
    auto wakeFrame = [](int32_t ktdFrame, int32_t startFrame) {
        Scene scene;
        scene.world.intSettings.set(WorldKey::StartFrame, startFrame);
        QX_BT_MeshController& core = scene.add(Bricks({{0, 0, 3}}), Kinematic);
        core.intSettings.set(ObjectKey::EnableKTD, 1);
        core.intSettings.set(ObjectKey::KtDFrame, ktdFrame);
        core.intSettings.set(ObjectKey::ExplodeStart, startFrame);
        scene.run(startFrame, startFrame + 6);
        return ReplacedAt(core);
    };
    EXPECT_EQ(wakeFrame(0, 0), -1.0f) << "frame 0 switches the test off";
    EXPECT_EQ(wakeFrame(3, 0), 3.0f);
    EXPECT_EQ(wakeFrame(10, 10), 0.0f) << "the start frame wakes at simulation frame 0";
    EXPECT_EQ(wakeFrame(12, 10), 2.0f);

    // The replacement is a Dynamic body of the same depth, born where the node left the body,
    // and the frame runs again with it: it falls from frame 3 on, 0.25 in the 9 frames to 12.
    Scene scene;
    QX_BT_MeshController& core = scene.add(Bricks({{0, 0, 3}}), Kinematic);
    core.intSettings.set(ObjectKey::EnableKTD, 1);
    core.intSettings.set(ObjectKey::KtDFrame, 3);
    scene.run(0, 12);
    const QX_BT_Body& kinematic = *core.bodies.at(0);
    EXPECT_EQ(kinematic.afterMode, 2);
    EXPECT_EQ(kinematic.demolishedAs, 0);
    const auto woken = Replacements(core, &kinematic);
    ASSERT_EQ(woken.size(), 1u);
    EXPECT_EQ(woken[0]->state, Dynamic);
    EXPECT_EQ(woken[0]->depth, 0);
    EXPECT_EQ(woken[0]->lifeStart, 3.0f);
    EXPECT_EQ(woken[0]->track.begin()->second.transform, glm::mat4(1.0f));
    EXPECT_LT(SampleTrack(woken[0]->track, 12.0f).transform[3].z, -0.2f);
}

// A Kinematic brick in the air with a Dynamic box dropped onto it.
struct Impact : Scene {
    Impact() : Scene(false) {
        kinematic = &add(Bricks({{0, 0, 2}}), Kinematic);
        add(Bricks({{0, 0, 3.2f}}), Dynamic);
        kinematic->intSettings.set(ObjectKey::EnableKTD, 1);
    }
    QX_BT_MeshController* kinematic;
};

TEST(QX_BT_Activation_Kinematic, ByCollisionAndByForce) {
    {
        Impact scene;
        scene.run(0, 12);
        EXPECT_EQ(ReplacedAt(*scene.kinematic), -1.0f) << "no test enabled";
    }
    float contact = -1.0f;
    {
        Impact scene;
        scene.kinematic->intSettings.set(ObjectKey::KTDByCollide, 1);
        scene.run(0, 12);
        contact = ReplacedAt(*scene.kinematic);
        EXPECT_GT(contact, 0.0f) << "the box needs a few frames to fall 0.2";
    }
    {
        Impact scene;
        scene.kinematic->floatSettings.set(ObjectKey::KtDForce, 1e6f);
        scene.run(0, 12);
        EXPECT_EQ(ReplacedAt(*scene.kinematic), -1.0f) << "the impact is far below the limit";
    }
    {
        Impact scene;
        scene.kinematic->floatSettings.set(ObjectKey::KtDForce, 1e-3f);
        scene.run(0, 12);
        EXPECT_EQ(ReplacedAt(*scene.kinematic), contact);
    }
}

TEST(QX_BT_Activation_Kinematic, ByDistance) {
    Scene scene;
    QX_BT_MeshController& core = scene.add(Bricks({{0, 0, 3}}), Kinematic);
    core.intSettings.set(ObjectKey::EnableKTD, 1);
    core.floatSettings.set(ObjectKey::KtDDistance, 3.5f);
    scene.objects.back()->node->setKey(10.0f, Translation(glm::vec3(10, 0, 0)));
    scene.run(0, 8);
    EXPECT_EQ(ReplacedAt(core), 4.0f) << "travel 4 is the first beyond 3.5";
}

TEST(QX_BT_Activation_Kinematic, BySupportBoxEvenWhenEveryOtherTestIsFalse) {
    // The frame the two-brick body was replaced at, and per replacement its state and child count.
    struct Outcome {
        float frame;
        std::vector<std::pair<int32_t, int>> woken;
    };
    auto run = [](bool enabled, const QX_BT_Box& support) {
        Scene scene;
        scene.worldApi.supportBoxes = {support};
        QX_BT_MeshController& core = scene.add(Bricks({{0, 0, 3}, {1, 0, 3}}), Kinematic, 1);
        core.intSettings.set(ObjectKey::EnableKTD, 1);
        core.intSettings.set(ObjectKey::EnableKTDBG, enabled ? 1 : 0);
        scene.run(0, 3);
        Outcome outcome{ReplacedAt(core), {}};
        for (const QX_BT_Body* body : Replacements(core, core.bodies.at(0).get()))
            outcome.woken.emplace_back(body->state, body->compoundShape()->getNumChildShapes());
        return outcome;
    };
    const QX_BT_Box touching{{0.9f, -1, 2, 0}, {3, 1, 4, 0}};
    const QX_BT_Box apart{{5, 5, 5, 0}, {6, 6, 6, 0}};
    const Outcome woken = run(true, touching);
    EXPECT_EQ(woken.frame, 0.0f);
    const std::vector<std::pair<int32_t, int>> onePerChild = {{Dynamic, 1}, {Dynamic, 1}};
    EXPECT_EQ(woken.woken, onePerChild);
    EXPECT_EQ(run(true, apart).frame, -1.0f);
    EXPECT_EQ(run(false, touching).frame, -1.0f);
}

TEST(QX_BT_Activation_Dead, ByVelocity) {
    auto replaced = [](float limit) {
        Scene scene(false);
        QX_BT_MeshController& dead = scene.add(Bricks({{0, 0, 2}}), Dead);
        scene.add(Bricks({{0, 0, 3.2f}}), Dynamic);
        dead.intSettings.set(ObjectKey::EnableDTD, 1);
        dead.floatSettings.set(ObjectKey::ReviveByVelocity, limit);
        dead.floatSettings.set(ObjectKey::ReviveByOffset, 0.0f);
        scene.run(0, 12);
        return ReplacedAt(dead);
    };
    EXPECT_GT(replaced(1e-3f), 0.0f) << "the falling box pushes it";
    EXPECT_EQ(replaced(1e6f), -1.0f);
}

TEST(QX_BT_Activation_Dead, ByOffsetAndBySupportBox) {
    TestObject object(Bricks({{0, 0, 3}}));
    QX_BT_MeshController& core = *object.core;
    core.intSettings.set(ObjectKey::RigidType, Dead);
    core.intSettings.set(ObjectKey::EnableDTD, 1);
    core.floatSettings.set(ObjectKey::ReviveByVelocity, 0.0f);
    core.floatSettings.set(ObjectKey::ReviveByOffset, 1.5f);
    core.prepare(0.0f, 1.0f);
    QX_BT_Body& body = *core.bodies.at(0);
    ASSERT_EQ(body.state, Dead);
    body.track.insert_or_assign(0.0f, QX_BT_Body_State{});
    EXPECT_FALSE(core.testActivation(body, {}, 0.0f, false, 1.0f)) << "still at its place";
    QX_BT_Body_State pushed;
    pushed.transform = Translation(glm::vec3(0, 0, 2));
    body.track.insert_or_assign(0.0f, pushed);
    EXPECT_FALSE(core.testActivation(body, {}, 0.0f, false, 2.0f)) << "2 is within 1.5 x scale 2";

    core.intSettings.set(ObjectKey::EnableDTDBG, 1);
    const QX_BT_Box apart{{5, 5, 5, 0}, {6, 6, 6, 0}};
    const QX_BT_Box touching{{-1, -1, 3, 0}, {1, 1, 5, 0}};
    EXPECT_FALSE(core.testActivation(body, {apart}, 0.0f, false, 2.0f));
    EXPECT_TRUE(core.testActivation(body, {apart, touching}, 0.0f, false, 2.0f));
    EXPECT_EQ(body.lifeEnd, 0.0f);

    // Offset beyond the limit at scale 1.
    TestObject second(Bricks({{0, 0, 3}}));
    QX_BT_MeshController& other = *second.core;
    other.intSettings.set(ObjectKey::RigidType, Dead);
    other.intSettings.set(ObjectKey::EnableDTD, 1);
    other.floatSettings.set(ObjectKey::ReviveByVelocity, 0.0f);
    other.floatSettings.set(ObjectKey::ReviveByOffset, 1.5f);
    other.prepare(0.0f, 1.0f);
    other.bodies.at(0)->track.insert_or_assign(0.0f, pushed);
    EXPECT_TRUE(other.testActivation(*other.bodies.at(0), {}, 0.0f, false, 1.0f));
}

TEST(QX_BT_Activation_Dead, ContinuityKeepsWhatStandsOnTheGizmo) {
    Scene scene;
    // A stack of three on the gizmo (about the origin), a pair apart from it and a lone brick.
    QX_BT_MeshController& core = scene.add(
        Bricks({{0, 0, 0.5f}, {0, 0, 1.5f}, {0, 0, 2.5f}, {5, 0, 0.5f}, {5, 0, 1.5f}, {-5, 0, 3}}),
        Dead);
    core.intSettings.set(ObjectKey::EnableDTD, 1);
    core.intSettings.set(ObjectKey::Continuity, 1);
    core.floatSettings.set(ObjectKey::ReviveByVelocity, 0.0f);
    core.floatSettings.set(ObjectKey::ReviveByOffset, 0.0f);
    scene.run(0, 10);
    for (size_t i = 0; i < 3; ++i) {
        const QX_BT_Body& held = *core.bodies.at(i);
        EXPECT_EQ(held.demolishedAs, -1) << "stack brick " << i;
        EXPECT_TRUE(held.supported);
        const glm::mat4 at = SampleTrack(held.track, 10.0f).transform;
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 3; ++r)
                EXPECT_NEAR(at[c][r], c == r ? 1.0f : 0.0f, 1e-5f);
    }
    for (size_t i = 3; i < 6; ++i) {
        EXPECT_EQ(ReplacedAt(core, i), 0.0f) << "brick " << i << " has no chain to the gizmo";
        const auto woken = Replacements(core, core.bodies.at(i).get());
        ASSERT_EQ(woken.size(), 1u);
        EXPECT_EQ(woken[0]->state, Dynamic);
    }
    // The lone brick falls: 0.3 in the first ten frames.
    const auto lone = Replacements(core, core.bodies.at(5).get());
    EXPECT_LT(SampleTrack(lone[0]->track, 10.0f).transform[3].z, -0.25f);

    // A Dead object of one body has no Dead neighbour and is revived at once, gizmo or not.
    Scene single;
    QX_BT_MeshController& one = single.add(Bricks({{0, 0, 0.5f}}), Dead);
    one.intSettings.set(ObjectKey::EnableDTD, 1);
    one.intSettings.set(ObjectKey::Continuity, 1);
    single.run(0, 2);
    EXPECT_EQ(ReplacedAt(one), 0.0f);
}

// A Dead body whose transform went NaN touches nothing, and the others keep their chain to the
// gizmo. Its box used to enter the sort by lower x bound, where a NaN breaks the ordering: the
// sweep then missed touching pairs on either side of it.
TEST(QX_BT_Activation_Dead, ContinuityIgnoresBodiesWithNaNBoxes) {
    // A row of 21 bricks along x, listed from the far end, with two stray bricks among them.
    const std::vector<int> order{20, 19, 18, 17, 16, 15, 14, 13, 12, 11, -1, 10,
                                 9,  8,  7,  6,  5,  4,  3,  2,  1,  -1, 0};
    QX_BT_Mesh_Data row;
    for (int i : order)
        Fixtures::AppendElement(
            row, MakeBox(glm::vec3(i < 0 ? 50.0f : float(i), 0, 0.5f), glm::vec3(0.5f)));
    TestObject object(row);
    QX_BT_MeshController& core = *object.core;
    core.intSettings.set(ObjectKey::RigidType, Dead);
    core.intSettings.set(ObjectKey::EnableDTD, 1);
    core.intSettings.set(ObjectKey::Continuity, 1);
    core.prepare(0.0f, 1.0f);
    std::vector<QX_BT_Body*> bodies = core.collectActiveBodies(0.0f);
    ASSERT_EQ(bodies.size(), order.size());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (size_t k = 0; k < order.size(); ++k) {
        if (order[k] >= 0)
            continue;
        btTransform broken = bodies[k]->getWorldTransform();
        broken.setOrigin(btVector3(nan, 0, nan));
        bodies[k]->setWorldTransform(broken);
    }
    core.updateContinuity(bodies, 0.0f, 1.0f);
    for (size_t k = 0; k < order.size(); ++k)
        EXPECT_EQ(bodies[k]->supported, order[k] >= 0) << "brick " << order[k];
}

} // namespace
} // namespace Quarix
