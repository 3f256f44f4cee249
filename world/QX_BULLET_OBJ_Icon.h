#pragma once
// The world's viewport icon: a gravity arrow along local Z (tip at the origin, tail at z = 10)
// with four fins at its tail. 126 model points and 161 triangles; it is scaled by the world's
// "Size" x 0.1 and turned by the gravity gizmo.

#include "host/Mesh.h"

#include <array>
#include <vector>

namespace Quarix {

/// Number of model points and faces of the icon.
constexpr int kIconVertexCount = 126;
constexpr int kIconFaceCount = 161;

/// One icon face: three model-point indices and the visibility of its edges (0-1, 1-2, 2-0).
struct QX_Icon_Face {
    std::array<DWORD, 3> v;
    std::array<bool, 3> visible;
};

/// The icon's model points (scene units at Size 10).
const std::vector<Point3>& WorldIconPoints();
/// The icon's faces.
const std::vector<QX_Icon_Face>& WorldIconFaces();

/// Fills `mesh` with the icon: every model point times (size x 0.1), then transformed by `gizmo`
/// (the point times that matrix).
void BuildWorldIcon(Mesh& mesh, float size, const Matrix3& gizmo);

} // namespace Quarix
