#pragma once
// The quarix commands over the host and the plug-in: run, export and info. Each returns the
// process exit status (0 success, 1 refused input or failed output, 2 usage) and prints its
// errors on stderr.

#include <optional>
#include <string>

#include "app/QX_Gltf_Scene.h"
#include "app/QX_Session.h"

namespace Quarix::App {

/// Options of `quarix run`.
struct RunOptions {
    std::string scene;
    /// Frames to simulate from the world's start frame; the world's range when unset.
    std::optional<int> frames;
    /// "range", "quiet" or "relax".
    std::string mode = "range";
    std::string saveOut;
    std::string gltfOut;
    bool bake = false;
    bool hash = false;
    bool json = false;
    /// Draws the progress bar in place (a terminal) instead of plain lines.
    bool terminal = false;
};

/// What a run did and measured.
struct RunResult {
    int frames = 0;
    /// The run was started by pressing the world's mode button (not by a start request).
    bool pressedButton = false;
    double loadMs = 0.0, simulateMs = 0.0, saveMs = 0.0, gltfMs = 0.0;
    /// The recorded bodies, taken before any bake.
    RecordSummary records;
    BakeSummary baked;
    SceneExportStats exported;
    double msPerFrame() const { return frames > 0 ? simulateMs / frames : 0.0; }
};

/// Loads the plug-in folder and the scene into the host, simulates it through the world's
/// driver and the host's message loop (started by the world's mode button), bakes every simulated
/// object when asked, then saves and exports. Throws InputError for refused options, input or
/// output (output paths are checked before the scene is read).
RunResult RunScene(const RunOptions& options);

/// RunScene with a report on stdout (and the JSON summary line with options.json).
int CommandRun(const RunOptions& options);
/// Plays back a saved scene into a .glb without simulating.
int CommandExport(const std::string& saved, const std::string& gltfOut);
/// Describes a scene file (JSON or saved).
int CommandInfo(const std::string& file);

/// A record hash as 16 hexadecimal digits.
std::string HashText(std::uint64_t hash);

/// Whether `path` can be written: creates and removes a probe beside it. False with `error`.
bool CheckWritable(const std::string& path, std::string& error);

} // namespace Quarix::App
