#include "modifier/QX_Mesh_Convert.h"

#include <cstring>

namespace QX_Mesh_Convert {

using Quarix::QX_BT_Face_Info;
using Quarix::QX_BT_Mesh_Channel;
using Quarix::QX_BT_Mesh_Data;

static_assert(sizeof(Point3) == 3 * sizeof(float), "Point3 must be three packed floats");

namespace {

void CopyPoints(const std::vector<Point3>& points, std::vector<float>& out) {
    out.resize(points.size() * 3);
    if (!points.empty())
        std::memcpy(out.data(), points.data(), out.size() * sizeof(float));
}

void CopyPoints(const std::vector<float>& floats, std::vector<Point3>& out) {
    out.resize(floats.size() / 3);
    if (!out.empty())
        std::memcpy(static_cast<void*>(out.data()), floats.data(), out.size() * sizeof(Point3));
}

// A corner index from a record, clamped into [0, count) so the host mesh never holds an index
// past its arrays (0 when the array is empty).
DWORD Corner(int32_t v, size_t count) {
    return v >= 0 && static_cast<size_t>(v) < count ? static_cast<DWORD>(v) : 0u;
}

void ExportNormals(const Mesh& mesh, QX_BT_Mesh_Data& out) {
    const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
    const int faces = mesh.getNumFaces();
    // Normals that do not cover every face cannot follow the faces through the core; they are
    // left behind rather than misassigned.
    if (!spec || spec->GetNumFaces() <= 0 || spec->GetNumFaces() != faces)
        return;
    QX_BT_Mesh_Channel& normals = out.channels[Quarix::kNormalChannel];
    normals.faces.resize(static_cast<size_t>(faces) * 3);
    for (int f = 0; f < faces; ++f) {
        for (int c = 0; c < 3; ++c)
            normals.faces[3 * size_t(f) + size_t(c)] = spec->GetNormalIndex(f, c);
    }
    normals.vertices.resize(static_cast<size_t>(spec->GetNumNormals()) * 3);
    for (int n = 0; n < spec->GetNumNormals(); ++n) {
        const Point3& p = spec->Normal(n);
        normals.vertices[3 * size_t(n)] = p.x;
        normals.vertices[3 * size_t(n) + 1] = p.y;
        normals.vertices[3 * size_t(n) + 2] = p.z;
    }
}

void ImportMapChannel(int channel, const QX_BT_Mesh_Channel& data, Mesh& mesh) {
    mesh.setMapSupport(channel, TRUE);
    const size_t verts = data.vertexCount();
    mesh.setNumMapVerts(channel, static_cast<int>(verts));
    mesh.setNumMapFaces(channel, static_cast<int>(data.faceCount()));
    MeshMap& map = mesh.Map(channel);
    CopyPoints(data.vertices, map.tv);
    for (size_t f = 0; f < map.tf.size(); ++f) {
        map.tf[f].setTVerts(Corner(data.faces[3 * f], verts), Corner(data.faces[3 * f + 1], verts),
                            Corner(data.faces[3 * f + 2], verts));
    }
}

void ImportNormals(const QX_BT_Mesh_Channel& data, Mesh& mesh) {
    if (!mesh.GetSpecifiedNormals())
        mesh.SpecifyNormals();
    MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
    if (!spec)
        return;
    const size_t count = data.vertexCount();
    spec->SetNumFaces(static_cast<int>(data.faceCount()));
    spec->SetNumNormals(static_cast<int>(count));
    for (int f = 0; f < spec->GetNumFaces(); ++f) {
        MeshNormalFace& face = spec->Face(f);
        for (int c = 0; c < 3; ++c)
            face.SetNormalID(
                c, static_cast<int>(Corner(data.faces[3 * size_t(f) + size_t(c)], count)));
    }
    for (int n = 0; n < spec->GetNumNormals(); ++n) {
        spec->Normal(n) = Point3(&data.vertices[3 * size_t(n)]);
        spec->SetNormalExplicit(n, true);
    }
}

} // namespace

void ExportMesh(const Mesh& mesh, QX_BT_Mesh_Data& out) {
    const size_t faces = mesh.faces.size();
    CopyPoints(mesh.verts, out.geometry.vertices);
    out.geometry.faces.resize(faces * 3);
    out.faceInfos.resize(faces);
    for (size_t f = 0; f < faces; ++f) {
        const Face& face = mesh.faces[f];
        out.geometry.faces[3 * f] = static_cast<int32_t>(face.v[0]);
        out.geometry.faces[3 * f + 1] = static_cast<int32_t>(face.v[1]);
        out.geometry.faces[3 * f + 2] = static_cast<int32_t>(face.v[2]);
        out.faceInfos[f] = QX_BT_Face_Info::FromFlags(face.flags, face.smGroup);
    }
    out.channels.clear();
    for (int mp = 0; mp < MAX_MESHMAPS; ++mp) {
        if (!mesh.mapSupport(mp))
            continue;
        const MeshMap& map = mesh.Map(mp);
        QX_BT_Mesh_Channel& channel = out.channels[mp];
        channel.faces.resize(map.tf.size() * 3);
        for (size_t f = 0; f < map.tf.size(); ++f) {
            for (size_t c = 0; c < 3; ++c)
                channel.faces[3 * f + c] = static_cast<int32_t>(map.tf[f].t[c]);
        }
        CopyPoints(map.tv, channel.vertices);
    }
    ExportNormals(mesh, out);
}

void ImportMesh(const QX_BT_Mesh_Data& data, Mesh& mesh) {
    const size_t faces = data.faceCount();
    const size_t verts = data.geometry.vertexCount();
    mesh.setNumVerts(static_cast<int>(verts), FALSE);
    mesh.setNumFaces(static_cast<int>(faces), FALSE);
    CopyPoints(data.geometry.vertices, mesh.verts);
    const std::vector<int32_t>& corners = data.geometry.faces;
    const size_t infos = data.faceInfos.size();
    for (size_t f = 0; f < faces; ++f) {
        Face& face = mesh.faces[f];
        face.setVerts(Corner(corners[3 * f], verts), Corner(corners[3 * f + 1], verts),
                      Corner(corners[3 * f + 2], verts));
        if (f >= infos)
            continue;
        // The face was reset by setNumFaces: its flags are exactly the edge bits and material id.
        const QX_BT_Face_Info& info = data.faceInfos[f];
        face.flags = (info.edgeA != 0 ? EDGE_A : 0u) | (info.edgeB != 0 ? EDGE_B : 0u) |
                     (info.edgeC != 0 ? EDGE_C : 0u) |
                     (static_cast<DWORD>(info.materialID & 0xFFFF) << FACE_MATID_SHIFT);
        face.smGroup = info.smoothingGroup;
    }
    for (const auto& [channel, map] : data.channels) {
        if (channel == Quarix::kNormalChannel)
            ImportNormals(map, mesh);
        else if (channel >= 0 && channel < MAX_MESHMAPS)
            ImportMapChannel(channel, map, mesh);
    }
}

} // namespace QX_Mesh_Convert
