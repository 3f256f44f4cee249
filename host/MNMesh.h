#pragma once
// The host's polygon mesh: faces of any degree, converted to and from triangle meshes.

#include "host/Mesh.h"

#include <vector>

/// A polygon vertex.
class MNVert {
public:
    Point3 p;
};

/// A polygon: `deg` vertex indices in order, a smoothing group, a material id and the visibility
/// of each boundary edge (edge i runs from vtx[i] to vtx[i+1]).
class MNFace {
public:
    int deg = 0;
    std::vector<int> vtx;
    std::vector<bool> visedg;
    DWORD smGroup = 0;
    MtlID material = 0;
    bool hidden = false;

    /// Sets the vertex list; every edge becomes visible.
    void MakePoly(int degree, const int* vertices);
};

/// One map channel of a polygon mesh: map vertices and one map polygon per face, corner by corner.
class MNMap {
public:
    std::vector<UVVert> v;
    std::vector<std::vector<int>> f;
};

/// Polygon mesh. Built from triangles (AddTri), or face by face (NewVert, NewFace), and turned into
/// a triangle mesh by OutToTri (fan triangulation; diagonals become invisible edges).
class MNMesh {
public:
    int VNum() const { return static_cast<int>(m_verts.size()); }
    int FNum() const { return static_cast<int>(m_faces.size()); }
    MNVert* V(int i) { return &m_verts[static_cast<size_t>(i)]; }
    const MNVert* V(int i) const { return &m_verts[static_cast<size_t>(i)]; }
    MNFace* F(int i) { return &m_faces[static_cast<size_t>(i)]; }
    const MNFace* F(int i) const { return &m_faces[static_cast<size_t>(i)]; }
    Point3& P(int i) { return m_verts[static_cast<size_t>(i)].p; }
    const Point3& P(int i) const { return m_verts[static_cast<size_t>(i)].p; }

    /// Appends a vertex; returns its index.
    int NewVert(const Point3& p);
    /// Appends a polygon over existing vertices; returns its index, or -1 when the degree is below
    /// 3 or an index is out of range.
    int NewFace(int degree, const int* vertices, DWORD smGroup = 0, MtlID material = 0);
    /// Appends a triangle; same result as NewFace.
    int NewTri(int a, int b, int c, DWORD smGroup = 0, MtlID material = 0);

    /// Removes everything: vertices, faces and map channels.
    void Clear();
    /// Appends every vertex and triangle of a triangle mesh (with its edge visibility, smoothing
    /// groups, material ids and map channels 0..99); a mesh with out-of-range indices adds nothing.
    void AddTri(const Mesh& from);
    /// Same as Clear then AddTri.
    void SetFromTri(const Mesh& from);
    /// Rebuilds derived topology after editing; kept for plug-ins, the lists above are all there
    /// is.
    void FillInMesh() {}
    /// Writes a triangulated copy into `tmesh` (replacing its content), map channels included.
    void OutToTri(Mesh& tmesh) const;

    /// Number of map channels slots (highest supported channel + 1).
    int MNum() const { return static_cast<int>(m_maps.size()); }
    /// Map channel mp, or null when it is not supported.
    MNMap* M(int mp);
    const MNMap* M(int mp) const;
    /// Turns support for a channel (0..99) on (one empty map polygon per face) or off.
    void SetMapSupport(int mp, bool support);
    bool MapSupported(int mp) const { return M(mp) != nullptr; }

    Box3 BBox() const;

private:
    std::vector<MNVert> m_verts;
    std::vector<MNFace> m_faces;
    std::vector<std::optional<MNMap>> m_maps;
};
