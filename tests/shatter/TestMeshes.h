#pragma once
// Meshes built in code for the shatter tests, and checks on fragmenter output.

#include "shatter/ShatterMesh.h"

#include <vector>

namespace Quarix::Shatter::Test {

/// Material id the test meshes give their outer faces.
inline constexpr int kOuterMaterial = 1;
/// Material id the tests ask for on inner faces.
inline constexpr int kInnerMaterial = 16;
/// Map channel the test meshes carry texture coordinates in.
inline constexpr int kUvChannel = 1;

/// Axis-aligned box, outward wound, quads split into two triangles (diagonals hidden). Each side
/// has its own smoothing group, its own normal in the normal channel, and texture coordinates in
/// kUvChannel that are the side's two in-plane coordinates (see BoxUv).
ShatterMesh MakeBox(const Vec3& min, const Vec3& max);
/// The texture coordinate MakeBox gives a point on the side whose outward normal is `normal`.
Vec3 BoxUv(const Vec3& p, const Vec3& normal);

/// Prism over an L-shaped (non-convex) outline of 3 x 3 minus the 2 x 2 upper-right square,
/// height 1, with texture coordinates (x, y, z) in kUvChannel.
ShatterMesh MakeLPrism();
/// Prism of height 1 over a U-shaped outline: a 3 x 1 base with two 1 x 2 arms rising from its
/// ends, 1 apart, with texture coordinates (x, y, z).
ShatterMesh MakeUPrism();
/// Torus around z with radii R (ring) and r (tube), with texture coordinates (x, y, z).
ShatterMesh MakeTorus(double R, double r, int ringSegments, int tubeSegments);
/// Icosphere of radius r: 20 * 4^subdivisions triangles.
ShatterMesh MakeIcosphere(double r, int subdivisions);
/// Open square grid in the plane z = 0 over [0, 1]^2 with n x n quads and uv = (x, y, 0).
ShatterMesh MakeGrid(int n);

/// Triangles of the mesh's faces.
std::vector<Tri> Tris(const ShatterMesh& mesh);
/// Total area of the faces whose material id is (or, with `invert`, is not) `material`.
double AreaOfMaterial(const ShatterMesh& mesh, int material, bool invert = false);
/// Unit normal of a face.
Vec3 FaceNormal(const ShatterMesh& mesh, const MeshFace& face);
/// Number of edge-connected elements.
int ElementCount(const ShatterMesh& mesh);
/// True when no vertex is used by faces of two different elements.
bool ElementsShareNoVertex(const ShatterMesh& mesh);

} // namespace Quarix::Shatter::Test
