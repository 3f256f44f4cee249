#pragma once
// Voronoi fragmentation of a triangle mesh: the engine behind the shatter interface.

#include "shatter/ShatterMesh.h"

#include <cstdint>

namespace Quarix::Shatter {

/// Hard upper bound of fragments: a rigid-body demolition gains nothing from more, and it caps
/// the output at a few hundred thousand faces.
inline constexpr int kMaxFragments = 10000;
/// Work budget of one call in microseconds of single-core time: what a demolition may cost
/// before the user sees the application stall.
inline constexpr double kCutWorkBudget = 3.0e6;
/// Measured cost of one cell (its dozen cuts, caps and output), microseconds, on a loaded
/// machine so the estimate errs on the slow side.
inline constexpr double kCellCostMicros = 250.0;
/// Measured cost per face and per cube root of the cell count (a cell sees the faces within its
/// box, whose share of the surface shrinks with the cells' size), microseconds.
inline constexpr double kFaceCostMicros = 0.5;

/// Estimated time of cutting `faceCount` faces into `cells` cells, microseconds.
double EstimatedCutMicros(int cells, std::size_t faceCount);

/// What to make of a mesh.
struct FragmentSettings {
    /// Pieces wanted; 1 or less leaves the mesh alone. Clamped to MaxFragmentCount.
    int fragmentCount = 1;
    /// Material id of the faces made by the cuts.
    int innerMaterialId = 0;
    /// Point of impact in the mesh's object space.
    Vec3 impactPoint;
    /// 0..1: how strongly the cells gather around the impact point (see SeedSettings::bias).
    double bias = 0.0;
    /// Random seed of the seed points; equal inputs and seed give bit-identical output.
    std::uint32_t randomSeed = 0;
    /// Close the cuts of a closed mesh with cap faces. Open meshes are never capped.
    bool capClosedMeshes = true;
    /// Time budget (microseconds, see EstimatedCutMicros) that bounds the fragment count.
    double cutWorkBudget = kCutWorkBudget;
};

/// Figures about one fragmentation.
struct FragmentStats {
    /// Fragment count asked for.
    int requested = 0;
    /// Largest count the work bound allowed for this mesh (MaxFragmentCount).
    int limit = 0;
    /// True when `requested` exceeded `limit` and fewer cells were made than asked for.
    bool reduced = false;
    /// Voronoi cells (seeds) used after clamping and sampling.
    int cells = 0;
    /// Elements written: cells that met the mesh, split into their connected parts.
    int pieces = 0;
    /// True when some elements were closed solids and their pieces were capped.
    bool closed = false;
    /// True when some elements were open surfaces, cut without caps.
    bool open = false;
    /// Non-finite map values or normals replaced before cutting.
    int repairedValues = 0;
};

/// The largest fragment count honoured for a mesh of `faceCount` faces: the largest count whose
/// EstimatedCutMicros fits `workBudget`, at least 2 and at most kMaxFragments (10,000 for a box
/// or a 20,480-face mesh with the default budget). Larger requests are reduced to it and
/// FragmentStats::reduced says so.
int MaxFragmentCount(std::size_t faceCount, double workBudget = kCutWorkBudget);

/// Cuts `source` into the intersections of its volume (or surface, when open) with the Voronoi
/// cells of seeds spread through it, and writes every connected piece to `out` as its own
/// element: no vertex or map vertex is shared between pieces. Original faces keep their flags,
/// smoothing groups and map values (interpolated where cut; normals renormalised); cut faces get
/// the inner material, per plane a smoothing bit that no outer face uses and no adjacent cut
/// plane of the piece shares (0 when the input uses every bit), visible
/// boundary edges, a planar map projection in every map channel and their plane's normal as
/// explicit normal. Returns false, leaving `out` untouched, when nothing was cut (fragment count
/// 1 or less, no faces, fewer than two seeds, or all of the mesh in one cell). Throws
/// std::invalid_argument for a malformed mesh (indices out of range, non-finite values).
bool FragmentMesh(const ShatterMesh& source, const FragmentSettings& settings, ShatterMesh& out,
                  FragmentStats* stats = nullptr);

} // namespace Quarix::Shatter
