#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include <glm/glm.hpp>

namespace Quarix {

/// Face indices of one mesh (for example the faces of one connected element), in a meaningful
/// order.
using QX_BT_Face_List = std::vector<int32_t>;

/// The elements of a mesh: one face list per connected element.
using QX_BT_Element_List = std::vector<QX_BT_Face_List>;

/// Ordered set of vertex (or normal) indices; ascending order makes every walk deterministic.
using QX_BT_Index_Set = std::set<int32_t>;

/// Per-face attributes copied from the host's face: the masked edge-visibility bits (0/1, 0/2,
/// 0/4, not booleans), the material id (flag word >> 16) and the smoothing group bits.
struct QX_BT_Face_Info {
    int32_t edgeA = 0;
    int32_t edgeB = 0;
    int32_t edgeC = 0;
    int32_t materialID = 0;
    uint32_t smoothingGroup = 0;

    /// Builds the record from a host face flag word and its smoothing group.
    static QX_BT_Face_Info FromFlags(uint32_t flags, uint32_t smoothing) {
        return {static_cast<int32_t>(flags & 1u), static_cast<int32_t>(flags & 2u),
                static_cast<int32_t>(flags & 4u), static_cast<int32_t>(flags >> 16), smoothing};
    }

    bool operator==(const QX_BT_Face_Info&) const = default;
};

/// One channel of a mesh: three vertex indices per face (into this channel's own vertices) and
/// three floats per vertex. The geometry channel holds object-space positions; map channels hold
/// texture coordinates or colours; channel -1 holds explicit normals.
struct QX_BT_Mesh_Channel {
    std::vector<int32_t> faces;
    std::vector<float> vertices;

    /// Number of faces (a third of the index count).
    size_t faceCount() const { return faces.size() / 3; }
    /// Number of vertices (a third of the float count).
    size_t vertexCount() const { return vertices.size() / 3; }
    /// Vertex v as a vector; v must be in range.
    glm::vec3 vertex(int32_t v) const {
        return {vertices[3 * size_t(v)], vertices[3 * size_t(v) + 1], vertices[3 * size_t(v) + 2]};
    }
    /// Overwrites vertex v; v must be in range.
    void setVertex(int32_t v, const glm::vec3& p) {
        vertices[3 * size_t(v)] = p.x;
        vertices[3 * size_t(v) + 1] = p.y;
        vertices[3 * size_t(v) + 2] = p.z;
    }

    bool operator==(const QX_BT_Mesh_Channel&) const = default;
};

/// Channel number of the explicit normals in `QX_BT_Mesh_Data::channels`.
constexpr int32_t kNormalChannel = -1;

/// The core's mesh record. Every face array describes the same faces in the same order: face f
/// is face f of the face infos, of the geometry and of every channel. Nothing here validates
/// indices; records built from user input are checked where they enter the core.
struct QX_BT_Mesh_Data {
    std::vector<QX_BT_Face_Info> faceInfos;
    QX_BT_Mesh_Channel geometry;
    std::map<int32_t, QX_BT_Mesh_Channel> channels;

    /// Number of geometry faces.
    size_t faceCount() const { return geometry.faceCount(); }

    /// Replaces faces, vertices, face infos and channels by copies of the arguments.
    void SetMesh(const std::vector<int32_t>& faces, const std::vector<float>& vertices,
                 const std::vector<QX_BT_Face_Info>& infos,
                 const std::map<int32_t, QX_BT_Mesh_Channel>& newChannels);

    /// Transforms every geometry vertex as a point by m; channels are untouched.
    void TransformVertices(const glm::mat4& m);

    /// Moves the listed geometry vertices: to m's translation when moveOnly, else through m as
    /// points; without moveOnly the listed explicit normals turn by m's 3x3 block. The normal set
    /// is always emptied.
    void TransformVertexSet(const glm::mat4& m, const QX_BT_Index_Set& vertexSet,
                            QX_BT_Index_Set& normalSet, bool moveOnly);

    /// Appends infos and the source's geometry and channels (indices offset per channel).
    /// Returns the number of geometry faces this record had before.
    int32_t AppendMesh(const std::vector<QX_BT_Face_Info>& infos, const QX_BT_Mesh_Data& source);

    /// Copies the listed faces into target (expected empty) with vertices renumbered in order of
    /// first use, separately for the geometry and every channel.
    void ExtractFaces(QX_BT_Mesh_Data& target, const QX_BT_Face_List& list) const;

    bool operator==(const QX_BT_Mesh_Data&) const = default;
};

/// Splits a face array (three vertex indices per face) into elements connected by shared edges.
/// Elements come out in order of their smallest face; faces in depth-first visiting order.
QX_BT_Element_List ExtractElements(const std::vector<int32_t>& faces);

/// Weighted mean of the triangle centres of a face corner list (three vertex indices per
/// triangle into a flat float-triple array); each triangle weighs sqrt(p(p-l1)(p-l2)(p-l3)) with
/// p its full perimeter. Empty when every triangle has collapsed to a point (or there are none):
/// the centroid is then undefined and the face set counts as degenerate.
std::optional<glm::vec3> ComputeSurfaceCentroid(const std::vector<float>& vertices,
                                                const std::vector<int32_t>& corners);

/// Volume enclosed by a triangle corner list, measured about point p in single precision;
/// counter-clockwise (outward) winding counts positive. Never negative: inward winding gives 0.
float ComputeEnclosedVolume(const std::vector<float>& vertices, const std::vector<int32_t>& corners,
                            const glm::vec3& p);

} // namespace Quarix
