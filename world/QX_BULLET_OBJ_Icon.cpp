#include "world/QX_BULLET_OBJ_Icon.h"

#include <cassert>
#include <cmath>
#include <numbers>

namespace Quarix {

namespace {

constexpr int kSides = 9;
// The arrow's profile from tip to tail as (radius, z): the head, the shaft, the tail cap.
constexpr float kProfile[5][2] = {
    {1.5f, 2.5f}, {0.5f, 2.5f}, {0.5f, 6.0f}, {0.5f, 9.5f}, {0.3f, 10.0f}};
constexpr int kRings = 5;
// Fins: zigzag strips from the shaft outwards near the tail; the last one is one point shorter.
constexpr int kFinPoints[4] = {20, 20, 20, 19};

struct Icon {
    std::vector<Point3> points;
    std::vector<QX_Icon_Face> faces;
};

void AddFace(Icon& icon, DWORD a, DWORD b, DWORD c, bool va, bool vb, bool vc) {
    icon.faces.push_back({{a, b, c}, {va, vb, vc}});
}

void BuildArrow(Icon& icon) {
    const DWORD tip = 0;
    icon.points.emplace_back(0.0f, 0.0f, 0.0f);
    for (const auto& ring : kProfile) {
        for (int k = 0; k < kSides; ++k) {
            const double a = 2.0 * std::numbers::pi * k / kSides;
            icon.points.emplace_back(static_cast<float>(ring[0] * std::cos(a)),
                                     static_cast<float>(ring[0] * std::sin(a)), ring[1]);
        }
    }
    const DWORD tail = static_cast<DWORD>(icon.points.size());
    icon.points.emplace_back(0.0f, 0.0f, 10.0f);
    auto at = [](int ring, int k) { return static_cast<DWORD>(1 + ring * kSides + k % kSides); };
    for (int k = 0; k < kSides; ++k)
        AddFace(icon, tip, at(0, k + 1), at(0, k), false, true, false);
    for (int r = 0; r + 1 < kRings; ++r) {
        for (int k = 0; k < kSides; ++k) {
            AddFace(icon, at(r, k), at(r, k + 1), at(r + 1, k + 1), true, true, false);
            AddFace(icon, at(r + 1, k + 1), at(r + 1, k), at(r, k), true, true, false);
        }
    }
    for (int k = 0; k < kSides; ++k)
        AddFace(icon, tail, at(kRings - 1, k), at(kRings - 1, k + 1), false, true, false);
}

void BuildFins(Icon& icon) {
    for (int fin = 0; fin < 4; ++fin) {
        const double a = std::numbers::pi * (0.25 + 0.5 * fin);
        const float cx = static_cast<float>(std::cos(a)), cy = static_cast<float>(std::sin(a));
        const DWORD first = static_cast<DWORD>(icon.points.size());
        const int n = kFinPoints[fin];
        for (int i = 0; i < n; ++i) {
            const float z = 6.2f + 0.4f * static_cast<float>(i / 2);
            const float r = i % 2 == 0 ? 0.5f : 1.6f;
            icon.points.emplace_back(cx * r, cy * r, i % 2 == 0 ? z : z - 0.6f);
        }
        for (int i = 0; i + 2 < n; ++i) {
            const DWORD v0 = first + static_cast<DWORD>(i);
            // Alternate the winding so that the whole strip faces one way; the border edge
            // (v0-v2) shows, the rungs only at the strip's ends.
            if (i % 2 == 0)
                AddFace(icon, v0, v0 + 1, v0 + 2, i == 0, i + 3 == n, true);
            else
                AddFace(icon, v0 + 1, v0, v0 + 2, i == 0, true, i + 3 == n);
        }
    }
}

Icon MakeIcon() {
    Icon icon;
    BuildArrow(icon);
    BuildFins(icon);
    assert(static_cast<int>(icon.points.size()) == kIconVertexCount);
    assert(static_cast<int>(icon.faces.size()) == kIconFaceCount);
    return icon;
}

const Icon& TheIcon() {
    static const Icon icon = MakeIcon();
    return icon;
}

} // namespace

const std::vector<Point3>& WorldIconPoints() {
    return TheIcon().points;
}

const std::vector<QX_Icon_Face>& WorldIconFaces() {
    return TheIcon().faces;
}

void BuildWorldIcon(Mesh& mesh, float size, const Matrix3& gizmo) {
    const Icon& icon = TheIcon();
    const float scale = size * 0.1f;
    mesh.setNumVerts(kIconVertexCount);
    mesh.setNumFaces(kIconFaceCount);
    for (size_t i = 0; i < icon.points.size(); ++i)
        mesh.verts[i] = (icon.points[i] * scale) * gizmo;
    for (size_t i = 0; i < icon.faces.size(); ++i) {
        const QX_Icon_Face& f = icon.faces[i];
        Face& face = mesh.faces[i];
        face.setVerts(f.v[0], f.v[1], f.v[2]);
        face.setEdgeVisFlags(f.visible[0], f.visible[1], f.visible[2]);
    }
    mesh.InvalidateGeomCache();
    mesh.EnableEdgeList(1);
}

} // namespace Quarix
