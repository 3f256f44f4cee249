#include "app/QX_Commands.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <sys/resource.h>

#include "app/QX_Gltf_Scene.h"
#include "app/QX_Mesh_Sources.h"
#include "app/QX_Progress.h"
#include "app/QX_Session.h"
#include "app/QX_World_Panel.h"
#include "host/IQXBodyPlayback.h"
#include "host/IQXWorldControl.h"
#include "host/Interface.h"
#include "host/SceneIO.h"

namespace Quarix::App {

namespace {

constexpr const char* kWorldClass = "QX_Bullet_World";

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

/// The host with the plug-in loaded; module refusals are shown, not fatal.
Interface& StartHost() {
    Interface& ip = *GetCOREInterface();
    std::vector<std::string> errors;
    LoadPlugins(ip, PluginFolder(), errors);
    for (const std::string& e : errors)
        std::cerr << "quarix: warning: " << e << "\n";
    return ip;
}

/// The world's parameter block, or null.
IParamBlock2* WorldParams(INode& world) {
    Object* obj = world.GetObjectRef();
    return obj && obj->NumParamBlocks() > 0 ? obj->GetParamBlock(0) : nullptr;
}

/// Appends to `motion` the bodies of every simulated object as they are shown at `frame`.
void SampleBodies(Interface& ip, int frame, SampledMotion& motion) {
    for (INode* node : ip.AllNodes()) {
        IQXBodyPlayback* playback = FindBodyPlayback(*node);
        if (!playback)
            continue;
        BodyPoses poses;
        for (int i = 0; i < playback->BodyCount(); ++i) {
            Matrix3 tm;
            const bool alive = playback->GetBodyTM(i, float(frame), tm);
            poses.emplace_back(tm, alive);
        }
        motion[node].push_back(std::move(poses));
    }
}

/// Lets the message loop deliver the driver's ticks until the run is over, `stop` ending the
/// runs that do not end by themselves. Returns the frames simulated. A relax run steps the start
/// frame over and over, one tick per requested frame, and records no frames: `relaxed` gets what
/// every tick left at the start frame.
int RunDriver(Interface& ip, IQXWorldControl& control, const std::function<void()>& stop,
              const RunOptions& options, int start, int end, SampledMotion& relaxed) {
    const int frames = std::max(1, end - start);
    const bool relax = options.mode == "relax";
    Progress progress(frames, options.terminal);
    MessageLoop& loop = ip.GetMessageLoop();
    // Every tick simulates at most one frame; the bound only stops a driver that never ends.
    const int maxTicks = 4 * frames + 100;
    int ticks = 0;
    int done = 0;
    while (control.IsRunning() && ticks < maxTicks) {
        ticks += loop.RunTicks(1);
        done = relax ? ticks : control.CurrentFrame() - start;
        if (relax)
            SampleBodies(ip, start, relaxed);
        progress.Update(std::min(done, frames),
                        CountBodiesAlive(ip, relax ? start : start + std::min(done, frames)));
        // Quiet idles once it reaches the time slider; relax steps the first frame until stopped.
        if ((options.mode == "quiet" && control.CurrentFrame() >= end) ||
            (relax && ticks >= frames))
            stop();
    }
    progress.Finish();
    if (control.IsRunning()) {
        control.StopSimulation();
        std::cerr << "quarix run: the driver did not stop after " << ticks << " ticks\n";
    }
    return std::min(done, frames);
}

/// Runs the world's simulation in the mode asked for: presses its mode button in the world's
/// rollout, as a user does, or issues the driver's start request when the plug-in opens no
/// rollout. Returns the frames simulated; `pressed` tells which way it started.
int Simulate(Interface& ip, INode& world, IQXWorldControl& control, const RunOptions& options,
             int start, int end, SampledMotion& relaxed, bool& pressed) {
    static const std::map<std::string, std::pair<int, int>> kModes = {
        {"range", {WorldButton::Range, IQXWorldControl::kRange}},
        {"quiet", {WorldButton::Quiet, IQXWorldControl::kQuiet}},
        {"relax", {WorldButton::Relax, IQXWorldControl::kRelax}}};
    const auto [button, request] = kModes.at(options.mode);
    WorldPanel panel(ip, world);
    pressed = panel.Open();
    std::string error;
    if (pressed && !panel.Press(button, error))
        throw InputError("the world's mode button: " + error);
    if (!pressed)
        control.StartSimulation(request);
    // Releasing the pressed button stops the driver.
    const auto stop = [&, button = button] {
        if (!pressed || !panel.Pressed(button) || !panel.Press(button, error))
            control.StopSimulation();
    };
    return RunDriver(ip, control, stop, options, start, end, relaxed);
}

/// Export settings for a world's range: the world node and its force sources are helpers, not
/// scene geometry, and stay out of the file.
SceneExportOptions ExportOptionsFor(INode* world, int start, int end) {
    SceneExportOptions options;
    options.firstFrame = start;
    options.lastFrame = end;
    if (IParamBlock2* params = world ? WorldParams(*world) : nullptr) {
        options.skip.insert(world);
        const ParamID forces = params->FindParamByName(_T("ForcesList"));
        for (int i = 0; forces >= 0 && i < params->Count(forces); ++i) {
            if (INode* node = params->GetINode(forces, 0, i))
                options.skip.insert(node);
        }
    }
    return options;
}

int Fail(const std::string& what) {
    std::cerr << what << "\n";
    return 1;
}

} // namespace

bool CheckWritable(const std::string& path, std::string& error) {
    const std::string probe = path + ".probe";
    std::FILE* f = std::fopen(probe.c_str(), "wb");
    if (!f) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::fclose(f);
    std::remove(probe.c_str());
    return true;
}

RunResult RunScene(const RunOptions& options) {
    if (options.mode != "range" && options.mode != "quiet" && options.mode != "relax")
        throw InputError("--mode must be range, quiet or relax");
    // Outputs first: a path that cannot be written fails before any simulating.
    for (const std::string* out : {&options.saveOut, &options.gltfOut}) {
        std::string error;
        if (!out->empty() && !CheckWritable(*out, error))
            throw InputError(error);
    }

    RunResult result;
    Interface& ip = StartHost();
    const auto loadStart = Clock::now();
    LoadSceneAny(ip, options.scene);
    result.loadMs = MsSince(loadStart);
    // An opened scene is drawn: every object is evaluated once, which hands every rigid modifier
    // its input mesh. A quiet run relies on it, since it keeps the views still while it runs.
    ip.RedrawViews(ip.GetTime());

    INode* world = FindNodeOfClass(ip, kWorldClass);
    IParamBlock2* params = world ? WorldParams(*world) : nullptr;
    if (!params)
        throw InputError(options.scene + ": the scene has no world object (class \"" + kWorldClass +
                         "\")");
    const int start = params->GetInt(params->FindParamByName(_T("StartFrame")));
    if (options.frames) {
        std::string error;
        if (!params->SetValueByName(_T("EndFrame"), 0, double(start + *options.frames), &error))
            throw InputError("--frames: " + error);
    }
    const int end = params->GetInt(params->FindParamByName(_T("EndFrame")));
    IQXWorldControl* control = GetWorldControlInterface(world->GetObjectRef());
    if (!control)
        throw InputError("the world object takes no start requests (the plug-in in " +
                         PluginFolder() + " is too old)");

    if (options.mode == "quiet")
        ip.SetTime(end * GetTicksPerFrame(), FALSE);
    const auto simStart = Clock::now();
    SampledMotion relaxed;
    result.frames =
        Simulate(ip, *world, *control, options, start, end, relaxed, result.pressedButton);
    result.simulateMs = MsSince(simStart);
    // The records as simulated: a bake may delete the objects it bakes.
    result.records = SummarizeRecords(ip);
    SceneExportOptions exportOptions = ExportOptionsFor(world, start, end);
    // (A bake replaces the sampled nodes by nodes placed at the relaxed start.)
    if (options.mode == "relax" && !options.bake)
        exportOptions.sampled = &relaxed;
    if (options.bake) {
        result.baked = BakeSimulatedObjects(ip);
        // An object kept beside its baked nodes would show twice.
        exportOptions.skip.insert(result.baked.keptSources.begin(), result.baked.keptSources.end());
    }

    if (!options.saveOut.empty()) {
        const auto t = Clock::now();
        std::string error;
        if (!SaveSceneFile(ip, options.saveOut, &error))
            throw InputError(error);
        result.saveMs = MsSince(t);
    }
    if (!options.gltfOut.empty()) {
        const auto t = Clock::now();
        std::string error;
        if (!ExportSceneGltf(ip, exportOptions, options.gltfOut, error, &result.exported))
            throw InputError(error);
        result.gltfMs = MsSince(t);
    }
    return result;
}

std::string HashText(std::uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

int CommandRun(const RunOptions& options) {
    RunResult r;
    try {
        r = RunScene(options);
    } catch (const InputError& e) {
        return Fail(std::string("quarix run: ") + e.what());
    }
    const std::string hash = HashText(r.records.hash);
    std::cout << "frames: " << r.frames << "\nbodies: " << r.records.bodiesAliveAtEnd
              << " alive at the end (" << r.records.bodies
              << " made)\nms per frame: " << r.msPerFrame() << "\n";
    if (options.bake)
        std::cout << "baked: " << r.baked.objects << " objects into " << r.baked.nodes
                  << " nodes\n";
    if (r.baked.skippedRecords > 0)
        std::cerr << "quarix run: warning: " << r.baked.skippedRecords
                  << " damaged body records were not baked\n";
    if (!options.saveOut.empty())
        std::cout << "saved: " << options.saveOut << "\n";
    if (!options.gltfOut.empty())
        std::cout << "written: " << options.gltfOut << " (" << r.exported.meshNodes << " nodes)\n";
    if (options.hash)
        std::cout << "hash: " << hash << "\n";
    if (options.json) {
        std::printf("{\"frames\": %d, \"bodies\": %d, \"bodies_alive\": %d, \"ms_per_frame\": "
                    "%.3f, \"load_ms\": %.3f, \"save_ms\": %.3f, \"gltf_ms\": %.3f, "
                    "\"peak_rss_mb\": %.1f, \"baked_nodes\": %d, \"hash\": \"%s\"}\n",
                    r.frames, r.records.bodies, r.records.bodiesAliveAtEnd, r.msPerFrame(),
                    r.loadMs, r.saveMs, r.gltfMs, PeakRssMb(), r.baked.nodes, hash.c_str());
    }
    return 0;
}

int CommandExport(const std::string& saved, const std::string& gltfOut) {
    std::string error;
    if (!CheckWritable(gltfOut, error))
        return Fail("quarix export: " + error);
    Interface& ip = StartHost();
    try {
        LoadSceneAny(ip, saved);
    } catch (const InputError& e) {
        return Fail(std::string("quarix export: ") + e.what());
    }
    int start = 0, end = 100;
    INode* world = FindNodeOfClass(ip, kWorldClass);
    if (IParamBlock2* params = world ? WorldParams(*world) : nullptr) {
        start = params->GetInt(params->FindParamByName(_T("StartFrame")));
        end = params->GetInt(params->FindParamByName(_T("EndFrame")));
    }
    SceneExportStats stats;
    if (!ExportSceneGltf(ip, ExportOptionsFor(world, start, end), gltfOut, error, &stats))
        return Fail("quarix export: " + error);
    std::cout << "written: " << gltfOut << " (" << stats.meshNodes << " nodes, " << stats.bodies
              << " bodies)\n";
    return 0;
}

int CommandInfo(const std::string& file) {
    Interface& ip = StartHost();
    try {
        LoadSceneAny(ip, file);
    } catch (const InputError& e) {
        return Fail(std::string("quarix info: ") + e.what());
    }
    DescribeScene(ip, std::cout);
    return 0;
}

} // namespace Quarix::App
