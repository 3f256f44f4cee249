#pragma once
// The fragmenter's own triangle mesh: what it cuts and what it returns. It mirrors the host mesh
// closely enough that the adapter copies fields one to one, but it knows nothing of the host.

#include "shatter/ShatterMath.h"

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace Quarix::Shatter {

/// Three indices into a vertex array, corners in winding order.
using Tri = std::array<int, 3>;

/// Face flag bits for the visibility of edges (corner 0-1), (1-2) and (2-0).
inline constexpr std::uint32_t kEdgeVisibleMask = 7u;
/// Material ids live in the upper 16 bits of the face flags.
inline constexpr int kMaterialShift = 16;
/// Channel number under which explicit (specified) normals travel with the map channels.
inline constexpr int kNormalChannel = -1;

/// One triangle of the geometry with its host attributes.
struct MeshFace {
    Tri v{0, 0, 0};
    /// Host face flags: bits 0..2 edge visibility, bits 16..31 material id, others kept as given.
    std::uint32_t flags = kEdgeVisibleMask;
    /// Smoothing group bits; 0 renders the face flat.
    std::uint32_t smoothing = 0;

    int MaterialId() const { return static_cast<int>(flags >> kMaterialShift); }
};

/// A map channel (texture coordinates, vertex colours) or the explicit normals: its own vertex
/// array and one map face per geometry face, in the same order as the geometry faces.
struct MapChannel {
    std::vector<Vec3> verts;
    std::vector<Tri> faces;
};

/// Triangle mesh in object space. Faces, and every channel's faces, describe the same triangles
/// in the same order. Channel numbers 0..99 are map channels, kNormalChannel holds normals.
struct ShatterMesh {
    std::vector<Vec3> verts;
    std::vector<MeshFace> faces;
    std::map<int, MapChannel> channels;

    /// Number of face corners (three per face); the host's test for "was anything cut".
    std::size_t CornerCount() const { return faces.size() * 3; }
};

/// Throws std::invalid_argument naming the first defect: a vertex index out of range, a
/// non-finite coordinate, or a channel whose face count or indices do not match the geometry.
/// Non-finite map values and normals are not defects here: the fragmenter repairs them.
void ValidateMesh(const ShatterMesh& mesh);

/// Bounding box of the vertices that faces use; empty when there are no faces.
Bounds FaceBounds(const ShatterMesh& mesh);

/// Signed enclosed volume (scene units cubed), positive for outward winding of a closed mesh.
double SignedVolume(const std::vector<Vec3>& verts, const std::vector<Tri>& tris);
/// SignedVolume of a mesh's faces.
double SignedVolume(const ShatterMesh& mesh);

/// True when every directed edge of the faces is matched by exactly one opposite edge: the mesh
/// is a closed, consistently wound 2-manifold surface (a watertight solid). Faces with a repeated
/// vertex index make the mesh count as open.
bool IsClosedManifold(const std::vector<Tri>& tris);

/// Groups faces into elements connected through shared edges (pairs of vertex indices). Returns
/// one element index per face; elements are numbered in order of their smallest face index.
std::vector<int> LabelEdgeConnectedElements(const std::vector<Tri>& tris, int* elementCount);

} // namespace Quarix::Shatter
