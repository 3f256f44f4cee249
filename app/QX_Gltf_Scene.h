#pragma once
// Writes the host's scene as a binary glTF (.glb). A simulated object (a node whose modifier
// offers IQXBodyPlayback) becomes one node per body with its piece mesh and an animation of its
// recorded motion, hidden (scale 0) before birth and after death; every other mesh node (baked
// pieces included) becomes one node with its evaluated mesh and, when it moves or blinks, an
// animation of its transform and visibility. Materials come from the wire colours. The scene is
// Z-up in its system unit; glTF is Y-up in metres: positions are converted to metres and a root
// node turns Z-up into Y-up.

#include <set>
#include <string>

class Interface;
class INode;

namespace Quarix::App {

/// What to export.
struct SceneExportOptions {
    /// Frames sampled for animations, inclusive.
    int firstFrame = 0;
    int lastFrame = 100;
    /// Nodes left out (the world's icon, force sources: helpers, not scene geometry).
    std::set<INode*> skip;
};

/// What an export wrote.
struct SceneExportStats {
    /// glTF nodes with a mesh.
    int meshNodes = 0;
    /// Of those, nodes made from simulated bodies.
    int bodies = 0;
    /// Animated nodes.
    int animated = 0;
};

/// Writes the scene of `ip` to `path`. False with `error` when the file cannot be written (the
/// target is then left as it was).
bool ExportSceneGltf(Interface& ip, const SceneExportOptions& options, const std::string& path,
                     std::string& error, SceneExportStats* stats = nullptr);

} // namespace Quarix::App
