#include "host/Box3.h"
#include "host/Interval.h"
#include "host/Quat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

TEST(Interval, IntersectionAndEmptiness) {
    Interval a(0, 100);
    EXPECT_EQ((a & Interval(50, 200)), Interval(50, 100));
    EXPECT_TRUE((a & Interval(101, 200)).Empty());
    EXPECT_TRUE(Interval(5, 4).Empty());
    EXPECT_TRUE(NEVER.Empty());
    EXPECT_FALSE(NEVER.InInterval(TIME_NegInfinity));
    EXPECT_TRUE(FOREVER.InInterval(TIME_PosInfinity));
    Interval valid = FOREVER;
    valid &= Interval(10, 10);
    EXPECT_EQ(valid.Start(), 10);
    EXPECT_EQ(valid.End(), 10);
    EXPECT_TRUE(FOREVER.InInterval(Interval(-5, 5)));
    EXPECT_EQ(Interval(10, 25).Duration(), 15);
    EXPECT_EQ(FOREVER.Duration(), TIME_PosInfinity);
    EXPECT_EQ(NEVER.Duration(), 0);
    Interval grown;
    grown += 7;
    grown += -3;
    EXPECT_EQ(grown, Interval(-3, 7));
    EXPECT_FALSE(Interval(0, 4).InInterval(Interval(-5, 5)));
}

TEST(Matrix3, RowVectorConventionWithTranslationInLastRow) {
    Matrix3 m = RotateZMatrix(kPi / 2);
    m.SetTrans(Point3(10, 0, 0));
    Point3 p = Point3(1, 0, 0) * m;
    EXPECT_TRUE(p.Equals(Point3(10, 1, 0), 1e-6f));
    EXPECT_EQ(m.GetRow(3), Point3(10, 0, 0));

    // A * B applies A first: translate then rotate moves the translated point.
    Matrix3 ab = TransMatrix(Point3(1, 0, 0)) * RotateZMatrix(kPi / 2);
    EXPECT_TRUE((Point3(0, 0, 0) * ab).Equals(Point3(0, 1, 0), 1e-6f));
}

TEST(Matrix3, InverseUndoesScaledRotatedTransform) {
    Matrix3 m = ScaleMatrix(Point3(2, 3, 0.5f)) * RotateXMatrix(0.3f) * RotateYMatrix(-1.2f);
    m.SetTrans(Point3(4, -5, 6));
    Matrix3 product = m * Inverse(m);
    EXPECT_TRUE(product.Equals(Matrix3(), 1e-5f));
    // A singular matrix has no inverse; the identity comes back rather than infinities.
    EXPECT_TRUE(Inverse(Matrix3(false)).IsIdentity());
}

TEST(Quat, MatrixRoundTripAndComposition) {
    Quat a(AngAxis(Point3(1, 2, 3).Normalize(), 0.7f));
    Quat b(AngAxis(Point3(0, 0, 1), -1.1f));
    Matrix3 ma = a.ToMatrix(), mb = b.ToMatrix();
    EXPECT_TRUE(Quat(ma).Equals(a));
    EXPECT_TRUE((a * b).ToMatrix().Equals(ma * mb, 1e-5f));
    // Positive angles turn counter-clockwise, matching RotateZMatrix.
    EXPECT_TRUE(Quat(AngAxis(Point3(0, 0, 1), 0.5f)).ToMatrix().Equals(RotateZMatrix(0.5f), 1e-6f));
    AngAxis back(a);
    EXPECT_NEAR(back.angle, 0.7f, 1e-5f);
}

TEST(Quat, SlerpTakesShortestArcAndHitsEnds) {
    Quat p;
    Quat q(AngAxis(Point3(0, 0, 1), kPi / 2));
    EXPECT_TRUE(Slerp(p, q, 0.0f).Equals(p));
    EXPECT_TRUE(Slerp(p, q, 1.0f).Equals(q));
    EXPECT_TRUE(Slerp(p, q, 0.5f).Equals(Quat(AngAxis(Point3(0, 0, 1), kPi / 4))));
    // -q is the same rotation; the result must not take the long way round.
    Quat negq(-q.x, -q.y, -q.z, -q.w);
    EXPECT_TRUE(Slerp(p, negq, 0.5f).Equals(Quat(AngAxis(Point3(0, 0, 1), kPi / 4))));
}

TEST(Quat, DecomposeRecomposesIncludingMirror) {
    Matrix3 m = ScaleMatrix(Point3(-2, 3, 4)) * RotateYMatrix(0.4f) * TransMatrix(Point3(1, 2, 3));
    AffineParts parts = DecompAffine(m);
    EXPECT_TRUE(parts.t.Equals(Point3(1, 2, 3)));
    EXPECT_LT(parts.s.x, 0.0f);
    EXPECT_TRUE(ComposeAffine(parts).Equals(m, 1e-5f));
}

TEST(Box3, EmptyGrowsAndTransforms) {
    Box3 box;
    EXPECT_TRUE(box.IsEmpty());
    EXPECT_TRUE((box * RotateZMatrix(1.0f)).IsEmpty());
    box += Point3(-1, -1, -1);
    box += Point3(1, 1, 1);
    Box3 turned = box * RotateZMatrix(kPi / 4);
    EXPECT_NEAR(turned.pmax.x, std::sqrt(2.0f), 1e-5f);
    EXPECT_NEAR(turned.pmax.z, 1.0f, 1e-6f);
}

} // namespace
