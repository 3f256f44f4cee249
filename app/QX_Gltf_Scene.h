#pragma once
// Writes the host's scene as a binary glTF (.glb). A simulated object (a node whose modifier
// offers IQXBodyPlayback) becomes one node per body with its piece mesh and an animation of its
// recorded motion, hidden (scale 0) before birth and after death; every other mesh node (baked
// pieces included) becomes one node with its evaluated mesh and, when it moves or blinks, an
// animation of its transform and visibility. Materials come from the wire colours. The scene is
// Z-up in its system unit; glTF is Y-up in metres: positions are converted to metres and a root
// node turns Z-up into Y-up.

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/Matrix3.h"

class Interface;
class INode;

namespace Quarix::App {

/// The bodies of one simulated object at one moment: per body, its world transform and whether
/// it is alive (what IQXBodyPlayback::GetBodyTM answers).
using BodyPoses = std::vector<std::pair<Matrix3, bool>>;
/// Motion sampled by the caller, per simulated node: its bodies at successive samples.
using SampledMotion = std::map<INode*, std::vector<BodyPoses>>;

/// What to export.
struct SceneExportOptions {
    /// Frames sampled for animations, inclusive.
    int firstFrame = 0;
    int lastFrame = 100;
    /// Nodes left out (the world's icon, force sources: helpers, not scene geometry).
    std::set<INode*> skip;
    /// When set, the nodes it holds move as sampled instead of as recorded: sample k shows at
    /// frame firstFrame + k, later frames hold the last sample. A relax run records no frames;
    /// its motion is what the viewports showed tick after tick. Not owned.
    const SampledMotion* sampled = nullptr;
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
