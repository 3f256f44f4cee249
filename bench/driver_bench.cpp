// The simulation driver's cost: a 200-brick wall hit by a ball, 100 frames as a Range run through
// the host's message loop (driver, settings snapshots, modifiers, re-evaluation at every tick),
// against the same frames driven through SimulateFrame alone, in the same process.

#include "bench/bench.h"
#include "bench/benchmarks.h"

#include "host/Interface.h"
#include "modifier/QX_RIGID_MOD.h"
#include "tests/fixtures/driver/QX_Driver_Scene.h"
#include "world/QX_BULLET_OBJ_Params.h"
#include "world/QX_Simulation_Driver.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>

namespace Quarix::Bench {

namespace {

constexpr int kColumns = 20;
constexpr int kRows = 10;
constexpr int kFrames = 100;

struct Run {
    double ms = 0.0;
    std::vector<float> states;
};

Run ThroughLoop() {
    Fixtures::QX_Wall_Scene scene = Fixtures::BuildWallScene(kColumns, kRows, kFrames);
    Stopwatch watch;
    StartSimulation(scene.world, StartRequest::Range);
    RunSimulationLoop(10 * kFrames);
    Run run{watch.ms(), Fixtures::RecordedStates(scene)};
    return run;
}

Run SimulateFrameAlone() {
    Fixtures::QX_Wall_Scene scene = Fixtures::BuildWallScene(kColumns, kRows, kFrames);
    // Everything a frame needs is in place before the clock starts: meshes handed over, settings
    // copied; only the frame steps are timed.
    Interface* ip = GetCOREInterface();
    ip->RedrawViews(0);
    StartSimulation(scene.world, StartRequest::Range);
    StopSimulation();
    SnapshotWorldSettings(0);
    std::vector<std::shared_ptr<QX_BT_MeshController>> held;
    std::vector<QX_BT_MeshController*> cores;
    IParamBlock2* pb = scene.world->Params();
    for (int i = 0; i < pb->Count(WorldParam::NodesList); ++i) {
        QX_RIGID_MOD* mod =
            QX_RIGID_MOD::FindRigidModifier(pb->GetINode(WorldParam::NodesList, 0, i));
        mod->PushSettingsToCore(0);
        held.push_back(mod->ShareCore());
        cores.push_back(held.back().get());
    }
    scene.world->Core().HasChanges(cores);
    Stopwatch watch;
    for (int frame = 0; frame < kFrames; ++frame) {
        scene.world->Core().SimulateFrame(cores, float(frame), float(frame + 1), 1.0f, false);
        // A tick ends by clearing the world's marks; the frames depend on them.
        scene.world->Core().intSettings.clearChanged();
        scene.world->Core().floatSettings.clearChanged();
    }
    Run run{watch.ms(), Fixtures::RecordedStates(scene)};
    return run;
}

} // namespace

std::string DriverWall() {
    Fixtures::RegisterDriverClasses();
    // Two rounds in alternating order; the faster of each kind counts (shared, noisy machines).
    double loopMs = 1e300;
    double coreMs = 1e300;
    bool identical = true;
    for (int round = 0; round < 2; ++round) {
        Run a = round == 0 ? ThroughLoop() : SimulateFrameAlone();
        Run b = round == 0 ? SimulateFrameAlone() : ThroughLoop();
        const Run& loop = round == 0 ? a : b;
        const Run& core = round == 0 ? b : a;
        loopMs = std::min(loopMs, loop.ms);
        coreMs = std::min(coreMs, core.ms);
        identical = identical && loop.states.size() == core.states.size() &&
                    std::memcmp(loop.states.data(), core.states.data(),
                                loop.states.size() * sizeof(float)) == 0;
        std::cerr << "round " << round << ": loop " << loop.ms << " ms, SimulateFrame " << core.ms
                  << " ms\n";
    }
    GetCOREInterface()->ResetScene();
    const double msPerFrame = loopMs / kFrames;
    const double coreMsPerFrame = coreMs / kFrames;
    return JsonObject()
        .add("name", std::string("driver_wall"))
        .add("bricks", static_cast<long long>(kColumns * kRows))
        .add("frames", static_cast<long long>(kFrames))
        .add("ms_per_frame", msPerFrame)
        .add("core_ms_per_frame", coreMsPerFrame)
        .add("ratio", msPerFrame / coreMsPerFrame)
        .add("identical_tracks", static_cast<long long>(identical ? 1 : 0))
        .str();
}

} // namespace Quarix::Bench
