#pragma once
// Cutting one part of the mesh into its Voronoi cells. Every cell needs only the part of the
// mesh its box can reach: a tree of boxes over the cells hands each cell a small closed piece
// of the mesh (the solid inside a box around the cell, capped on the box's sides) instead of
// the whole mesh. A cell of a closed mesh then cuts only the surface by its planes and closes it
// with its own face polygons, one cap per face; cutting and capping plane by plane remains for
// open meshes and for the rare cell whose polygons do not fit the surface.

#include "shatter/CutMesh.h"
#include "shatter/VoronoiCells.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace Quarix::Shatter {

/// Cuts meshes into the cells of one Voronoi diagram.
class CellCutter {
public:
    /// Called once per cell that meets the mesh, with the cell's index and its piece (valid
    /// only during the call).
    using PieceSink = std::function<void(int cell, const CutMesh& piece)>;

    /// `style` says whether caps are built (the mesh is closed) and how they look; cut faces
    /// get one smoothing bit out of `freeSmoothing` per plane. `snapDistance` as for
    /// PlaneClipper. `seedInside[i]` is true when seed i lies inside the closed solid; such a
    /// cell that no surface face comes near is the whole cell. The seeds, the diagram and
    /// `seedInside` must outlive the cutter.
    CellCutter(const std::vector<Vec3>& seeds, const VoronoiDiagram& diagram,
               const std::vector<unsigned char>& seedInside, const CapStyle& style,
               std::uint32_t freeSmoothing, double snapDistance);

    /// Cuts `mesh` (closed and outward wound when caps are on) whose faces lie in `bounds` and
    /// passes every cell's piece to `sink`, in an order fixed by the seeds alone.
    void Cut(const CutMesh& mesh, const Bounds& bounds, const PieceSink& sink);

private:
    void CutNode(const CutMesh& mesh, const Bounds& box, std::vector<int> cells, int depth,
                 const PieceSink& sink);
    const CutMesh* CutCell(const CutMesh& base, int cell);
    bool CutCellCappedByPolytope(const CutMesh& base, int cell, const CutMesh*& piece);
    const CutMesh* CutCellPlaneByPlane(const CutMesh& base);
    bool CopyFacesNear(const CutMesh& mesh, const Bounds& box, CutMesh& out);
    bool SurfaceNear(const CutMesh& mesh, const Bounds& box) const;
    const CutMesh* WholeCell(const CutMesh& base, int cell);

    const std::vector<Vec3>& seeds_;
    const VoronoiDiagram& diagram_;
    const std::vector<unsigned char>& seedInside_;
    CapStyle style_;
    std::uint32_t freeSmoothing_;
    double snapDistance_;
    PlaneClipper clipper_;
    std::vector<Plane> planes_;
    std::vector<Plane> facePlanes_;
    /// Per cell, its box clamped to the mesh being cut.
    std::vector<Bounds> boxes_;
    CutMesh buffers_[2];
    /// The faces near the cell being cut, and scratch for gathering them.
    CutMesh near_;
    std::vector<int> nearFaces_;
    std::vector<int> remap_;
};

} // namespace Quarix::Shatter
