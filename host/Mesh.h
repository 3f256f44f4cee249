#pragma once
// The host's triangle mesh: vertices, faces with flags, smoothing groups, material ids, up to 100
// map channels and optional specified normals.

#include "host/Box3.h"
#include "host/ISave.h"

#include <optional>
#include <vector>

class GraphicsWindow;
class Material;
struct HitRegion;
struct SnapInfo;
struct IPoint2;

/// Face flag bits. Edge visibility uses the raw bit values 1, 2 and 4 (edges v0-v1, v1-v2, v2-v0).
inline constexpr DWORD EDGE_A = 1u << 0;
inline constexpr DWORD EDGE_B = 1u << 1;
inline constexpr DWORD EDGE_C = 1u << 2;
inline constexpr DWORD EDGE_ALL = EDGE_A | EDGE_B | EDGE_C;
/// The face is hidden in viewports.
inline constexpr DWORD FACE_HIDDEN = 1u << 5;
/// The material id lives in the upper 16 bits of the flags.
inline constexpr int FACE_MATID_SHIFT = 16;
inline constexpr DWORD FACE_MATID_MASK = 0xFFFFu;
/// Number of map channels a mesh can carry (channels 0..MAX_MESHMAPS-1).
inline constexpr int MAX_MESHMAPS = 100;

/// One triangle: three vertex indices, a smoothing-group bit set and a flag word holding edge
/// visibility, the hidden bit and the material id.
class Face {
public:
    DWORD v[3] = {0, 0, 0};
    DWORD smGroup = 0;
    DWORD flags = 0;

    /// Sets the three vertex indices; flags stay unchanged.
    void setVerts(DWORD a, DWORD b, DWORD c) {
        v[0] = a;
        v[1] = b;
        v[2] = c;
    }
    void setVerts(const int* vrt) { setVerts(vrt[0], vrt[1], vrt[2]); }
    DWORD getVert(int corner) const { return v[corner]; }
    /// Shows or hides edge 0, 1 or 2.
    void setEdgeVis(int edge, BOOL visible);
    void setEdgeVisFlags(BOOL va, BOOL vb, BOOL vc);
    /// The raw visibility bit of edge 0, 1 or 2 (1, 2, 4 when visible, 0 otherwise).
    DWORD getEdgeVis(int edge) const { return flags & (EDGE_A << edge); }
    void setSmGroup(DWORD group) { smGroup = group; }
    DWORD getSmGroup() const { return smGroup; }
    void setMatID(MtlID id) {
        flags = (flags & ~(FACE_MATID_MASK << FACE_MATID_SHIFT)) |
                (static_cast<DWORD>(id) << FACE_MATID_SHIFT);
    }
    MtlID getMatID() const { return static_cast<MtlID>(flags >> FACE_MATID_SHIFT); }
    void Hide() { flags |= FACE_HIDDEN; }
    void Show() { flags &= ~FACE_HIDDEN; }
    bool Hidden() const { return (flags & FACE_HIDDEN) != 0; }
    bool operator==(const Face&) const = default;
};

/// A map face: three indices into the channel's map vertices.
class TVFace {
public:
    DWORD t[3] = {0, 0, 0};

    TVFace() = default;
    TVFace(DWORD a, DWORD b, DWORD c) : t{a, b, c} {}
    void setTVerts(DWORD a, DWORD b, DWORD c) {
        t[0] = a;
        t[1] = b;
        t[2] = c;
    }
    DWORD getTVert(int corner) const { return t[corner]; }
    bool operator==(const TVFace&) const = default;
};

/// One map channel: its map vertices and one map face per mesh face.
class MeshMap {
public:
    std::vector<UVVert> tv;
    std::vector<TVFace> tf;

    /// True while the mesh supports this channel.
    bool IsUsed() const { return m_used; }
    int getNumVerts() const { return static_cast<int>(tv.size()); }
    int getNumFaces() const { return static_cast<int>(tf.size()); }
    bool operator==(const MeshMap&) const = default;

private:
    friend class Mesh;
    bool m_used = false;
};

/// The three normal ids of one face of a MeshNormalSpec.
class MeshNormalFace {
public:
    int GetNormalID(int corner) const { return m_normal[corner]; }
    void SetNormalID(int corner, int id) { m_normal[corner] = id; }
    /// True when this face uses specified normals.
    bool GetSpecified() const { return m_specified; }
    void SetSpecified(bool specified) { m_specified = specified; }
    bool operator==(const MeshNormalFace&) const = default;

private:
    int m_normal[3] = {0, 0, 0};
    bool m_specified = true;
};

/// User-specified vertex normals of a mesh: a normal list and, per face, the ids of its three
/// corner normals. Explicit normals are kept as given; non-explicit ones may be rebuilt.
class MeshNormalSpec {
public:
    int GetNumFaces() const { return static_cast<int>(m_faces.size()); }
    /// Resizes the face list; new faces point at normal 0.
    void SetNumFaces(int n);
    int GetNumNormals() const { return static_cast<int>(m_normals.size()); }
    /// Resizes the normal list; new normals are zero and not explicit.
    void SetNumNormals(int n);
    MeshNormalFace& Face(int i) { return m_faces[static_cast<size_t>(i)]; }
    const MeshNormalFace& Face(int i) const { return m_faces[static_cast<size_t>(i)]; }
    Point3& Normal(int i) { return m_normals[static_cast<size_t>(i)]; }
    const Point3& Normal(int i) const { return m_normals[static_cast<size_t>(i)]; }
    /// Returns the normal id at a face corner.
    int GetNormalIndex(int face, int corner) const { return Face(face).GetNormalID(corner); }
    void SetNormalExplicit(int normal, bool value) {
        m_explicit[static_cast<size_t>(normal)] = value;
    }
    bool GetNormalExplicit(int normal) const { return m_explicit[static_cast<size_t>(normal)]; }
    /// Removes every face and normal.
    void Clear();
    bool operator==(const MeshNormalSpec&) const = default;

private:
    std::vector<MeshNormalFace> m_faces;
    std::vector<Point3> m_normals;
    std::vector<bool> m_explicit;
};

