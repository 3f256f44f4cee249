#include "shatter/QXShatter.h"

#include <cstddef>

namespace Quarix::Shatter {

namespace {

Vec3 ToVec3(const Point3& p) {
    return {p.x, p.y, p.z};
}
Point3 ToPoint3(const Vec3& v) {
    return Point3(v.x, v.y, v.z);
}

/// Host indices are unsigned; ones beyond int range turn negative and fail validation.
Tri ToTri(const DWORD* v) {
    return {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2])};
}

/// True when the mesh has specified normals for every face, the only case in which they are
/// carried through the cut (otherwise the host derives normals from smoothing groups).
bool HasFullNormals(const Mesh& mesh) {
    const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
    if (!spec || spec->GetNumFaces() != mesh.getNumFaces())
        return false;
    for (int f = 0; f < spec->GetNumFaces(); ++f)
        if (!spec->Face(f).GetSpecified())
            return false;
    return true;
}

} // namespace

ShatterMesh FromHostMesh(const Mesh& mesh) {
    ShatterMesh out;
    out.verts.reserve(mesh.verts.size());
    for (const Point3& p : mesh.verts)
        out.verts.push_back(ToVec3(p));
    out.faces.reserve(mesh.faces.size());
    for (const Face& f : mesh.faces)
        out.faces.push_back({ToTri(f.v), f.flags, f.smGroup});
    for (int mp = 0; mp < MAX_MESHMAPS; ++mp) {
        if (!mesh.mapSupport(mp))
            continue;
        const MeshMap& map = mesh.Map(mp);
        MapChannel& channel = out.channels[mp];
        channel.verts.reserve(map.tv.size());
        for (const UVVert& uv : map.tv)
            channel.verts.push_back(ToVec3(uv));
        channel.faces.reserve(map.tf.size());
        for (const TVFace& tf : map.tf)
            channel.faces.push_back(ToTri(tf.t));
    }
    if (HasFullNormals(mesh)) {
        const MeshNormalSpec& spec = *mesh.GetSpecifiedNormals();
        MapChannel& channel = out.channels[kNormalChannel];
        for (int n = 0; n < spec.GetNumNormals(); ++n)
            channel.verts.push_back(ToVec3(spec.Normal(n)));
        for (int f = 0; f < spec.GetNumFaces(); ++f) {
            const MeshNormalFace& nf = spec.Face(f);
            channel.faces.push_back({nf.GetNormalID(0), nf.GetNormalID(1), nf.GetNormalID(2)});
        }
    }
    return out;
}

void ToHostMesh(const ShatterMesh& source, Mesh& mesh) {
    mesh.FreeAll();
    mesh.setNumVerts(static_cast<int>(source.verts.size()));
    for (std::size_t i = 0; i < source.verts.size(); ++i)
        mesh.verts[i] = ToPoint3(source.verts[i]);
    mesh.setNumFaces(static_cast<int>(source.faces.size()));
    for (std::size_t f = 0; f < source.faces.size(); ++f) {
        const MeshFace& in = source.faces[f];
        Face& out = mesh.faces[f];
        out.setVerts(in.v.data());
        out.smGroup = in.smoothing;
        out.flags = in.flags;
    }
    for (const auto& [number, channel] : source.channels) {
        if (number == kNormalChannel) {
            mesh.SpecifyNormals();
            MeshNormalSpec& spec = *mesh.GetSpecifiedNormals();
            spec.SetNumNormals(static_cast<int>(channel.verts.size()));
            for (std::size_t n = 0; n < channel.verts.size(); ++n) {
                spec.Normal(static_cast<int>(n)) = ToPoint3(channel.verts[n]);
                spec.SetNormalExplicit(static_cast<int>(n), true);
            }
            spec.SetNumFaces(static_cast<int>(channel.faces.size()));
            for (std::size_t f = 0; f < channel.faces.size(); ++f) {
                MeshNormalFace& nf = spec.Face(static_cast<int>(f));
                for (int c = 0; c < 3; ++c)
                    nf.SetNormalID(c, channel.faces[f][c]);
                nf.SetSpecified(true);
            }
            continue;
        }
        if (number < 0 || number >= MAX_MESHMAPS)
            continue;
        mesh.setMapSupport(number);
        MeshMap& map = mesh.Map(number);
        map.tv.resize(channel.verts.size());
        for (std::size_t i = 0; i < channel.verts.size(); ++i)
            map.tv[i] = ToPoint3(channel.verts[i]);
        for (std::size_t f = 0; f < channel.faces.size(); ++f) {
            const Tri& t = channel.faces[f];
            map.tf[f] = TVFace(static_cast<DWORD>(t[0]), static_cast<DWORD>(t[1]),
                               static_cast<DWORD>(t[2]));
        }
    }
}

QXShatter::QXShatter(const Mesh& source, std::uint32_t randomSeed, bool capClosedMeshes)
    : source_(FromHostMesh(source)) {
    settings_.randomSeed = randomSeed;
    settings_.capClosedMeshes = capClosedMeshes;
}

bool QXShatter::Modify() {
    fragmented_ = false;
    warnings_.clear();
    result_ = ShatterMesh{};
    FragmentStats stats;
    fragmented_ = FragmentMesh(source_, settings_, result_, &stats);
    if (stats.reduced)
        warnings_ += "shatter: " + std::to_string(stats.requested) +
                     " fragments asked for, at most " + std::to_string(stats.limit) +
                     " made: more would take too long for a mesh of " +
                     std::to_string(source_.faces.size()) + " faces.";
    if (stats.repairedValues > 0)
        warnings_ += std::string(warnings_.empty() ? "" : " ") +
                     "shatter: " + std::to_string(stats.repairedValues) +
                     " non-finite map values or normals were replaced before cutting.";
    return fragmented_;
}

bool QXShatter::WriteResult(Mesh& mesh) const {
    if (!fragmented_)
        return false;
    ToHostMesh(result_, mesh);
    return true;
}

} // namespace Quarix::Shatter
