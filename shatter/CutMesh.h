#pragma once
// The working mesh of one Voronoi cell while it is cut plane by plane, and the cut itself.

#include "shatter/FlatTable.h"
#include "shatter/ShatterMesh.h"

#include <cstdint>
#include <vector>

namespace Quarix::Shatter {

/// A face of the working mesh: geometry corners plus the host attributes it will carry.
struct CutFace {
    Tri v{0, 0, 0};
    /// Host face flags (edge visibility bits 0..2, material id in the upper 16 bits).
    std::uint32_t flags = 0;
    std::uint32_t smoothing = 0;
    /// True for faces made by a cut (the inside of the solid); false for the original surface.
    bool inner = false;
    /// For inner faces, the CapStyle::planeId of the cut that made them; -1 for outer faces.
    int plane = -1;
};

/// A map channel of the working mesh; faces run parallel to CutMesh::faces.
struct CutChannel {
    /// Host channel number, or kNormalChannel for explicit normals (renormalised when cut).
    int number = 0;
    std::vector<Vec3> verts;
    std::vector<Tri> faces;
};

/// Triangle mesh being cut, in the source mesh's object space.
struct CutMesh {
    std::vector<Vec3> verts;
    std::vector<CutFace> faces;
    std::vector<CutChannel> channels;

    void Clear();
    /// Takes a copy of the source's faces and channels (all source vertices are kept).
    static CutMesh FromShatterMesh(const ShatterMesh& source);
};

/// How the faces that close a cut look.
struct CapStyle {
    /// Build cap faces; only meaningful when the mesh being cut is closed.
    bool enabled = true;
    /// Material id of the cap faces.
    int materialId = 0;
    /// Smoothing bits of the cap faces.
    std::uint32_t smoothing = 0;
    /// Planar map projection of the caps: a channel value is ((p - mapOrigin) . axis) / mapScale.
    Vec3 mapOrigin;
    double mapScale = 1.0;
    /// Caller's id of the cutting plane, stored in the cap faces (see MergeCoplanarCaps).
    int planeId = -1;
};

/// Two unit axes spanning the plane with Cross(e1, e2) = normal, so that counter-clockwise in
/// (e1, e2) coordinates means facing along the normal. Cap faces are mapped along them.
void PlaneAxes(const Vec3& normal, Vec3& e1, Vec3& e2);

/// Appends faces closing `loops` (vertex ids of `mesh` lying in `plane`; outer boundaries
/// counter-clockwise seen from the side the normal points to, holes clockwise, no vertex twice
/// in a loop) with the style's attributes: loop edges visible, inner diagonals hidden, every
/// map channel a planar projection and explicit normals the plane normal.
void AppendCapFaces(const std::vector<std::vector<int>>& loops, const Plane& plane,
                    const CapStyle& style, CutMesh& mesh);

/// Cutting plane by plane leaves every crease between two cut faces studded with the vertices
/// where earlier caps' diagonals were cut; they add nothing to the shape but multiply the
/// triangles. This removes every vertex that only cut faces of at most two planes use, and
/// re-triangulates each affected plane's faces from their outline. `planes[id]` is the plane
/// of the caps whose CapStyle::planeId was id. The mesh stays closed and keeps its volume.
void MergeCoplanarCaps(CutMesh& mesh, const std::vector<Plane>& planes, const CapStyle& style);

/// What one half-space clip did to the mesh.
enum class ClipResult {
    Unchanged, ///< no vertex lay on the removed side; the output was not written
    Cut,       ///< the output holds the kept part
    Empty,     ///< nothing is left on the kept side
};

/// Cuts a mesh by planes and closes each cut with cap faces. Keeps its hash tables and scratch
/// arrays between calls, so one clipper per thread of work avoids reallocating per plane.
class PlaneClipper {
public:
    /// Vertices closer to the plane than `snapDistance` (scene units) count as lying on it; this
    /// keeps the cut from making slivers thinner than the mesh can represent.
    explicit PlaneClipper(double snapDistance) : snap_(snapDistance) {}

    /// Keeps the part of `in` on the non-positive side of `plane` and writes it, compacted, to
    /// `out` (which must not alias `in`). Faces lying in the plane stay when they face the
    /// removed side. With caps enabled, the opening along the plane is closed by cap faces whose
    /// outward normal is the plane normal; the input must then be a closed, outward-wound mesh.
    ClipResult Clip(const CutMesh& in, const Plane& plane, const CapStyle& style, CutMesh& out);

private:
    struct PolyCorner {
        int vertex;
        bool edgeVisible; // visibility of the polygon edge that starts at this corner
    };
    struct MapEdgeKey {
        int vertex;
        int lo;
        int hi;
        bool operator==(const MapEdgeKey&) const = default;
    };
    struct MapEdgeHash {
        std::size_t operator()(const MapEdgeKey& k) const;
    };

    int KeepVertex(const CutMesh& in, int v, CutMesh& out);
    int CutVertex(const CutMesh& in, int a, int b, CutMesh& out);
    int KeepMapVertex(const CutMesh& in, int channel, int m, CutMesh& out);
    int CutMapVertex(const CutMesh& in, int channel, int newVertex, int ga, int ma, int gb, int mb,
                     CutMesh& out);
    void SplitFace(const CutMesh& in, int f, CutMesh& out);
    void EmitPolygon(const CutMesh& in, int f, int cornerCount, CutMesh& out);
    void BuildCaps(const Plane& plane, const CapStyle& style, CutMesh& out);

    double snap_;
    std::vector<double> dist_;
    std::vector<signed char> side_;
    std::vector<int> vertexMap_;
    std::vector<std::vector<int>> mapVertexMap_;
    std::vector<unsigned char> onPlane_;
    FlatTable<std::uint64_t, Hash64> cutVertices_;
    std::vector<FlatTable<MapEdgeKey, MapEdgeHash>> cutMapVertices_;
    std::vector<int> touchedFaces_;
    std::vector<int> loopPosition_;
    std::vector<std::uint64_t> planeEdges_;
    std::vector<std::pair<int, int>> capEdges_;

    // One polygon of a split face: geometry corners and, per corner, one map vertex per channel.
    PolyCorner poly_[4];
    std::vector<int> polyMap_;
};

} // namespace Quarix::Shatter
