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

/// 1,000 bricks under two force fields and a blast for 100 frames, against the same scene with an
/// empty force list.
std::string Forces1000();
/// A 200-brick wall hit by a ball, 100 frames through the host's loop and the driver, against
/// SimulateFrame alone.
std::string DriverWall();

} // namespace Quarix::Bench
