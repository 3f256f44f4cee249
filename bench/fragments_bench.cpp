// Benchmarks of the rigid modifier's demolition through the shatter library and of baking.

#include "bench/bench.h"
#include "bench/benchmarks.h"

#include "core/QX_BT_Setting_Keys.h"
#include "core/QX_BT_World.h"
#include "host/Interface.h"
#include "modifier/QX_RIGID_MOD_Bake.h"
#include "modifier/QX_RIGID_MOD_Fragments.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"
#include "tests/fixtures/QX_Test_Units.h"

#include <glm/gtc/matrix_transform.hpp>

#include <memory>
#include <vector>

namespace Quarix::Bench {

namespace {

constexpr int kFrames = 100;
constexpr int kWallSide = 10; // 10 x 10 bricks, one body each
constexpr int32_t kPieces = 8;
constexpr float kBrickCm = 20.0f; // cube bricks of 20 cm
/// Strength at which the projectile breaks the few bricks it hits (three); the wall resting on
/// the ground in this world stays below it (every brick broke at 3,000, none at 30,000 unhit).
constexpr float kSolidity = 30000.0f;

struct WallRun {
    double ms = 0.0;
    double fractureMs = 0.0;
    long long bodiesFinal = 0;
};

/// `mesh` scaled by `factor` about the origin.
QX_BT_Mesh_Data Scaled(QX_BT_Mesh_Data mesh, float factor) {
    for (int32_t v = 0; v < int32_t(mesh.geometry.vertexCount()); ++v)
        mesh.geometry.setVertex(v, mesh.geometry.vertex(v) * factor);
    return mesh;
}

// A centimetre scene at 30 frames per second in a world set up as a new world object: the wall
// as one object of 100 bricks of 20 cm, every brick its own body, and a 40 cm box flying at it
// at 900 cm/s (30 cm in its first frame); bricks it breaks go "To Fragments" into 8 pieces each.
WallRun RunVoronoiWall(bool demolition) {
    QX_BT_World world;
    Fixtures::ConfigureHostWorld(world, Fixtures::Centimetres());
    Fixtures::TestObject wall(Scaled(Fixtures::MakeBoxWall(kWallSide, kWallSide, 0.0f), kBrickCm));
    Fixtures::TestObject projectile(
        Fixtures::MakeBox(glm::vec3(0, -6, 3) * kBrickCm, glm::vec3(kBrickCm)));
    projectile.node->setKey(1.0f, Translation(glm::vec3(0, 1.5f, 0) * kBrickCm));

    WallRun result;
    QX_BT_MeshController& core = *wall.core;
    core.intSettings.set(ObjectKey::GroupCount, kOneGroupPerElement);
    core.intSettings.set(ObjectKey::Percentage, 0);
    core.intSettings.set(ObjectKey::PrimaryToFragments, demolition ? 1 : 0);
    core.intSettings.set(ObjectKey::NumFragments, kPieces);
    core.intSettings.set(ObjectKey::FragmentsVariation, 0);
    core.floatSettings.set(ObjectKey::Solidity, kSolidity);
    QX_BT_Fragment_Operation cut = MakeFragmentOperation({});
    core.fragmentOperation = [&](QX_BT_Mesh_Data& piece, int32_t count, float bias,
                                 int32_t material, const glm::vec3& impact) {
        Stopwatch watch;
        const bool ok = cut(piece, count, bias, material, impact);
        result.fractureMs += watch.ms();
        return ok;
    };
    const std::vector<QX_BT_MeshController*> objects = {wall.core.get(), projectile.core.get()};

    Stopwatch watch;
    Fixtures::Simulate(world, objects, kFrames);
    result.ms = watch.ms();
    for (const QX_BT_MeshController* object : objects)
        for (const auto& body : object->bodies)
            result.bodiesFinal += IsAlive(*body, float(kFrames)) ? 1 : 0;
    return result;
}

} // namespace

std::string DemolitionVoronoi() {
    const WallRun baseline = RunVoronoiWall(false);
    const WallRun demolition = RunVoronoiWall(true);
    return JsonObject()
        .add("name", std::string("demolition_voronoi"))
        .add("ms_per_frame", demolition.ms / kFrames)
        .add("baseline_ms_per_frame", baseline.ms / kFrames)
        .add("bodies_final", demolition.bodiesFinal)
        .add("fracture_ms_total", demolition.fractureMs)
        .add("fracture_budget_ms", 25.0 * demolition.ms / kFrames)
        .add("peak_rss_mb", PeakRssMb())
        .str();
}

std::string Bake1000() {
    // 1,000 boxes with 100 recorded frames each (a slow drift and turn), baked into 1,000 nodes.
    constexpr int kSide = 10;
    QX_BT_Mesh_Data boxes;
    for (int i = 0; i < kSide * kSide * kSide; ++i)
        Fixtures::AppendElement(
            boxes, Fixtures::MakeBox(glm::vec3(i % kSide, (i / kSide) % kSide, i / 100) * 3.0f,
                                     glm::vec3(1.0f)));
    Fixtures::TestObject object(boxes);
    QX_BT_MeshController& core = *object.core;
    core.intSettings.set(ObjectKey::GroupCount, kOneGroupPerElement);
    core.prepare(0.0f, 1.0f);
    for (int f = 0; f < kFrames; ++f) {
        core.meshHistory[float(f)] = core.baseLayout;
        for (const auto& body : core.bodies) {
            QX_BT_Body_State state;
            state.transform = Translation(glm::vec3(0.0f, 0.0f, -0.1f * float(f))) *
                              glm::rotate(glm::mat4(1.0f), 0.01f * float(f), glm::vec3(0, 0, 1));
            body->track[float(f)] = state;
        }
    }
    INode* source = GetCOREInterface()->CreateObjectNode(CreateNewTriObject());
    QX_Bake_Settings settings;
    settings.start = 0;
    settings.end = kFrames;
    Tab<INode*> nodes;
    Stopwatch watch;
    BakeBodies(core, source, settings, nodes);
    const double ms = watch.ms();
    long long keys = 0;
    for (int i = 0; i < nodes.Count(); ++i)
        keys += nodes[i]->GetTMController()->NumKeys();
    return JsonObject()
        .add("name", std::string("bake_1000"))
        .add("ms", ms)
        .add("keys", keys)
        .add("nodes", static_cast<long long>(nodes.Count()))
        .add("bodies", static_cast<long long>(core.bodies.size()))
        .add("frames", static_cast<long long>(kFrames))
        .str();
}

} // namespace Quarix::Bench
