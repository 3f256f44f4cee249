// app_wall: `quarix run` of a 1,000-brick wall scene through the whole path (host, plug-in,
// driver, message loop, save, glTF) against the core-only loop of the same scene, side by side.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "bench/bench.h"
#include "bench/benchmarks.h"
#include "core/QX_BT_World.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix::Bench {

namespace {

constexpr int kFrames = 100;
constexpr int kColumns = 63, kRows = 16;
constexpr glm::vec3 kBrickHalf{20.0f, 10.0f, 10.0f};
constexpr float kGap = 0.3f;

/// The scene of scenes/bench-wall1000.json built directly on the core, with the settings the
/// driver and the modifiers hand over (centimetres, 30 fps, simulated in metres as a new world in
/// a centimetre scene does).
double CoreMsPerFrame() {
    QX_BT_World world;
    // The driver's conversion: Gravity 1 x -(1000 / 30 x 44.1) cm/s^2.
    Fixtures::ConfigureWorld(world, 5, 1000.0f / 30.0f * 44.1f, true);
    world.floatSettings.set(WorldKey::ScaleFactor, NewWorldScaleFactor(1.0));
    QX_BT_Mesh_Data wall;
    const float pitchX = 2.0f * kBrickHalf.x + kGap, pitchZ = 2.0f * kBrickHalf.z + kGap;
    for (int row = 0; row < kRows; ++row) {
        const float shift = (row % 2 == 0) ? 0.0f : 0.5f * pitchX;
        for (int c = 0; c < kColumns - row % 2; ++c) {
            const float x = (float(c) - 0.5f * float(kColumns - 1)) * pitchX + shift;
            Fixtures::AppendElement(
                wall,
                Fixtures::MakeBox(glm::vec3(x, 0, kBrickHalf.z + float(row) * pitchZ), kBrickHalf));
        }
    }
    Fixtures::TestObject wallObject(wall);
    wallObject.core->intSettings.set(ObjectKey::GroupCount, kOneGroupPerElement);
    wallObject.core->floatSettings.set(ObjectKey::Density, 2.3f);
    wallObject.core->floatSettings.set(ObjectKey::Friction, 0.66f);
    wallObject.core->floatSettings.set(ObjectKey::Restitution, 0.09f);
    Fixtures::TestObject ball(Fixtures::MakeSphere(glm::vec3(0.0f), 40.0f, 24, 12));
    glm::mat4 start(1.0f), thrown(1.0f);
    start[3] = glm::vec4(0, -400, 80, 1);
    thrown[3] = glm::vec4(0, -360, 80, 1);
    ball.node->keys = {{0.0f, start}, {1.0f, thrown}};
    ball.core->floatSettings.set(ObjectKey::Density, 60.0f);
    ball.core->intSettings.set(ObjectKey::GroupCount, 1);

    Stopwatch watch;
    Fixtures::Simulate(world, {wallObject.core.get(), ball.core.get()}, kFrames);
    return watch.ms() / kFrames;
}

} // namespace

std::string AppWall() {
#ifndef QX_BENCH_QUARIX
    return JsonObject()
        .add("benchmark", std::string("app_wall"))
        .add("error", std::string("built without the quarix tool or the plug-in module"))
        .str();
#else
    const std::string out = "/tmp/qx_bench_app_wall";
    const std::string command =
        std::string("QUARIX_PLUGINS=") + QX_BENCH_PLUGINS + " " + QX_BENCH_QUARIX + " run " +
        QX_BENCH_SCENES + "/bench-wall1000.json --frames " + std::to_string(kFrames) + " --save " +
        out + ".qxs --gltf " + out + ".glb --json > " + out + ".txt 2>/dev/null";
    const int status = std::system(command.c_str());
    std::ifstream in(out + ".txt");
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty())
            last = line;
    JsonObject json;
    json.add("benchmark", std::string("app_wall"));
    nlohmann::json app;
    try {
        app = nlohmann::json::parse(last);
    } catch (const std::exception&) {
        json.add("error", "quarix run failed (status " + std::to_string(status) + "): " + last);
        return json.str();
    }
    const double core = CoreMsPerFrame();
    const double ms = app.value("ms_per_frame", 0.0);
    json.add("frames", (long long)kFrames)
        .add("bricks", (long long)(kRows / 2 * (2 * kColumns - 1)))
        .add("ms_per_frame", ms)
        .add("core_ms_per_frame", core)
        .add("ratio", core > 0 ? ms / core : 0.0)
        .add("load_ms", app.value("load_ms", 0.0))
        .add("save_ms", app.value("save_ms", 0.0))
        .add("gltf_ms", app.value("gltf_ms", 0.0))
        .add("peak_rss_mb", app.value("peak_rss_mb", 0.0))
        .add("bodies", (long long)app.value("bodies", 0))
        .add("hash", app.value("hash", std::string()));
    for (const char* ext : {".qxs", ".glb", ".txt"})
        std::remove((out + ext).c_str());
    return json.str();
#endif
}

} // namespace Quarix::Bench
