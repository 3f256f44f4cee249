#include "shatter/ShatterMesh.h"

#include "shatter/FlatTable.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>

namespace Quarix::Shatter {

namespace {

bool IndicesInRange(const Tri& t, std::size_t count) {
    for (int i : t)
        if (i < 0 || static_cast<std::size_t>(i) >= count)
            return false;
    return true;
}

/// Directed edge (from, to) packed into one key.
std::uint64_t EdgeKey(int from, int to) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(from)) << 32) |
           static_cast<std::uint32_t>(to);
}

int FindRoot(std::vector<int>& parent, int i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

} // namespace

void ValidateMesh(const ShatterMesh& mesh) {
    for (std::size_t i = 0; i < mesh.verts.size(); ++i)
        if (!IsFinite(mesh.verts[i]))
            throw std::invalid_argument("shatter: vertex " + std::to_string(i) +
                                        " has a non-finite coordinate");
    for (std::size_t f = 0; f < mesh.faces.size(); ++f)
        if (!IndicesInRange(mesh.faces[f].v, mesh.verts.size()))
            throw std::invalid_argument("shatter: face " + std::to_string(f) +
                                        " uses a vertex index out of range");
    for (const auto& [number, channel] : mesh.channels) {
        if (channel.faces.size() != mesh.faces.size())
            throw std::invalid_argument("shatter: map channel " + std::to_string(number) + " has " +
                                        std::to_string(channel.faces.size()) + " faces for " +
                                        std::to_string(mesh.faces.size()) + " geometry faces");
        for (std::size_t f = 0; f < channel.faces.size(); ++f)
            if (!IndicesInRange(channel.faces[f], channel.verts.size()))
                throw std::invalid_argument("shatter: map channel " + std::to_string(number) +
                                            " face " + std::to_string(f) +
                                            " uses a map vertex out of range");
    }
}

Bounds FaceBounds(const ShatterMesh& mesh) {
    Bounds b;
    for (const MeshFace& f : mesh.faces)
        for (int i : f.v)
            b.Add(mesh.verts[i]);
    return b;
}

double SignedVolume(const std::vector<Vec3>& verts, const std::vector<Tri>& tris) {
    // Tetrahedra against the first vertex instead of the origin keep the terms small for meshes
    // far from the origin.
    if (tris.empty())
        return 0.0;
    const Vec3 o = verts[tris[0][0]];
    double sum = 0.0;
    for (const Tri& t : tris) {
        Vec3 a = verts[t[0]] - o, b = verts[t[1]] - o, c = verts[t[2]] - o;
        sum += Dot(a, Cross(b, c));
    }
    return sum / 6.0;
}

double SignedVolume(const ShatterMesh& mesh) {
    std::vector<Tri> tris;
    tris.reserve(mesh.faces.size());
    for (const MeshFace& f : mesh.faces)
        tris.push_back(f.v);
    return SignedVolume(mesh.verts, tris);
}

bool IsClosedManifold(const std::vector<Tri>& tris) {
    if (tris.empty())
        return false;
    FlatTable<std::uint64_t, Hash64> edges;
    edges.Reset(tris.size() * 3);
    for (const Tri& t : tris) {
        if (t[0] == t[1] || t[1] == t[2] || t[2] == t[0])
            return false;
        for (int i = 0; i < 3; ++i) {
            bool inserted = false;
            edges.FindOrInsert(EdgeKey(t[i], t[(i + 1) % 3]), inserted);
            if (!inserted)
                return false; // a directed edge used twice: non-manifold or inconsistently wound
        }
    }
    // Every directed edge needs its opposite; counts being equal, a missing one shows as an
    // opposite that was not there.
    for (const Tri& t : tris)
        for (int i = 0; i < 3; ++i) {
            bool inserted = false;
            edges.FindOrInsert(EdgeKey(t[(i + 1) % 3], t[i]), inserted);
            if (inserted)
                return false;
        }
    return true;
}

std::vector<int> LabelEdgeConnectedElements(const std::vector<Tri>& tris, int* elementCount) {
    const int faceCount = static_cast<int>(tris.size());
    std::vector<int> parent(faceCount);
    std::iota(parent.begin(), parent.end(), 0);

    // Faces meeting at an undirected edge are joined. The union keeps the smaller root, so the
    // elements and their numbering do not depend on the order the edges are met in.
    FlatTable<std::uint64_t, Hash64> firstFace;
    firstFace.Reset(tris.size() * 3);
    for (int f = 0; f < faceCount; ++f)
        for (int i = 0; i < 3; ++i) {
            const int a = tris[f][i], b = tris[f][(i + 1) % 3];
            bool inserted = false;
            int& owner = firstFace.FindOrInsert(EdgeKey(std::min(a, b), std::max(a, b)), inserted);
            if (inserted) {
                owner = f;
                continue;
            }
            const int ra = FindRoot(parent, owner), rb = FindRoot(parent, f);
            if (ra != rb)
                parent[std::max(ra, rb)] = std::min(ra, rb);
        }

    std::vector<int> label(faceCount, -1);
    std::vector<int> rootLabel(faceCount, -1);
    int count = 0;
    for (int f = 0; f < faceCount; ++f) {
        int r = FindRoot(parent, f);
        if (rootLabel[r] < 0)
            rootLabel[r] = count++;
        label[f] = rootLabel[r];
    }
    if (elementCount)
        *elementCount = count;
    return label;
}

} // namespace Quarix::Shatter
