#pragma once
// The quarix commands over the host and the plug-in: run, export and info. Each returns the
// process exit status (0 success, 1 refused input or failed output, 2 usage) and prints its
// errors on stderr.

#include <optional>
#include <string>

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

/// Simulates a scene through the world's driver and the host's message loop, then bakes, saves
/// and exports as asked.
int CommandRun(const RunOptions& options);
/// Plays back a saved scene into a .glb without simulating.
int CommandExport(const std::string& saved, const std::string& gltfOut);
/// Describes a scene file (JSON or saved).
int CommandInfo(const std::string& file);

/// Whether `path` can be written: creates and removes a probe beside it. False with `error`.
bool CheckWritable(const std::string& path, std::string& error);

} // namespace Quarix::App
