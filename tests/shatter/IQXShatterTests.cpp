#include "host/IQXShatter.h"

#include "shatter/ShatterMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace Quarix {
namespace {

using namespace IQXShatter;

constexpr int kUv = 1;
constexpr int kOuterMaterial = 2;
constexpr int kInnerMaterial = 16;

/// A 2 x 1 x 1 host box with texture coordinates (x, y) in channel 1, the hidden flag on one
/// face, and specified normals for every face.
Mesh MakeHostBox() {
    Mesh m;
    m.setNumVerts(8);
    for (int i = 0; i < 8; ++i)
        m.verts[i] = Point3((i & 1) ? 2.0f : 0.0f, (i & 2) ? 1.0f : 0.0f, (i & 4) ? 1.0f : 0.0f);
    const int quads[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    const Point3 normals[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    m.setNumFaces(12);
    m.setMapSupport(kUv);
    m.setNumMapVerts(kUv, 8);
    for (int i = 0; i < 8; ++i)
        m.Map(kUv).tv[i] = Point3(m.verts[i].x, m.verts[i].y, 0.0f);
    m.SpecifyNormals();
    MeshNormalSpec& spec = *m.GetSpecifiedNormals();
    spec.SetNumNormals(6);
    spec.SetNumFaces(12);
    for (int s = 0; s < 6; ++s) {
        spec.Normal(s) = normals[s];
        spec.SetNormalExplicit(s, true);
        const int* q = quads[s];
        const int tris[2][3] = {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}};
        for (int k = 0; k < 2; ++k) {
            Face& f = m.faces[2 * s + k];
            f.setVerts(tris[k]);
            f.setEdgeVisFlags(TRUE, TRUE, TRUE);
            f.setMatID(kOuterMaterial);
            f.setSmGroup(1u << s);
            m.Map(kUv).tf[2 * s + k] = TVFace(tris[k][0], tris[k][1], tris[k][2]);
            for (int c = 0; c < 3; ++c)
                spec.Face(2 * s + k).SetNormalID(c, s);
        }
    }
    m.faces[0].Hide();
    return m;
}

double Volume(const Mesh& m) {
    double sum = 0.0;
    for (const Face& f : m.faces) {
        Point3 a = m.verts[f.v[0]], b = m.verts[f.v[1]], c = m.verts[f.v[2]];
        sum += static_cast<double>(a % (b ^ c));
    }
    return sum / 6.0;
}

/// The calls the rigid modifier makes to fragment a body, in its order and with its values.
QXShatterPtr RunAsModifierDoes(Mesh& mesh, int count, float bias, const Point3& impact) {
    QXShatterPtr shatter = New(mesh, 0, true);
    Interval valid(TIME_NegInfinity, TIME_NegInfinity);
    Matrix3 tm;
    tm.SetTrans(impact);
    IQXParams::setParam<int>(shatter, kParamFragmentCount, 0, count, valid, 0);
    IQXParams::setParam<int>(shatter, kParamInnerMaterialId, 0, kInnerMaterial, valid, 0);
    IQXParams::setParam<Matrix3>(shatter, kParamImpactTransform, 0, tm, valid, 0);
    IQXParams::setParam<float>(shatter, kParamBias, 0, bias, valid, 0);
    Interval all(TIME_NegInfinity, TIME_PosInfinity);
    Modify(shatter, 0, all);
    GetFinalMesh(shatter, mesh);
    return shatter;
}

TEST(IQXShatter, ModifierCallSequenceFragmentsTheHostMesh) {
    Mesh mesh = MakeHostBox();
    const int cornersBefore = mesh.getNumFaces() * 3;
    RunAsModifierDoes(mesh, 20, 0.5f, Point3(0.2f, 0.2f, 0.2f));
    std::string why;
    ASSERT_TRUE(mesh.IsValid(&why)) << why;
    EXPECT_NE(mesh.getNumFaces() * 3, cornersBefore);
    EXPECT_NEAR(Volume(mesh), 2.0, 1e-4 * 2.0);

    std::vector<Shatter::Tri> tris;
    for (const Face& f : mesh.faces)
        tris.push_back(
            {static_cast<int>(f.v[0]), static_cast<int>(f.v[1]), static_cast<int>(f.v[2])});
    EXPECT_TRUE(Shatter::IsClosedManifold(tris));
    int elements = 0;
    Shatter::LabelEdgeConnectedElements(tris, &elements);
    EXPECT_GE(elements, 20);

    int inner = 0, hidden = 0;
    ASSERT_TRUE(mesh.mapSupport(kUv));
    ASSERT_NE(mesh.GetSpecifiedNormals(), nullptr);
    const MeshNormalSpec& spec = *mesh.GetSpecifiedNormals();
    ASSERT_EQ(spec.GetNumFaces(), mesh.getNumFaces());
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        const Face& face = mesh.faces[f];
        hidden += face.Hidden();
        Point3 a = mesh.verts[face.v[0]], b = mesh.verts[face.v[1]], c = mesh.verts[face.v[2]];
        Point3 n = ((b - a) ^ (c - a)).Normalize();
        if (face.getMatID() == kInnerMaterial) {
            ++inner;
            EXPECT_NE(face.getSmGroup(), 0u);
            EXPECT_EQ(face.getSmGroup() & 0x3fu, 0u); // no bit the box sides use
        } else {
            EXPECT_EQ(face.getMatID(), kOuterMaterial);
            EXPECT_NE(face.getSmGroup(), 0u);
            // Outer texture coordinates still equal (x, y) of the corner.
            for (int c = 0; c < 3; ++c) {
                Point3 uv = mesh.Map(kUv).tv[mesh.Map(kUv).tf[f].t[c]];
                Point3 p = mesh.verts[face.v[c]];
                EXPECT_NEAR(uv.x, p.x, 1e-5f);
                EXPECT_NEAR(uv.y, p.y, 1e-5f);
            }
        }
        // Normals of float-rounded slivers are too noisy to compare.
        if (((b - a) ^ (c - a)).Length() > 1e-3f) {
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR((spec.Normal(spec.GetNormalIndex(f, c)) - n).Length(), 0.0f, 1e-2f);
        }
    }
    EXPECT_GT(inner, 0);
    EXPECT_GT(hidden, 0); // the hidden flag of the source face travels with its parts
}

TEST(IQXShatter, CountOfOneLeavesTheMeshAndItsCornerCountUnchanged) {
    Mesh mesh = MakeHostBox();
    const Mesh before = mesh;
    QXShatterPtr shatter = RunAsModifierDoes(mesh, 1, 0.0f, Point3(0, 0, 0));
    EXPECT_TRUE(mesh == before);
    Mesh other = MakeHostBox();
    EXPECT_FALSE(GetFinalMesh(shatter, other));
}

TEST(IQXShatter, CloneAndSeedGiveRepeatableResults) {
    Mesh source = MakeHostBox();
    QXShatterPtr a = New(source, 5, true);
    Interval valid;
    IQXParams::setParam<int>(a, kParamFragmentCount, 0, 12, valid, 0);
    QXShatterPtr b = Clone(a);
    ASSERT_NE(b, nullptr);
    Modify(a, 0, valid);
    Modify(b, 0, valid);
    Mesh ma, mb;
    ASSERT_TRUE(GetFinalMesh(a, ma));
    ASSERT_TRUE(GetFinalMesh(b, mb));
    EXPECT_TRUE(ma == mb);

    IQXParams::setParam<int>(b, kParamRandomSeed, 0, 6, valid, 0);
    Modify(b, 0, valid);
    GetFinalMesh(b, mb);
    EXPECT_FALSE(ma == mb);

    QXShatterPtr none(nullptr, nullptr);
    EXPECT_EQ(Clone(none), nullptr);
}

TEST(IQXShatter, RepairedValuesAreReportedAsWarnings) {
    Mesh mesh = MakeHostBox();
    mesh.Map(kUv).tv[3].y = NAN;
    QXShatterPtr shatter = RunAsModifierDoes(mesh, 6, 0.0f, Point3(0, 0, 0));
    EXPECT_NE(GetWarnings(shatter).find("non-finite"), std::string::npos);
    EXPECT_GT(mesh.getNumFaces(), 12);
    Mesh clean = MakeHostBox();
    QXShatterPtr quiet = RunAsModifierDoes(clean, 6, 0.0f, Point3(0, 0, 0));
    EXPECT_EQ(GetWarnings(quiet), "");
    QXShatterPtr none(nullptr, nullptr);
    EXPECT_EQ(GetWarnings(none), "");
}

TEST(IQXShatter, MisuseThrowsStdExceptions) {
    Mesh source = MakeHostBox();
    QXShatterPtr shatter = New(source, 0, true);
    Interval valid;
    Matrix3 tm;
    EXPECT_THROW(IQXParams::setParam<int>(shatter, 12345, 0, 3, valid, 0), std::invalid_argument);
    EXPECT_THROW(IQXParams::setParam<float>(shatter, kParamFragmentCount, 0, 3.0f, valid, 0),
                 std::invalid_argument);
    EXPECT_THROW(IQXParams::setParam<int>(shatter, kParamBias, 0, 1, valid, 0),
                 std::invalid_argument);
    EXPECT_THROW(IQXParams::setParam<Matrix3>(shatter, kParamBias, 0, tm, valid, 0),
                 std::invalid_argument);
    EXPECT_THROW(IQXParams::setParam<int>(shatter, kParamFragmentCount, 0, 3, valid, 1),
                 std::invalid_argument);
    EXPECT_THROW(IQXParams::setParam<float>(shatter, kParamBias, 0, NAN, valid, 0),
                 std::invalid_argument);

    QXShatterPtr none(nullptr, nullptr);
    EXPECT_THROW(Modify(none, 0, valid), std::invalid_argument);
    EXPECT_THROW(GetFinalMesh(none, source), std::invalid_argument);

    // A face pointing past the vertices is reported when the cut runs.
    Mesh broken = MakeHostBox();
    broken.faces[4].v[2] = 99;
    QXShatterPtr bad = New(broken, 0, true);
    IQXParams::setParam<int>(bad, kParamFragmentCount, 0, 5, valid, 0);
    EXPECT_THROW(Modify(bad, 0, valid), std::invalid_argument);
}

} // namespace
} // namespace Quarix
