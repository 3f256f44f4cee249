// Whole-simulation benchmarks: two of Bullet's own benchmark scenes run through our frame loop
// and through a plain persistent Bullet world side by side, and a brick wall left standing.

#include <btBulletDynamicsCommon.h>
#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "bench/bench.h"
#include "bench/benchmarks.h"
#include "core/QX_BT_World.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix::Bench {

namespace {

constexpr float kGravity = 9.81f;
constexpr int kSubSteps = 5;
constexpr int kDefaultTimedFrames = 200;
constexpr int kDefaultLongFrames = 500;

// QX_SIM_FRAMES shortens a run (timed frames; the long run becomes the same length) when trying
// out a change; the figures of record use the defaults.
int TimedFrames() {
    const char* text = std::getenv("QX_SIM_FRAMES");
    const int frames = text ? std::atoi(text) : 0;
    return frames > 0 ? frames : kDefaultTimedFrames;
}
int LongFrames() {
    return std::getenv("QX_SIM_FRAMES") ? TimedFrames() : kDefaultLongFrames;
}

struct Box {
    glm::vec3 centre;
    float yaw = 0.0f; // radians about z
};

QX_BT_Mesh_Data BoxesMesh(const std::vector<Box>& boxes, const glm::vec3& half) {
    QX_BT_Mesh_Data mesh;
    for (const Box& b : boxes) {
        QX_BT_Mesh_Data box = Fixtures::MakeBox(glm::vec3(0.0f), half);
        box.TransformVertices(glm::translate(glm::mat4(1.0f), b.centre) *
                              glm::rotate(glm::mat4(1.0f), b.yaw, glm::vec3(0, 0, 1)));
        Fixtures::AppendElement(mesh, box);
    }
    return mesh;
}

// 47 layers of 8 x 8 boxes (half-extent 1), pitch 3, each layer shifted by -0.35.
std::vector<Box> Boxes3008() {
    std::vector<Box> boxes;
    for (int layer = 0; layer < 47; ++layer) {
        const float offset = -0.35f * float(layer);
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 8; ++j)
                boxes.push_back({glm::vec3(3.0f * (i - 3.5f) + offset, 3.0f * (j - 3.5f) + offset,
                                           2.0f + 3.0f * layer)});
    }
    return boxes;
}

// A 12-row pyramid (650 boxes), three 12-high triangular walls of 78 boxes and a round tower of
// 8 courses of 24 boxes: 1,076 boxes of half-extent 1.
std::vector<Box> Stack1076() {
    constexpr float kPitch = 2.04f;
    std::vector<Box> boxes;
    for (int level = 0; level < 12; ++level) {
        const int side = 12 - level;
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j)
                boxes.push_back({glm::vec3(-30.0f + kPitch * (i - 0.5f * (side - 1)),
                                           kPitch * (j - 0.5f * (side - 1)), 1.0f + 2.0f * level)});
    }
    for (float x : {-2.0f, 4.0f, 10.0f}) {
        for (int row = 0; row < 12; ++row) {
            const int count = 12 - row;
            for (int i = 0; i < count; ++i)
                boxes.push_back(
                    {glm::vec3(x, kPitch * (i - 0.5f * (count - 1)), 1.0f + 2.0f * row)});
        }
    }
    const float radius = 1.3f * 24.0f / std::numbers::pi_v<float>;
    for (int course = 0; course < 8; ++course) {
        for (int i = 0; i < 24; ++i) {
            const float angle =
                2.0f * std::numbers::pi_v<float> * (float(i) + 0.5f * float(course % 2)) / 24.0f;
            boxes.push_back({glm::vec3(25.0f + radius * std::cos(angle), radius * std::sin(angle),
                                       1.0f + 2.0f * course),
                             angle});
        }
    }
    return boxes;
}

void ConfigureBenchWorld(QX_BT_World& world) {
    Fixtures::ConfigureWorld(world, kSubSteps, kGravity, true);
    // QX_SIM_MULTIPOINT=0 measures both sides with Bullet's single-point contacts.
    if (const char* text = std::getenv("QX_SIM_MULTIPOINT"))
        world.convexMultipointIterations = std::atoi(text);
}

