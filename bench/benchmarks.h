#pragma once

#include <string>

/// Every benchmark the bench tool can run. Each returns its one-line JSON result.
namespace Quarix::Bench {

/// Splits a welded mesh of 100,000 triangles (1,000 closed elements) with ExtractElements.
std::string ElementsBench100k();

/// Builds convex element shapes for a wall of 1,000 box elements and groups them one body each.
std::string ShapesBenchWall1000();
/// Decomposes a torus element of 1,000 triangles with the "Concave Low" preset.
std::string HacdTorus1000Low();
/// Decomposes a torus element of 1,000 triangles with the "Concave High" preset.
std::string HacdTorus1000High();
/// Decomposes a torus element of 2,000 triangles with the "Concave Low" preset.
std::string HacdTorus2000Low();

/// Bullet's 3,000-box scene through our frame loop and through a persistent Bullet world.
std::string SimBoxes3008();
/// Bullet's pyramid, walls and tower scene (1,076 boxes), ours against persistent Bullet.
std::string SimStack1076();
/// A 10 x 10 brick wall left alone for 1,000 frames, with and without multipoint contacts.
std::string WallStability();
/// Walls, a column, a pyramid, a rolling ball, a heavy ball on a brick and a wall hit by a ball,
/// in a centimetre and a metre scene with sleeping on and off: drifts, stopping, penetration,
/// resting energy and how well the two units agree.
std::string Stacking();

/// Fragments a closed 20,480-triangle sphere into 100 Voronoi pieces.
std::string ShatterMesh20k100();
/// Fragments a 12-triangle box into 1,000 Voronoi pieces.
std::string ShatterBox1000();
/// Fragmentation time against fragment count (10, 100, 1,000) and against mesh size.
std::string ShatterScaling();

/// A 400-brick wall in 20 clusters hit by a projectile, "To Elements" on, 100 frames, against the
/// same scene without demolition.
std::string DemolitionWall400();

/// 1,000 bodies x 200 recorded frames: the modifier's chunks saved and loaded (median of five),
/// against copying the same states out and back.
std::string BlobRoundtrip();
/// 1,000 bricks under two force fields and a blast for 100 frames, against the same scene with an
/// empty force list.
std::string Forces1000();
/// A 200-brick wall hit by a ball, 100 frames through the host's loop and the driver, against
/// SimulateFrame alone.
std::string DriverWall();
/// A 100-brick wall whose bricks break "To Fragments" (8 pieces) through the shatter library when
/// hit, 100 frames, against the same scene with demolition off.
std::string DemolitionVoronoi();
/// 1,000 bodies with 100 recorded frames baked into animated nodes.
std::string Bake1000();
/// `quarix run` of a 1,000-brick wall scene for 100 frames (host, plug-in, driver, save, glTF)
/// against the core-only loop of the same scene.
std::string AppWall();
/// An object of 1,000 box elements simulated for 100 frames, then evaluated by the host at every
/// frame, against one plain copy of the output mesh's vertex and face arrays.
std::string ModifierPlayback();

// --- studio (begin) ---
/// The 1,000-brick wall played back in the studio's page in headless Chromium: frames per second
/// and bytes per frame, against drawing without new frames and sending meshes every frame.
std::string StudioStream();
// --- studio (end) ---

} // namespace Quarix::Bench
