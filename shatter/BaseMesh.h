#pragma once
// The source mesh made ready for cutting: positions welded, degenerate faces dropped, bad
// attribute values repaired, and the elements sorted into closed ones (cut with caps) and open
// ones (cut as surfaces).

#include "shatter/CutMesh.h"

#include <vector>

namespace Quarix::Shatter {

/// For every vertex, the smallest index of a vertex at exactly the same position (-0 and +0
/// count as equal). Meshes split at texture or normal seams (one vertex per side) are closed
/// solids all the same; their closedness and inside are judged on these indices.
std::vector<int> WeldPositions(const std::vector<Vec3>& verts);

/// One group of elements, with welded and compacted vertices.
struct MeshPart {
    CutMesh mesh;
    /// Triangles of `mesh` (the inside tester keeps a reference to them).
    std::vector<Tri> tris;
    Bounds bounds;
};

/// The source split for cutting.
struct PreparedMesh {
    /// Elements that are closed, consistently wound 2-manifolds once welded; wound outward for
    /// the work (see `flipped`). Empty when caps are off: then every element is in `open`.
    MeshPart closed;
    /// All other elements; cut without caps.
    MeshPart open;
    /// True when `closed` was wound inward as a whole and has been turned; its pieces are
    /// turned back on output.
    bool flipped = false;
    /// Bounding box of all faces kept.
    Bounds bounds;
    /// Map or normal values that were not finite and were replaced (see PrepareMesh).
    int repairedValues = 0;
};

/// Prepares `source` (which ValidateMesh accepted) for cutting. Faces whose corners weld into
/// fewer than three distinct vertices are dropped. Non-finite map values become 0, non-finite
/// explicit normals become their face's normal, so one bad value never refuses the cut. Each
/// edge-connected element (on welded vertices) is closed or open on its own; with
/// `capClosedMeshes` false all of them count as open.
PreparedMesh PrepareMesh(const ShatterMesh& source, bool capClosedMeshes);

} // namespace Quarix::Shatter
