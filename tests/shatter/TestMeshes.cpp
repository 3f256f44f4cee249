#include "TestMeshes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <utility>

namespace Quarix::Shatter::Test {

namespace {

/// Adds the quad (a, b, c, d), counter-clockwise from outside, as two triangles.
void AddQuad(ShatterMesh& m, int a, int b, int c, int d, std::uint32_t flags,
             std::uint32_t smoothing) {
    m.faces.push_back({{a, b, c}, flags | 3u, smoothing});
    m.faces.push_back({{a, c, d}, flags | 6u, smoothing});
}

/// Gives every face corner a map value equal to its position (shared per vertex).
void AddPositionChannel(ShatterMesh& m) {
    MapChannel& uv = m.channels[kUvChannel];
    uv.verts = m.verts;
    for (const MeshFace& f : m.faces)
        uv.faces.push_back(f.v);
}

} // namespace

ShatterMesh MakeBox(const Vec3& lo, const Vec3& hi) {
    ShatterMesh m;
    for (int i = 0; i < 8; ++i)
        m.verts.push_back({(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z});
    const std::uint32_t mat = static_cast<std::uint32_t>(kOuterMaterial) << kMaterialShift;
    // Sides: -x, +x, -y, +y, -z, +z, each counter-clockwise seen from outside.
    const int quads[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    const Vec3 normals[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    MapChannel& uv = m.channels[kUvChannel];
    MapChannel& nrm = m.channels[kNormalChannel];
    for (int s = 0; s < 6; ++s) {
        const int* q = quads[s];
        AddQuad(m, q[0], q[1], q[2], q[3], mat, 1u << s);
        const int base = static_cast<int>(uv.verts.size());
        for (int k = 0; k < 4; ++k)
            uv.verts.push_back(BoxUv(m.verts[q[k]], normals[s]));
        uv.faces.push_back({base, base + 1, base + 2});
        uv.faces.push_back({base, base + 2, base + 3});
        nrm.verts.push_back(normals[s]);
        nrm.faces.push_back({s, s, s});
        nrm.faces.push_back({s, s, s});
    }
    return m;
}

Vec3 BoxUv(const Vec3& p, const Vec3& normal) {
    if (normal.x != 0)
        return {p.y, p.z, 0.0};
    if (normal.y != 0)
        return {p.z, p.x, 0.0};
    return {p.x, p.y, 0.0};
}

ShatterMesh MakeLPrism() {
    ShatterMesh m;
    const double outline[6][2] = {{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}};
    for (int level = 0; level < 2; ++level)
        for (const auto& p : outline)
            m.verts.push_back({p[0], p[1], static_cast<double>(level)});
    const std::uint32_t mat = static_cast<std::uint32_t>(kOuterMaterial) << kMaterialShift;
    // Bottom (facing -z) and top (facing +z): the L split at the inner corner into two quads.
    AddQuad(m, 0, 3, 2, 1, mat, 1);
    AddQuad(m, 0, 5, 4, 3, mat, 1);
    AddQuad(m, 6, 7, 8, 9, mat, 2);
    AddQuad(m, 6, 9, 10, 11, mat, 2);
    for (int i = 0; i < 6; ++i) {
        int j = (i + 1) % 6;
        AddQuad(m, i, j, j + 6, i + 6, mat, 4);
    }
    AddPositionChannel(m);
    return m;
}

ShatterMesh MakeUPrism() {
    ShatterMesh m;
    const double outline[8][2] = {{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
    for (int level = 0; level < 2; ++level)
        for (const auto& p : outline)
            m.verts.push_back({p[0], p[1], static_cast<double>(level)});
    const std::uint32_t mat = static_cast<std::uint32_t>(kOuterMaterial) << kMaterialShift;
    // Bottom and top as three quads each: left arm with base corner, base middle, right arm.
    const int quads[3][4] = {{0, 5, 6, 7}, {0, 1, 4, 5}, {1, 2, 3, 4}};
    for (const auto& q : quads) {
        AddQuad(m, q[3], q[2], q[1], q[0], mat, 1);
        AddQuad(m, q[0] + 8, q[1] + 8, q[2] + 8, q[3] + 8, mat, 2);
    }
    for (int i = 0; i < 8; ++i) {
        int j = (i + 1) % 8;
        AddQuad(m, i, j, j + 8, i + 8, mat, 4);
    }
    AddPositionChannel(m);
    return m;
}

ShatterMesh MakeTorus(double R, double r, int ringSegments, int tubeSegments) {
    ShatterMesh m;
    const double twoPi = 2.0 * std::numbers::pi;
    for (int i = 0; i < ringSegments; ++i) {
        double u = twoPi * i / ringSegments;
        for (int j = 0; j < tubeSegments; ++j) {
            double v = twoPi * j / tubeSegments;
            double w = R + r * std::cos(v);
            m.verts.push_back({w * std::cos(u), w * std::sin(u), r * std::sin(v)});
        }
    }
    const std::uint32_t mat = static_cast<std::uint32_t>(kOuterMaterial) << kMaterialShift;
    auto id = [&](int i, int j) { return (i % ringSegments) * tubeSegments + (j % tubeSegments); };
    for (int i = 0; i < ringSegments; ++i)
        for (int j = 0; j < tubeSegments; ++j)
            AddQuad(m, id(i, j), id(i + 1, j), id(i + 1, j + 1), id(i, j + 1), mat, 1);
    AddPositionChannel(m);
    return m;
}

ShatterMesh MakeIcosphere(double r, int subdivisions) {
    ShatterMesh m;
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    const double base[12][3] = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                                {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                                {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    for (const auto& p : base)
        m.verts.push_back(Normalized(Vec3(p[0], p[1], p[2])) * r);
    std::vector<Tri> tris = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                             {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                             {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                             {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    for (int s = 0; s < subdivisions; ++s) {
        std::map<std::pair<int, int>, int> mid;
        auto midpoint = [&](int a, int b) {
            auto key = std::minmax(a, b);
            auto it = mid.find(key);
            if (it != mid.end())
                return it->second;
            int idx = static_cast<int>(m.verts.size());
            m.verts.push_back(Normalized(m.verts[a] + m.verts[b]) * r);
            mid.emplace(key, idx);
            return idx;
        };
        std::vector<Tri> next;
        for (const Tri& f : tris) {
            int a = midpoint(f[0], f[1]), b = midpoint(f[1], f[2]), c = midpoint(f[2], f[0]);
            next.insert(next.end(), {{f[0], a, c}, {f[1], b, a}, {f[2], c, b}, {a, b, c}});
        }
        tris = std::move(next);
    }
    const std::uint32_t mat = static_cast<std::uint32_t>(kOuterMaterial) << kMaterialShift;
    for (const Tri& f : tris)
        m.faces.push_back({f, mat | kEdgeVisibleMask, 1});
    return m;
}

ShatterMesh MakeGrid(int n) {
    ShatterMesh m;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            m.verts.push_back({static_cast<double>(i) / n, static_cast<double>(j) / n, 0.0});
    const std::uint32_t mat = static_cast<std::uint32_t>(kOuterMaterial) << kMaterialShift;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            int a = j * (n + 1) + i;
            AddQuad(m, a, a + 1, a + n + 2, a + n + 1, mat, 1);
        }
    AddPositionChannel(m);
    return m;
}

std::vector<Tri> Tris(const ShatterMesh& mesh) {
    std::vector<Tri> tris;
    for (const MeshFace& f : mesh.faces)
        tris.push_back(f.v);
    return tris;
}

double AreaOfMaterial(const ShatterMesh& mesh, int material, bool invert) {
    double area = 0.0;
    for (const MeshFace& f : mesh.faces)
        if ((f.MaterialId() == material) != invert)
            area += 0.5 * Length(Cross(mesh.verts[f.v[1]] - mesh.verts[f.v[0]],
                                       mesh.verts[f.v[2]] - mesh.verts[f.v[0]]));
    return area;
}

Vec3 FaceNormal(const ShatterMesh& mesh, const MeshFace& face) {
    return Normalized(Cross(mesh.verts[face.v[1]] - mesh.verts[face.v[0]],
                            mesh.verts[face.v[2]] - mesh.verts[face.v[0]]));
}

int ElementCount(const ShatterMesh& mesh) {
    int count = 0;
    LabelEdgeConnectedElements(Tris(mesh), &count);
    return count;
}

bool ElementsShareNoVertex(const ShatterMesh& mesh) {
    int count = 0;
    std::vector<int> label = LabelEdgeConnectedElements(Tris(mesh), &count);
    std::vector<int> owner(mesh.verts.size(), -1);
    for (std::size_t f = 0; f < mesh.faces.size(); ++f)
        for (int v : mesh.faces[f].v) {
            if (owner[v] >= 0 && owner[v] != label[f])
                return false;
            owner[v] = label[f];
        }
    return true;
}

} // namespace Quarix::Shatter::Test