void ConfigureObject(QX_BT_MeshController& core, float boxMass, float boxVolume) {
    core.intSettings.set(ObjectKey::GroupCount, kOneGroupPerElement);
    core.intSettings.set(ObjectKey::MeshType, QX_BT_Mesh_Convex);
    core.intSettings.set(ObjectKey::Variation, 0);
    core.floatSettings.set(ObjectKey::Density, boxMass / boxVolume);
}

// The same scene as a persistent Bullet world: the same compounds, masses, materials, ground,
// solver mode and iterations, collision configuration and steps.
struct RawBullet {
    RawBullet(const QX_BT_MeshController& core, const QX_BT_World& settings) {
        configuration = std::make_unique<btDefaultCollisionConfiguration>();
        if (settings.convexMultipointIterations > 0)
            configuration->setConvexConvexMultipointIterations(
                settings.convexMultipointIterations, settings.convexMultipointMinimumPoints);
        dispatcher = std::make_unique<btCollisionDispatcher>(configuration.get());
        broadphase = std::make_unique<btDbvtBroadphase>();
        solver = std::make_unique<btSequentialImpulseConstraintSolver>();
        world = std::make_unique<btDiscreteDynamicsWorld>(dispatcher.get(), broadphase.get(),
                                                          solver.get(), configuration.get());
        world->getSolverInfo().m_solverMode |= SOLVER_USE_2_FRICTION_DIRECTIONS;
        world->getSolverInfo().m_numIterations = kSolverIterations;
        world->setGravity(btVector3(0, 0, -kGravity));
        plane = std::make_unique<btStaticPlaneShape>(btVector3(0, 0, 1), 0.0f);
        ground = std::make_unique<btRigidBody>(
            btRigidBody::btRigidBodyConstructionInfo(0.0f, nullptr, plane.get()));
        world->addRigidBody(ground.get());

        // Masses and materials are copied from our bodies as applyFrame left them.
        for (const auto& ours : core.bodies) {
            QX_BT_CompoundShape* shape = ours->compoundShape();
            const float mass = ours->getInvMass() > 0.0f ? 1.0f / ours->getInvMass() : 0.0f;
            btVector3 inertia(0, 0, 0);
            shape->calculateLocalInertia(mass, inertia);
            btTransform start;
            start.setIdentity();
            start.setOrigin(btVector3(shape->centre.x, shape->centre.y, shape->centre.z));
            motions.push_back(std::make_unique<btDefaultMotionState>(start));
            btRigidBody::btRigidBodyConstructionInfo info(mass, motions.back().get(), shape,
                                                          inertia);
            info.m_friction = ours->getFriction();
            info.m_rollingFriction = ours->getRollingFriction();
            info.m_restitution = ours->getRestitution();
            info.m_linearDamping = ours->getLinearDamping();
            info.m_angularDamping = ours->getAngularDamping();
            info.m_linearSleepingThreshold = ours->getLinearSleepingThreshold();
            info.m_angularSleepingThreshold = ours->getAngularSleepingThreshold();
            bodies.push_back(std::make_unique<btRigidBody>(info));
            world->addRigidBody(bodies.back().get());
        }
    }
    ~RawBullet() {
        for (auto& b : bodies)
            world->removeRigidBody(b.get());
        world->removeRigidBody(ground.get());
    }
    void frame() {
        const float dt = float(1.0 / (kSubSteps * kFramesPerSimulatedSecond));
        for (int i = 0; i < kSubSteps; ++i)
            world->stepSimulation(dt, 0, dt);
    }

    std::unique_ptr<btDefaultCollisionConfiguration> configuration;
    std::unique_ptr<btCollisionDispatcher> dispatcher;
    std::unique_ptr<btDbvtBroadphase> broadphase;
    std::unique_ptr<btSequentialImpulseConstraintSolver> solver;
    std::unique_ptr<btDiscreteDynamicsWorld> world;
    std::unique_ptr<btStaticPlaneShape> plane;
    std::unique_ptr<btRigidBody> ground;
    std::vector<std::unique_ptr<btDefaultMotionState>> motions;
    std::vector<std::unique_ptr<btRigidBody>> bodies;
};

float MaxDisplacement(const QX_BT_MeshController& core, float frame) {
    float largest = 0.0f;
    for (const auto& body : core.bodies) {
        const QX_BT_Body_State s = SampleTrack(body->track, frame);
        largest = std::max(largest, glm::length(glm::vec3(s.transform[3])));
    }
    return largest;
}

