#include "app/QX_Run.h"

#include <chrono>

namespace Quarix::App {

RunSummary RunScene(Scene& scene, int frames, const ProgressCallback& progress) {
    RunSummary summary;
    const std::vector<QX_BT_MeshController*> cores = scene.cores();
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
        scene.world.SimulateFrame(cores, float(f), float(f + 1), 1.0f, false);
        // As the driver does after every tick: the world's settings are now in effect.
        scene.world.intSettings.clearChanged();
        scene.world.floatSettings.clearChanged();
        if (progress)
            progress(f + 1, frames);
    }
    summary.totalMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    summary.frames = frames;
    for (QX_BT_MeshController* core : cores) {
        summary.bodiesTotal += int(core->bodies.size());
        for (const auto& body : core->bodies) {
            if (IsAlive(*body, float(frames)))
                ++summary.bodiesAlive;
        }
    }
    return summary;
}

} // namespace Quarix::App
