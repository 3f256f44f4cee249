#pragma once

// The built-in default scene: a brick wall standing on the ground and a heavy ball thrown into it.

#include <memory>
#include <vector>

#include "core/QX_BT_World.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix::App {

/// A scene of simulated objects with their nodes and the world that runs them. Owns everything.
struct Scene {
    QX_BT_World world;
    std::vector<std::unique_ptr<Fixtures::TestObject>> objects;
    /// Human-readable names, one per object, used for glTF node names.
    std::vector<std::string> names;

    /// The object cores in list order, as SimulateFrame takes them.
    std::vector<QX_BT_MeshController*> cores() const;
};

/// Frames per second of the scene's timeline; the world's time scale matches it so that the
/// recorded motion plays back in real time.
constexpr float kSceneFrameRate = 30.0f;

/// The default demo: a wall of `columns` x `rows` bricks (running bond) as one object of
/// "Fragments", "Convex" bodies, and a ball whose node travels into the wall during frame 0,
/// which gives it its start velocity.
std::unique_ptr<Scene> MakeDemoScene(int columns = 20, int rows = 10);

} // namespace Quarix::App
