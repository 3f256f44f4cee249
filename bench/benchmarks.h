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

/// Fragments a closed 20,480-triangle sphere into 100 Voronoi pieces.
std::string ShatterMesh20k100();
/// Fragments a 12-triangle box into 1,000 Voronoi pieces.
std::string ShatterBox1000();
/// Fragmentation time against fragment count (10, 100, 1,000) and against mesh size.
std::string ShatterScaling();

} // namespace Quarix::Bench