double BytesPerBodyFrame(const QX_BT_MeshController& core, int frames) {
    size_t bytes = 0;
    for (const auto& body : core.bodies)
        bytes += body->track.capacityBytes();
    // The object's mesh history grows by one layout per frame as well.
    bytes += core.meshHistory.size() * (sizeof(QX_BT_Mesh_History::value_type) + 32);
    return double(bytes) / (double(core.bodies.size()) * double(frames + 1));
}

std::string CompareWithBullet(const char* name, const std::vector<Box>& boxes, float boxMass) {
    const int timedFrames = TimedFrames();
    const int longFrames = LongFrames();
    const glm::vec3 half(1.0f);
    QX_BT_World world;
    ConfigureBenchWorld(world);
    Fixtures::TestObject object(BoxesMesh(boxes, half));
    ConfigureObject(*object.core, boxMass, 8.0f);
    std::vector<QX_BT_MeshController*> cores = {object.core.get()};

    auto oursFrame = [&](int f) {
        world.SimulateFrame(cores, float(f), float(f + 1), 1.0f, false);
        world.intSettings.clearChanged();
        world.floatSettings.clearChanged();
    };

    // Frame 0 builds shapes and bodies; it is not part of either timing. The plain Bullet world
    // starts from the same bodies. The two then step frame by frame in turn, so that the load
    // of a shared machine falls on both alike.
    oursFrame(0);
    double oursMs = 0.0, bulletMs = 0.0;
    {
        RawBullet raw(*object.core, world);
        raw.frame();
        for (int f = 1; f <= timedFrames; ++f) {
            Stopwatch watch;
            oursFrame(f);
            oursMs += watch.ms();
            watch.restart();
            raw.frame();
            bulletMs += watch.ms();
        }
    }
    oursMs /= timedFrames;
    bulletMs /= timedFrames;

    for (int f = timedFrames + 1; f < longFrames; ++f)
        oursFrame(f);
    return JsonObject()
        .add("name", std::string(name))
        .add("ours_ms_per_frame", oursMs)
        .add("bullet_ms_per_frame", bulletMs)
        .add("ratio", oursMs / bulletMs)
        .add("bytes_per_body_frame", BytesPerBodyFrame(*object.core, longFrames))
        .add("max_displacement", double(MaxDisplacement(*object.core, float(longFrames))))
        .add("bodies", static_cast<long long>(object.core->bodies.size()))
        .str();
}

// A 10 x 10 running-bond brick wall left alone; returns the largest distance a brick moved.
float WallDrift(int multipointIterations, int frames) {
    constexpr glm::vec3 kHalf{0.3f, 0.15f, 0.15f};
    std::vector<Box> bricks;
    // Running bond: odd courses have one brick less, shifted by half a brick, so that every
    // brick rests on two below.
    for (int row = 0; row < 10; ++row)
        for (int c = 0; c < 10 - row % 2; ++c)
            bricks.push_back(
                {glm::vec3((c - 4.5f) * 0.604f + (row % 2) * 0.302f, 0.0f, 0.15f + row * 0.304f)});
    QX_BT_World world;
    ConfigureBenchWorld(world);
    world.convexMultipointIterations = multipointIterations;
    Fixtures::TestObject object(BoxesMesh(bricks, kHalf));
    ConfigureObject(*object.core, 1.0f, 8.0f * kHalf.x * kHalf.y * kHalf.z);
    Fixtures::Simulate(world, {object.core.get()}, frames);
    return MaxDisplacement(*object.core, float(frames));
}

} // namespace

std::string SimBoxes3008() {
    return CompareWithBullet("sim_boxes3008", Boxes3008(), 2.0f);
}

std::string SimStack1076() {
    return CompareWithBullet("sim_stack1076", Stack1076(), 1.0f);
}

std::string WallStability() {
    constexpr int kFrames = 1000;
    Stopwatch watch;
    const float single = WallDrift(0, kFrames);
    const float multipoint = WallDrift(3, kFrames);
    return JsonObject()
        .add("name", std::string("wall_stability"))
        .add("frames", static_cast<long long>(kFrames))
        .add("max_displacement_single_point", double(single))
        .add("max_displacement_multipoint", double(multipoint))
        .add("ms", watch.ms())
        .str();
}

} // namespace Quarix::Bench
