#include "shatter/ShatterMesh.h"

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

/// Directed edge (from, to) packed for sorting.
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
    std::vector<std::uint64_t> edges;
    edges.reserve(tris.size() * 3);
    for (const Tri& t : tris) {
        if (t[0] == t[1] || t[1] == t[2] || t[2] == t[0])
            return false;
        for (int i = 0; i < 3; ++i)
            edges.push_back(EdgeKey(t[i], t[(i + 1) % 3]));
    }
    std::sort(edges.begin(), edges.end());
    for (std::size_t i = 0; i < edges.size(); ++i) {
        if (i + 1 < edges.size() && edges[i + 1] == edges[i])
            return false; // a directed edge used twice: non-manifold or inconsistently wound
        int from = static_cast<int>(edges[i] >> 32);
        int to = static_cast<int>(edges[i] & 0xffffffffu);
        if (!std::binary_search(edges.begin(), edges.end(), EdgeKey(to, from)))
            return false;
    }
    return true;
}

std::vector<int> LabelEdgeConnectedElements(const std::vector<Tri>& tris, int* elementCount) {
    const int faceCount = static_cast<int>(tris.size());
    std::vector<int> parent(faceCount);
    std::iota(parent.begin(), parent.end(), 0);

    // Faces meeting at an undirected edge are joined; sorting the (edge, face) pairs finds them
    // without a hash table, so the result does not depend on any iteration order.
    std::vector<std::pair<std::uint64_t, int>> edgeFaces;
    edgeFaces.reserve(tris.size() * 3);
    for (int f = 0; f < faceCount; ++f)
        for (int i = 0; i < 3; ++i) {
            int a = tris[f][i], b = tris[f][(i + 1) % 3];
            edgeFaces.emplace_back(EdgeKey(std::min(a, b), std::max(a, b)), f);
        }
    std::sort(edgeFaces.begin(), edgeFaces.end());
    for (std::size_t i = 1; i < edgeFaces.size(); ++i) {
        if (edgeFaces[i].first != edgeFaces[i - 1].first)
            continue;
        int ra = FindRoot(parent, edgeFaces[i].second);
        int rb = FindRoot(parent, edgeFaces[i - 1].second);
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
