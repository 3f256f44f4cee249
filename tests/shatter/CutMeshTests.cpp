#include "tests/fixtures/shatter/ShatterTestMeshes.h"

#include "shatter/CutMesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace Quarix::Shatter {
namespace {

using namespace Test;

ShatterMesh ToShatterMesh(const CutMesh& cut) {
    ShatterMesh m;
    m.verts = cut.verts;
    for (const CutFace& f : cut.faces)
        m.faces.push_back({f.v, f.flags, f.smoothing});
    for (const CutChannel& c : cut.channels)
        m.channels[c.number] = {c.verts, c.faces};
    return m;
}

CapStyle InnerStyle() {
    CapStyle style;
    style.materialId = kInnerMaterial;
    return style;
}

struct ClipCase {
    const char* name;
    ShatterMesh mesh;
    Plane plane;
};

TEST(PlaneClipper, KeptPartIsClosedAndHoldsTheVolumeBelowThePlane) {
    const double pi = 3.141592653589793;
    const Vec3 diagonal = Normalized(Vec3(1, -1, 0));
    ClipCase cases[] = {
        // A plane through the middle of a box.
        {"box", MakeBox({0, 0, 0}, {1, 1, 1}), {{0, 0, 1}, 0.5}},
        // A plane through four box vertices: the cut runs along existing edges and corners.
        {"box diagonal", MakeBox({0, 0, 0}, {1, 1, 1}), {diagonal, 0.0}},
        // The torus's equator: the cap is an annulus, a polygon with a hole.
        {"torus", MakeTorus(2.0, 0.5, 48, 24), {{0, 0, 1}, 0.0}},
        // Across both legs of the L: the cap is non-convex.
        {"L prism", MakeLPrism(), {Normalized(Vec3(0, 0.2, 1)), 0.5}},
    };
    for (ClipCase& c : cases) {
        SCOPED_TRACE(c.name);
        CutMesh in = CutMesh::FromShatterMesh(c.mesh);
        CutMesh lower, upper;
        PlaneClipper clipper(1e-12);
        ASSERT_EQ(clipper.Clip(in, c.plane, InnerStyle(), lower), ClipResult::Cut);
        ASSERT_EQ(clipper.Clip(in, c.plane.Flipped(), InnerStyle(), upper), ClipResult::Cut);
        ShatterMesh a = ToShatterMesh(lower), b = ToShatterMesh(upper);
        EXPECT_TRUE(IsClosedManifold(Tris(a)));
        EXPECT_TRUE(IsClosedManifold(Tris(b)));
        const double whole = SignedVolume(c.mesh);
        EXPECT_NEAR(SignedVolume(a) + SignedVolume(b), whole, 1e-12 * std::fabs(whole));
        // The caps of the two halves cover the same region of the plane.
        EXPECT_NEAR(AreaOfMaterial(a, kInnerMaterial), AreaOfMaterial(b, kInnerMaterial), 1e-9);
        EXPECT_GT(AreaOfMaterial(a, kInnerMaterial), 0.0);
        for (const MeshFace& f : a.faces) {
            if (f.MaterialId() != kInnerMaterial)
                continue;
            Vec3 n = FaceNormal(a, f);
            EXPECT_NEAR(Dot(n, c.plane.normal), 1.0, 1e-9);
        }
    }
    // The annulus cap of the torus: pi (R_out^2 - R_in^2) up to the polygon's faceting.
    CutMesh torus = CutMesh::FromShatterMesh(MakeTorus(2.0, 0.5, 48, 24)), half;
    PlaneClipper clipper(1e-12);
    clipper.Clip(torus, {{0, 0, 1}, 0.0}, InnerStyle(), half);
    EXPECT_NEAR(AreaOfMaterial(ToShatterMesh(half), kInnerMaterial), pi * (2.5 * 2.5 - 1.5 * 1.5),
                0.1);
}

TEST(PlaneClipper, PlanesThroughBoxFacesOrOutsideItLeaveItWholeOrEmpty) {
    CutMesh box = CutMesh::FromShatterMesh(MakeBox({0, 0, 0}, {1, 1, 1}));
    CutMesh out;
    PlaneClipper clipper(1e-12);
    // The top face lies in the plane and faces the removed side: kept, nothing to cut.
    EXPECT_EQ(clipper.Clip(box, {{0, 0, 1}, 1.0}, InnerStyle(), out), ClipResult::Unchanged);
    EXPECT_EQ(clipper.Clip(box, {{0, 0, 1}, 2.0}, InnerStyle(), out), ClipResult::Unchanged);
    // Only the bottom face lies in the plane, the rest is removed.
    EXPECT_EQ(clipper.Clip(box, {{0, 0, 1}, 0.0}, InnerStyle(), out), ClipResult::Empty);
    // Within the snap distance of a face counts as on it.
    PlaneClipper snapping(1e-6);
    EXPECT_EQ(snapping.Clip(box, {{0, 0, 1}, 1.0 - 1e-7}, InnerStyle(), out),
              ClipResult::Unchanged);
}

TEST(PlaneClipper, CutOuterFacesKeepInterpolatedMapsNormalsAndAttributes) {
    ShatterMesh source = MakeBox({0, 0, 0}, {2, 1, 1});
    CutMesh box = CutMesh::FromShatterMesh(source);
    CutMesh out;
    PlaneClipper clipper(1e-12);
    const Plane plane{Normalized(Vec3(1, 0.3, 0.2)), 1.1};
    ASSERT_EQ(clipper.Clip(box, plane, InnerStyle(), out), ClipResult::Cut);
    ShatterMesh cut = ToShatterMesh(out);
    const MapChannel& uv = cut.channels.at(kUvChannel);
    const MapChannel& normals = cut.channels.at(kNormalChannel);
    int outer = 0;
    for (std::size_t f = 0; f < cut.faces.size(); ++f) {
        const MeshFace& face = cut.faces[f];
        const Vec3 n = FaceNormal(cut, face);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(Length(normals.verts[normals.faces[f][i]] - n), 0.0, 1e-9);
            if (face.MaterialId() == kOuterMaterial) {
                Vec3 expected = BoxUv(cut.verts[face.v[i]], n);
                EXPECT_NEAR(Length(uv.verts[uv.faces[f][i]] - expected), 0.0, 1e-12);
            }
        }
        if (face.MaterialId() == kOuterMaterial) {
            ++outer;
            // Each box side has its own smoothing bit.
            int side = n.x < -0.5   ? 0
                       : n.x > 0.5  ? 1
                       : n.y < -0.5 ? 2
                       : n.y > 0.5  ? 3
                       : n.z < -0.5 ? 4
                                    : 5;
            EXPECT_EQ(face.smoothing, 1u << side);
        } else {
            EXPECT_EQ(face.MaterialId(), kInnerMaterial);
            EXPECT_EQ(face.smoothing, 0u);
        }
    }
    EXPECT_GT(outer, 0);
}

