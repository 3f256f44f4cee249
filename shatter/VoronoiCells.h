#pragma once
// The Voronoi diagram of the seeds, reduced to what cutting needs: for each cell, the seeds
// whose bisector planes bound it, and a box that holds the cell's share of the mesh.

#include "shatter/ShatterMath.h"

#include <stdexcept>
#include <vector>

namespace Quarix::Shatter {

/// Thrown in place of voro++'s own fatal-error exit (see VoroErrors.cpp).
class VoronoiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A cell as voro++ computed it: a convex polyhedron whose faces are polygons, each on the
/// bisector plane towards one neighbour.
struct CellPolytope {
    /// Corners, object space.
    std::vector<Vec3> verts;
    /// Per face, the neighbouring seed (negative for a container wall).
    std::vector<int> faceNeighbour;
    /// Face f's corners are faceVerts[faceStart[f] .. faceStart[f + 1]).
    std::vector<int> faceStart;
    std::vector<int> faceVerts;
};

/// True when every face of `poly` has at least three corners, its corner range lies inside
/// `faceVerts` and every corner index inside `verts`: only then may its polygons be walked.
bool IsWellFormed(const CellPolytope& poly);

/// What cutting needs to know about the cells of a set of seeds.
struct VoronoiDiagram {
    /// For every seed, the indices of its Voronoi neighbours, nearest first. The relation is
    /// symmetric (if j bounds i's cell, i bounds j's), so a face that voro++ drops as too small
    /// on one side is still cut from both cells and the cells never overlap.
    std::vector<std::vector<int>> neighbours;
    /// For every seed, a box (object space) holding its cell within `bounds`, with a margin far
    /// above voro++'s tolerance: the part of the mesh the cell can reach lies inside it.
    std::vector<Bounds> cellBounds;
    /// For every seed, its cell; without faces when voro++ could not compute it.
    std::vector<CellPolytope> polytopes;
};

/// Computes the diagram of `seeds`, which must be finite and lie inside `bounds` (a finite box;
/// it may be flat). The diagram is computed in a container a little larger than `bounds`, whose
/// walls are never cut by.
VoronoiDiagram ComputeVoronoi(const std::vector<Vec3>& seeds, const Bounds& bounds);

/// The bisector plane of seeds i and j, facing j: its positive side is what cell i loses to j.
/// Computed from the lower index, so BisectorPlane(j, i) is the exact flip of BisectorPlane(i, j)
/// and the two cells share the cut bit for bit.
Plane BisectorPlane(const std::vector<Vec3>& seeds, int i, int j);

} // namespace Quarix::Shatter
