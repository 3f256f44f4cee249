#pragma once
// The Voronoi diagram of the seeds, reduced to what cutting needs: for each cell, the seeds
// whose bisector planes bound it.

#include "shatter/ShatterMath.h"

#include <vector>

namespace Quarix::Shatter {

/// For every seed, the indices of its Voronoi neighbours, nearest first. The relation is made
/// symmetric (if j bounds i's cell, i bounds j's), so a face that voro++ drops as too small on
/// one side is still cut from both cells and the cells never overlap. `bounds` must contain
/// every seed; the diagram is computed in a box around it, whose walls are never cut by.
std::vector<std::vector<int>> VoronoiNeighbours(const std::vector<Vec3>& seeds,
                                                const Bounds& bounds);

/// The bisector plane of seeds i and j, facing j: its positive side is what cell i loses to j.
/// Computed from the lower index, so BisectorPlane(j, i) is the exact flip of BisectorPlane(i, j)
/// and the two cells share the cut bit for bit.
Plane BisectorPlane(const std::vector<Vec3>& seeds, int i, int j);

} // namespace Quarix::Shatter
