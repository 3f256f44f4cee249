#include "bench/bench.h"
#include "bench/benchmarks.h"

#include <memory>
#include <vector>

#include "core/QX_BT_MeshController.h"
#include "core/QX_BT_World.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix::Bench {

namespace {

constexpr int kFrames = 100;
constexpr int kWallSide = 20; // 20 x 20 unit bricks
constexpr int32_t kClusters = 20;
/// Strength at which the projectile breaks the clusters it hits; resting contact stays far below.
constexpr float kSolidity = 30.0f;

struct Result {
    double ms = 0.0;
    long long bodiesFinal = 0;
};

// The wall as one object of 400 brick elements in 20 clusters, a 2 x 2 x 2 box flying at it at
// 75 units per second, 100 frames through the world core as the driver runs them.
Result RunWall(bool demolition) {
    QX_BT_World world;
    Fixtures::ConfigureWorld(world, 5, 9.81f, true);
    Fixtures::TestObject wall(Fixtures::MakeBoxWall(kWallSide, kWallSide, 0.0f));
    Fixtures::TestObject projectile(Fixtures::MakeBox(glm::vec3(0, -6, 5), glm::vec3(1.0f)));
    glm::mat4 travel(1.0f);
    travel[3] = glm::vec4(0, 1.5f, 0, 1); // one frame of node travel: 1.5 x 50 = 75 units/s
    projectile.node->setKey(1.0f, travel);

    QX_BT_MeshController& core = *wall.core;
    core.intSettings.set(ObjectKey::GroupCount, kClusters);
    core.intSettings.set(ObjectKey::Percentage, 0);
    core.intSettings.set(ObjectKey::PrimaryToElements, demolition ? 1 : 0);
    core.floatSettings.set(ObjectKey::Solidity, kSolidity);
    const std::vector<QX_BT_MeshController*> objects = {wall.core.get(), projectile.core.get()};

    Stopwatch watch;
    Fixtures::Simulate(world, objects, kFrames);
    Result result;
    result.ms = watch.ms();
    for (const QX_BT_MeshController* object : objects) {
        for (const auto& body : object->bodies)
            result.bodiesFinal += IsAlive(*body, float(kFrames)) ? 1 : 0;
    }
    return result;
}

} // namespace

std::string DemolitionWall400() {
    const Result baseline = RunWall(false);
    const Result demolition = RunWall(true);
    return JsonObject()
        .add("name", std::string("demolition_wall400"))
        .add("ms_per_frame", demolition.ms / kFrames)
        .add("baseline_ms_per_frame", baseline.ms / kFrames)
        .add("bodies_final", demolition.bodiesFinal)
        .add("peak_rss_mb", PeakRssMb())
        .str();
}

} // namespace Quarix::Bench