/// Triangle mesh in object space. `verts` and `faces` are public as the plug-ins index them
/// directly; their sizes are the vertex and face counts. A new mesh supports no map channel and
/// has no specified normals. Copies are deep.
class Mesh {
public:
    std::vector<Point3> verts;
    std::vector<Face> faces;

    int getNumVerts() const { return static_cast<int>(verts.size()); }
    int getNumFaces() const { return static_cast<int>(faces.size()); }
    /// Resizes the vertex list; with keep false every vertex becomes the origin.
    BOOL setNumVerts(int n, BOOL keep = FALSE);
    /// Resizes the face list (and the map faces of every supported channel); with keep false every
    /// face is reset. New faces are all zero (indices 0, no flags).
    BOOL setNumFaces(int n, BOOL keep = FALSE);
    void setVert(int i, const Point3& p) { verts[static_cast<size_t>(i)] = p; }
    void setVert(int i, float x, float y, float z) { setVert(i, Point3(x, y, z)); }
    const Point3& getVert(int i) const { return verts[static_cast<size_t>(i)]; }
    Point3& getVert(int i) { return verts[static_cast<size_t>(i)]; }
    void setFaceMtlIndex(int face, MtlID id) { faces[static_cast<size_t>(face)].setMatID(id); }
    MtlID getFaceMtlIndex(int face) const { return faces[static_cast<size_t>(face)].getMatID(); }

    /// Number of map channel slots in use (highest supported channel + 1).
    int getNumMaps() const;
    /// True when channel mp (0..99) is supported; false for any other number.
    BOOL mapSupport(int mp) const;
    /// Turns support for channel mp (0..99) on or off. Turning it on gives the channel one map face
    /// per face (all zero) and no map vertices; turning it off frees them. Other numbers are
    /// ignored.
    void setMapSupport(int mp, BOOL support = TRUE);
    /// The channel record; mp must be 0..99.
    MeshMap& Map(int mp) { return m_maps[static_cast<size_t>(mp)]; }
    const MeshMap& Map(int mp) const { return m_maps[static_cast<size_t>(mp)]; }
    int getNumMapVerts(int mp) const;
    /// Resizes the map vertices of a supported channel (false for an unsupported one).
    BOOL setNumMapVerts(int mp, int n, BOOL keep = FALSE);
    int getNumMapFaces(int mp) const;
    /// Resizes the map faces of a supported channel (false for an unsupported one).
    BOOL setNumMapFaces(int mp, int n, BOOL keep = FALSE);
    /// Map vertices / faces of a supported channel, null otherwise.
    UVVert* mapVerts(int mp);
    TVFace* mapFaces(int mp);

    /// The specified normals, or null when the mesh has none.
    MeshNormalSpec* GetSpecifiedNormals() { return m_normals ? &*m_normals : nullptr; }
    const MeshNormalSpec* GetSpecifiedNormals() const { return m_normals ? &*m_normals : nullptr; }
    /// Creates an empty specified-normal record when there is none.
    void SpecifyNormals();
    void ClearSpecifiedNormals() { m_normals.reset(); }

    /// Bounding box of the vertices, transformed by *tm when given; empty for no vertices.
    Box3 getBoundingBox(const Matrix3* tm = nullptr) const;
    /// Recomputes the cached bounding box (the box is computed on demand; kept for plug-ins).
    void buildBoundingBox() {}
    /// Drops cached geometry / topology data after the arrays were edited directly.
    void InvalidateGeomCache() {}
    void InvalidateTopologyCache() {}
    /// Asks the mesh to keep an edge list for drawing; headless meshes need none.
    void EnableEdgeList(int) {}
    /// Removes all vertices, faces, channels and normals.
    void FreeAll();

    /// Draws the mesh in the window's current transform (the headless window counts it).
    void render(GraphicsWindow* gw, Material* ma, void* rp, int compFlags, int numMat = 1);
    /// Tests the visible faces, projected through the window's transform and view, against the
    /// window's hit region; sets the window's hit code. With abortOnHit the test stops at the
    /// first hit. Returns whether anything was hit.
    BOOL select(GraphicsWindow* gw, Material* ma, HitRegion* hr, int abortOnHit = FALSE,
                int numMat = 1);
    /// Offers the vertices, transformed by tm, to the snap: the vertex nearest to the screen
    /// point *p within snap->strength pixels becomes snap->hitPoint (world space) when it is
    /// closer than a point found before.
    void snap(GraphicsWindow* gw, SnapInfo* snap, IPoint2* p, const Matrix3& tm);
    /// Checks that every face, map face and normal face index is in range; `why` receives the
    /// first problem.
    bool IsValid(std::string* why = nullptr) const;

    /// Writes the mesh as chunks inside the current chunk.
    IOResult Save(ISave* isave) const;
    /// Reads chunks written by Save from the current chunk. On IO_ERROR (truncated data, counts
    /// that do not fit the chunk, indices out of range) the mesh is left unchanged.
    IOResult Load(ILoad* iload);

    bool operator==(const Mesh& other) const;

private:
    std::vector<MeshMap> m_maps = std::vector<MeshMap>(MAX_MESHMAPS);
    std::optional<MeshNormalSpec> m_normals;
};
