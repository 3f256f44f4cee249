#include "tests/fixtures/shatter/ShatterTestMeshes.h"

#include "shatter/PolytopeCaps.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Quarix::Shatter {
namespace {

using namespace Test;

/// An axis-aligned box as voro++ would describe a cell: eight corners, six quads (in no
/// particular winding) and made-up neighbour ids; `planes` gets each face's outward plane.
CellPolytope BoxCell(const Vec3& lo, const Vec3& hi, std::vector<Plane>& planes) {
    CellPolytope cell;
    for (int i = 0; i < 8; ++i)
        cell.verts.push_back({(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z});
    const int quads[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                             {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    planes = {{{-1, 0, 0}, -lo.x}, {{1, 0, 0}, hi.x},   {{0, -1, 0}, -lo.y},
              {{0, 1, 0}, hi.y},   {{0, 0, -1}, -lo.z}, {{0, 0, 1}, hi.z}};
    cell.faceStart.push_back(0);
    for (int f = 0; f < 6; ++f) {
        cell.faceNeighbour.push_back(f);
        cell.faceVerts.insert(cell.faceVerts.end(), quads[f], quads[f] + 4);
        cell.faceStart.push_back(static_cast<int>(cell.faceVerts.size()));
    }
    return cell;
}

std::vector<Tri> CutTris(const CutMesh& m) {
    std::vector<Tri> tris;
    for (const CutFace& f : m.faces)
        tris.push_back(f.v);
    return tris;
}

double Volume(const CutMesh& m) {
    return SignedVolume(m.verts, CutTris(m));
}

/// The solid `mesh` inside the box cell [lo, hi]: cut without caps and closed from the cell's
/// polygons (`fast`), and cut plane by plane with a cap per cut (`reference`).
struct CellCut {
    bool capped = false;
    CutMesh surface; // before capping
    CutMesh fast;
    CutMesh reference;
};

CellCut CutByBox(const ShatterMesh& mesh, const Vec3& lo, const Vec3& hi) {
    std::vector<Plane> planes;
    const CellPolytope cell = BoxCell(lo, hi, planes);
    CapStyle caps, surface;
    caps.materialId = kInnerMaterial;
    surface.enabled = false;
    PlaneClipper clipper(1e-12);
    auto cut = [&](const CapStyle& style) {
        CutMesh current = CutMesh::FromShatterMesh(mesh), next;
        for (const Plane& p : planes)
            if (clipper.Clip(current, p, style, next) == ClipResult::Cut)
                std::swap(current, next);
        return current;
    };
    CellCut result;
    result.surface = cut(surface);
    result.fast = result.surface;
    result.reference = cut(caps);
    result.capped = CapFromPolytope(result.fast, cell, planes, caps, 2e-12);
    return result;
}

TEST(PolytopeCaps, CellFacesCloseTheSolidInsideTheCell) {
    struct Case {
        const char* name;
        ShatterMesh mesh;
        Vec3 lo, hi;
        double volume; // exact, or 0 to compare with the plane-by-plane cut
    };
    Case cases[] = {
        // A corner of a cube: three faces of the cell cut it, three miss it.
        {"cube corner", MakeBox({0, 0, 0}, {2, 2, 2}), {1, 1, 1}, {3, 3, 3}, 1.0},
        // The cell's +x face lies wholly inside the solid and no surface reaches it: its side
        // comes from the faces around it.
        {"inner face", MakeBox({0, 0, 0}, {4, 4, 4}), {-1, 1, 1}, {2, 3, 3}, 8.0},
        // A sphere cut by one face of the cell: a disc of a cap on a non-convex outline.
        {"sphere", MakeIcosphere(1.0, 3), {-0.5, -2, -2}, {2, 2, 2}, 0.0},
        // The torus's equator on a face that no open chain reaches: an annulus of two closed
        // loops on a face that lies outside the solid.
        {"torus", MakeTorus(2.0, 0.5, 48, 24), {-3, -3, 0}, {3, 3, 1}, 0.0},
        // Across both legs of the L prism.
        {"L prism", MakeLPrism(), {0.3, 0.3, -1}, {5, 5, 0.5}, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CellCut cut = CutByBox(c.mesh, c.lo, c.hi);
        ASSERT_TRUE(cut.capped);
        EXPECT_TRUE(IsClosedManifold(CutTris(cut.fast)));
        const double expected = c.volume != 0.0 ? c.volume : Volume(cut.reference);
        EXPECT_GT(expected, 0.0);
        EXPECT_NEAR(Volume(cut.fast), expected, 1e-9 * expected);
        // Caps carry the inner material and the face they lie on.
        for (const CutFace& f : cut.fast.faces)
            if (f.inner) {
                EXPECT_EQ(f.flags >> kMaterialShift, static_cast<std::uint32_t>(kInnerMaterial));
                EXPECT_GE(f.plane, 0);
                EXPECT_LT(f.plane, 6);
            }
    }
}

TEST(PolytopeCaps, SurfaceOnACellFaceIsRefusedOrClosedCorrectly) {
    // The cube's +x face lies in the cell's +x plane and its edges run along the cell's edges:
    // the caps cannot be told from the polygons alone. A refusal sends the caller back to
    // cutting plane by plane; a success must still be the right solid.
    const CellCut cut = CutByBox(MakeBox({0, 0, 0}, {2, 2, 2}), {-1, -1, 0.5}, {2, 2, 1.5});
    if (cut.capped) {
        EXPECT_TRUE(IsClosedManifold(CutTris(cut.fast)));
        EXPECT_NEAR(Volume(cut.fast), 4.0, 1e-9);
    }
    // A polytope without faces, or planes that do not match its faces, is refused.
    std::vector<Plane> planes;
    CellPolytope cell = BoxCell({1, 1, 1}, {3, 3, 3}, planes);
    CutMesh open = CutByBox(MakeBox({0, 0, 0}, {2, 2, 2}), {1, 1, 1}, {3, 3, 3}).surface;
    planes.pop_back();
    EXPECT_FALSE(CapFromPolytope(open, cell, planes, CapStyle{}, 1e-12));
    EXPECT_FALSE(CapFromPolytope(open, CellPolytope{}, {}, CapStyle{}, 1e-12));
    // Damaged polygons (a corner index or a face range out of bounds) are refused, not walked.
    BoxCell({1, 1, 1}, {3, 3, 3}, planes);
    CellPolytope badCorner = cell, badRange = cell;
    badCorner.faceVerts[5] = 8;
    badRange.faceStart[3] = 40;
    EXPECT_FALSE(CapFromPolytope(open, badCorner, planes, CapStyle{}, 1e-12));
    EXPECT_FALSE(CapFromPolytope(open, badRange, planes, CapStyle{}, 1e-12));
    EXPECT_TRUE(CapFromPolytope(open, cell, planes, CapStyle{}, 1e-12));
}

} // namespace
} // namespace Quarix::Shatter
