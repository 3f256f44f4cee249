#include "shatter/PolygonTriangulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <utility>

namespace Quarix::Shatter {
namespace {

struct Polygon {
    std::vector<Point2> points;
    std::vector<std::vector<int>> rings;

    void AddRing(std::initializer_list<Point2> ring) {
        std::vector<int> r;
        for (const Point2& p : ring) {
            r.push_back(static_cast<int>(points.size()));
            points.push_back(p);
        }
        rings.push_back(r);
    }
    double Area2() const {
        double a = 0.0;
        for (const auto& r : rings)
            a += RingArea2(points, r);
        return a;
    }
};

double TriArea2(const std::vector<Point2>& p, const Tri& t) {
    const Point2 &a = p[t[0]], &b = p[t[1]], &c = p[t[2]];
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

/// Every ring edge must appear in exactly one triangle, in ring direction, and every other
/// (diagonal) edge exactly once in each direction: the triangles then close the boundary.
void ExpectClosesRings(const Polygon& poly, const std::vector<Tri>& tris) {
    std::map<std::pair<int, int>, int> count;
    for (const Tri& t : tris)
        for (int i = 0; i < 3; ++i)
            ++count[{t[i], t[(i + 1) % 3]}];
    std::map<std::pair<int, int>, int> ringEdges;
    for (const auto& r : poly.rings)
        for (std::size_t i = 0; i < r.size(); ++i)
            ++ringEdges[{r[i], r[(i + 1) % r.size()]}];
    for (const auto& [edge, n] : count) {
        auto reverse = std::make_pair(edge.second, edge.first);
        int expected = ringEdges.count(edge) ? 1 : 0;
        int reverseCount = count.count(reverse) ? count.at(reverse) : 0;
        EXPECT_EQ(n - expected, reverseCount) << edge.first << "->" << edge.second;
    }
    for (const auto& [edge, n] : ringEdges)
        EXPECT_EQ(count.count(edge) ? count.at(edge) : 0, n) << edge.first << "->" << edge.second;
}

double SumArea2(const Polygon& poly, const std::vector<Tri>& tris) {
    double a = 0.0;
    for (const Tri& t : tris)
        a += TriArea2(poly.points, t);
    return a;
}

TEST(PolygonTriangulator, ConcaveAndHoledPolygonsGiveProperCounterClockwiseTriangles) {
    Polygon comb;
    comb.AddRing({{0, 0},
                  {5, 0},
                  {5, 3},
                  {4, 3},
                  {4, 1},
                  {3, 1},
                  {3, 3},
                  {2, 3},
                  {2, 1},
                  {1, 1},
                  {1, 3},
                  {0, 3}});
    Polygon frame;
    frame.AddRing({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    frame.AddRing({{1, 1}, {1, 2}, {2, 2}, {2, 1}});
    frame.AddRing({{2.5, 2.5}, {2.5, 3.5}, {3.5, 3.5}, {3.5, 2.5}});

    for (const Polygon* poly : {&comb, &frame}) {
        std::vector<Tri> tris;
        TriangulatePolygon(poly->points, poly->rings, tris);
        std::size_t vertices = poly->points.size();
        std::size_t holes = poly->rings.size() - 1;
        EXPECT_EQ(tris.size(), vertices - 2 + 2 * holes);
        for (const Tri& t : tris)
            EXPECT_GT(TriArea2(poly->points, t), 0.0);
        EXPECT_NEAR(SumArea2(*poly, tris), poly->Area2(), 1e-12);
        ExpectClosesRings(*poly, tris);
    }
}

TEST(PolygonTriangulator, DegenerateRingsStillCloseAndKeepTheirSignedArea) {
    // Collinear runs, a repeated point, a bow tie and a ring without area.
    Polygon collinear;
    collinear.AddRing({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {2, 1}, {2, 1}, {0, 1}});
    Polygon bowTie;
    bowTie.AddRing({{0, 0}, {2, 2}, {2, 0}, {0, 2}});
    Polygon line;
    line.AddRing({{0, 0}, {1, 0}, {2, 0}});

    for (const Polygon* poly : {&collinear, &bowTie, &line}) {
        std::vector<Tri> tris;
        TriangulatePolygon(poly->points, poly->rings, tris);
        EXPECT_NEAR(SumArea2(*poly, tris), poly->Area2(), 1e-12);
        ExpectClosesRings(*poly, tris);
    }
}

TEST(PolygonTriangulator, StraightRunsEndInRealTrianglesNotSlivers) {
    // Three corners in a line: clipping the ear at the apex first would leave them as a
    // zero-area triangle, whose normal is noise. A convex ring and a non-convex one.
    Polygon quad;
    quad.AddRing({{0, 1}, {0, 0}, {1, 0}, {2, 0}});
    Polygon notch;
    notch.AddRing({{0, 1}, {0, 0}, {1, 0}, {2, 0}, {2, 2}, {1, 0.5}});
    for (const Polygon* poly : {&quad, &notch}) {
        std::vector<Tri> tris;
        TriangulatePolygon(poly->points, poly->rings, tris);
        ExpectClosesRings(*poly, tris);
        EXPECT_NEAR(SumArea2(*poly, tris), poly->Area2(), 1e-12);
        for (const Tri& t : tris)
            EXPECT_GT(TriArea2(poly->points, t), 1e-9) << t[0] << " " << t[1] << " " << t[2];
    }
}

TEST(PolygonTriangulator, RingTouchingItselfKeepsItsArea) {
    // Two lobes meeting at point 2; the cut-face builder splits such rings before triangulating,
    // but the triangulator must still terminate with the right area.
    Polygon pinched;
    pinched.points = {{0, 0}, {2, 0}, {1, 1}, {2, 2}, {0, 2}};
    pinched.rings = {{0, 1, 2, 3, 4, 2}};
    std::vector<Tri> tris;
    TriangulatePolygon(pinched.points, pinched.rings, tris);
    EXPECT_NEAR(SumArea2(pinched, tris), pinched.Area2(), 1e-12);
}

TEST(PolygonTriangulator, HoleOutsideTheOuterRingIsCappedOnItsOwn) {
    Polygon poly;
    poly.AddRing({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    poly.AddRing({{5, 5}, {5, 6}, {6, 6}, {6, 5}});
    std::vector<Tri> tris;
    TriangulatePolygon(poly.points, poly.rings, tris);
    EXPECT_NEAR(SumArea2(poly, tris), poly.Area2(), 1e-12);
    ExpectClosesRings(poly, tris);
}

TEST(PolygonTriangulator, LargeRoundRingIsTriangulatedWithoutFallback) {
    Polygon circle;
    std::vector<int> ring;
    const int n = 400;
    for (int i = 0; i < n; ++i) {
        double a = 2.0 * 3.141592653589793 * i / n;
        double r = (i % 2) ? 1.0 : 0.97; // a slightly starred outline: every other vertex reflex
        ring.push_back(i);
        circle.points.push_back({r * std::cos(a), r * std::sin(a)});
    }
    circle.rings = {ring};
    std::vector<Tri> tris;
    TriangulatePolygon(circle.points, circle.rings, tris);
    EXPECT_EQ(tris.size(), static_cast<std::size_t>(n - 2));
    for (const Tri& t : tris)
        EXPECT_GT(TriArea2(circle.points, t), 0.0);
    EXPECT_NEAR(SumArea2(circle, tris), circle.Area2(), 1e-9);
}

} // namespace
} // namespace Quarix::Shatter
