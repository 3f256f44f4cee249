#pragma once

// Writes a simulated scene as a binary glTF (.glb): one node per body with its mesh about the
// body's centre and an animation of its recorded motion.

#include <string>
#include <vector>

#include "core/QX_BT_MeshController.h"

namespace Quarix::App {

/// One object to export: its core (after simulating), a name for its nodes and a base colour.
struct GltfObject {
    QX_BT_MeshController* core = nullptr;
    std::string name;
    glm::vec3 colour{0.8f};
};

/// Options of the export.
struct GltfOptions {
    /// Simulation frames 0..frames are sampled.
    int frames = 100;
    /// Frames per second of the animation timeline.
    float frameRate = 30.0f;
    /// The world's scene-to-simulation scale (node transforms are asked at this scale).
    float scale = 1.0f;
};

/// Writes `path` as a .glb. Bodies are hidden (scale 0) outside their life span. The scene is
/// Z-up; a root node turns it into glTF's Y-up. Returns false and sets `error` when the file
/// cannot be written.
bool ExportGltf(const std::vector<GltfObject>& objects, const GltfOptions& options,
                const std::string& path, std::string& error);

} // namespace Quarix::App
