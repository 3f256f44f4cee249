#pragma once

// Runs a scene frame by frame, as the simulation driver does, and reports progress.

#include <functional>

#include "app/QX_Demo_Scene.h"

namespace Quarix::App {

/// What a run measured.
struct RunSummary {
    int frames = 0;
    /// Bodies alive at the last simulated frame, over all objects.
    int bodiesAlive = 0;
    /// Bodies created over the run (demolition children included).
    int bodiesTotal = 0;
    double totalMs = 0.0;
    double msPerFrame() const { return frames > 0 ? totalMs / frames : 0.0; }
};

/// Called after every frame with (frames done, frames wanted).
using ProgressCallback = std::function<void(int, int)>;

/// Simulates frames 0 .. frames-1 of the scene, one SimulateFrame call per frame.
RunSummary RunScene(Scene& scene, int frames, const ProgressCallback& progress = {});

} // namespace Quarix::App