TEST(PlaneClipper, EdgeVisibilityMarksCreasesButHidesSplitDiagonals) {
    // One quad side of the box split by a plane: every visible edge of the result must lie on a
    // box edge or on the cut line, and the cut line must be visible on both sides of it.
    CutMesh box = CutMesh::FromShatterMesh(MakeBox({0, 0, 0}, {1, 1, 1}));
    CutMesh out;
    PlaneClipper clipper(1e-12);
    const Plane plane{{0, 0, 1}, 0.4};
    ASSERT_EQ(clipper.Clip(box, plane, InnerStyle(), out), ClipResult::Cut);
    auto onBoxEdge = [](const Vec3& p, const Vec3& q) {
        int shared = 0;
        for (int k = 0; k < 3; ++k) {
            bool pBound = p[k] == 0.0 || p[k] == 1.0;
            if (pBound && p[k] == q[k])
                ++shared;
        }
        return shared >= 2;
    };
    std::set<std::pair<int, int>> outerEdges;
    for (const CutFace& f : out.faces)
        if (!f.inner)
            for (int i = 0; i < 3; ++i)
                outerEdges.insert(std::minmax(f.v[i], f.v[(i + 1) % 3]));
    int cutEdges = 0;
    for (const CutFace& f : out.faces)
        for (int i = 0; i < 3; ++i) {
            const int a = f.v[i], b = f.v[(i + 1) % 3];
            const Vec3 &p = out.verts[a], &q = out.verts[b];
            const bool visible = (f.flags >> i) & 1u;
            if (f.inner) {
                // Cap edges are visible where they meet the surface, hidden inside the cap.
                EXPECT_EQ(visible, outerEdges.count(std::minmax(a, b)) == 1);
            } else if (std::fabs(plane.Distance(p)) < 1e-12 &&
                       std::fabs(plane.Distance(q)) < 1e-12) {
                EXPECT_TRUE(visible);
                ++cutEdges;
            } else {
                EXPECT_EQ(visible, onBoxEdge(p, q));
            }
        }
    EXPECT_GT(cutEdges, 0);
}

} // namespace
} // namespace Quarix::Shatter
