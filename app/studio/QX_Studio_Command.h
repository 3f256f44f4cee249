#pragma once
// `quarix studio` and `quarix render`: the studio's engine on the main thread (which owns the
// host), its HTTP server beside it, and for render a headless browser driven by a node script.
// Both return the process exit status and print their errors on stderr.

#include <string>
#include <vector>

namespace Quarix::Studio {

/// Options of `quarix studio`.
struct StudioOptions {
    std::string scene;
    std::string host = "127.0.0.1";
    int port = 8080;
};

/// Serves the scene until SIGINT or SIGTERM. A host other than 127.0.0.1 gets a random token,
/// printed in the address.
int CommandStudio(const StudioOptions& options);

/// Options of `quarix render`.
struct RenderOptions {
    std::string scene;
    std::vector<int> frames;
    std::string out;
    int width = 640, height = 400;
};

/// Simulates the scene when it holds no results, then renders `frames` through the page in
/// headless Chromium into a contact sheet (PNG).
int CommandRender(const RenderOptions& options);

/// The page's folder: $QUARIX_STUDIO_WEB, else the source tree's app/studio/web.
std::string WebRoot();
/// The folder of the studio's node scripts: $QUARIX_STUDIO, else the source tree's app/studio.
std::string ScriptsFolder();

} // namespace Quarix::Studio
