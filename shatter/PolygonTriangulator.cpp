#include "shatter/PolygonTriangulator.h"

#include <algorithm>
#include <cmath>

namespace Quarix::Shatter {

namespace {

/// Above this many vertices a stuck ring is fanned at once instead of searched for a diagonal,
/// whose cost grows with the cube of the ring size.
constexpr int kMaxDiagonalSearchSize = 256;
/// Twice-areas below this fraction of the squared polygon size count as zero. Rounding alone
/// can put a vertex that lies on an ear's edge a hair outside it; clipping that ear would leave
/// a zero-area sliver behind, so near-flat configurations block ears as if exact.
constexpr double kFlatTolerance = 1e-12;

double Cross(const Point2& a, const Point2& b, const Point2& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool SamePoint(const Point2& a, const Point2& b) {
    return a.x == b.x && a.y == b.y;
}

/// Inclusive containment in a triangle of either orientation.
bool InTriangle(const Point2& a, const Point2& b, const Point2& c, const Point2& p) {
    double d1 = Cross(a, b, p), d2 = Cross(b, c, p), d3 = Cross(c, a, p);
    bool hasNeg = d1 < 0 || d2 < 0 || d3 < 0;
    bool hasPos = d1 > 0 || d2 > 0 || d3 > 0;
    return !(hasNeg && hasPos);
}

/// Containment in a counter-clockwise triangle, counting points within `tol` (a twice-area
/// scaled by edge length) of its edges as inside.
bool InTriangleCcw(const Point2& a, const Point2& b, const Point2& c, const Point2& p, double tol) {
    return Cross(a, b, p) >= -tol && Cross(b, c, p) >= -tol && Cross(c, a, p) >= -tol;
}

int Sign(double v) {
    return (v > 0) - (v < 0);
}

bool OnSegment(const Point2& p, const Point2& q, const Point2& r) {
    return q.x <= std::max(p.x, r.x) && q.x >= std::min(p.x, r.x) && q.y <= std::max(p.y, r.y) &&
           q.y >= std::min(p.y, r.y);
}

bool SegmentsIntersect(const Point2& p1, const Point2& q1, const Point2& p2, const Point2& q2) {
    int o1 = Sign(Cross(p1, q1, p2)), o2 = Sign(Cross(p1, q1, q2));
    int o3 = Sign(Cross(p2, q2, p1)), o4 = Sign(Cross(p2, q2, q1));
    if (o1 != o2 && o3 != o4)
        return true;
    return (o1 == 0 && OnSegment(p1, p2, q1)) || (o2 == 0 && OnSegment(p1, q2, q1)) ||
           (o3 == 0 && OnSegment(p2, p1, q2)) || (o4 == 0 && OnSegment(p2, q1, q2));
}

/// Ear clipping on circular doubly linked lists of ring vertices. Holes are joined to the outer
/// ring by bridges (a pair of coincident edges) before clipping, which duplicates the two bridge
/// vertices; the duplicates keep their point index, so the output never contains new points.
class EarClipper {
public:
    EarClipper(const std::vector<Point2>& points, std::vector<Tri>& out)
        : points_(points), out_(out) {}

    void Run(const std::vector<std::vector<int>>& rings) {
        int outer = Link(rings[0]);
        if (outer < 0)
            return;
        double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
        for (const auto& ring : rings)
            for (int id : ring) {
                minX = std::min(minX, points_[id].x);
                maxX = std::max(maxX, points_[id].x);
                minY = std::min(minY, points_[id].y);
                maxY = std::max(maxY, points_[id].y);
            }
        const double size = std::max(maxX - minX, maxY - minY);
        flat_ = kFlatTolerance * size * size;
        // Cap outlines are nearly always convex (a convex cell meets a plane); without a
        // reflex corner no ring vertex can lie inside an ear, so the containment scan that makes
        // ear clipping quadratic is skipped. Clipping ears keeps a convex ring convex.
        convex_ = rings.size() == 1;
        for (int n = outer; convex_;) {
            convex_ = Cross(P(Prev(n)), P(n), P(Next(n))) >= -flat_;
            n = Next(n);
            if (n == outer)
                break;
        }
        outer = EliminateHoles(rings, outer);
        Clip(outer, 0);
    }

private:
    struct Node {
        int id;
        int prev;
        int next;
    };

    const Point2& P(int n) const { return points_[nodes_[n].id]; }
    int Next(int n) const { return nodes_[n].next; }
    int Prev(int n) const { return nodes_[n].prev; }

    int AddNode(int id, int after) {
        int n = static_cast<int>(nodes_.size());
        if (after < 0) {
            nodes_.push_back({id, n, n});
        } else {
            int next = nodes_[after].next;
            nodes_.push_back({id, after, next});
            nodes_[after].next = n;
            nodes_[next].prev = n;
        }
        return n;
    }

    /// Links a ring in the given order; returns its first node, or -1 for fewer than 3 vertices.
    int Link(const std::vector<int>& ring) {
        if (ring.size() < 3)
            return -1;
        int first = -1, last = -1;
        for (int id : ring) {
            last = AddNode(id, last);
            if (first < 0)
                first = last;
        }
        return first;
    }

    void Remove(int n) {
        nodes_[Prev(n)].next = Next(n);
        nodes_[Next(n)].prev = Prev(n);
    }

    /// Appends a triangle; one that visits a point twice (at a pinch vertex) has no area and
    /// its edges cancel, so it is left out.
    void Emit(int a, int b, int c) {
        const int ia = nodes_[a].id, ib = nodes_[b].id, ic = nodes_[c].id;
        if (ia != ib && ib != ic && ic != ia)
            out_.push_back({ia, ib, ic});
    }

    /// Joins a and b by a diagonal, splitting the ring in two; returns a node of the second ring.
    int Split(int a, int b) {
        convex_ = false;
        int a2 = static_cast<int>(nodes_.size());
        nodes_.push_back({nodes_[a].id, -1, -1});
        int b2 = static_cast<int>(nodes_.size());
        nodes_.push_back({nodes_[b].id, -1, -1});
        int an = Next(a), bp = Prev(b);
        nodes_[a].next = b;
        nodes_[b].prev = a;
        nodes_[a2].next = an;
        nodes_[an].prev = a2;
        nodes_[b2].next = a2;
        nodes_[a2].prev = b2;
        nodes_[bp].next = b2;
        nodes_[b2].prev = bp;
        return b2;
    }

    /// Fan from `start` over the whole ring: always closes the ring, whatever its shape.
    void Fan(int start) {
        for (int n = Next(start); Next(n) != start; n = Next(n))
            Emit(start, n, Next(n));
    }

    bool IsEar(int ear, bool allowFlat) const {
        int a = Prev(ear), c = Next(ear);
        const Point2 &pa = P(a), &pb = P(ear), &pc = P(c);
        double cr = Cross(pa, pb, pc);
        if (allowFlat ? cr < -flat_ : cr <= flat_)
            return false;
        // A strict ear that would leave a straight corner behind (its neighbours in line with
        // the vertex beyond) waits: clipping it first would end in a zero-area sliver.
        if (!allowFlat && Prev(a) != c &&
            (std::fabs(Cross(P(Prev(a)), pa, pc)) <= flat_ ||
             std::fabs(Cross(pa, pc, P(Next(c)))) <= flat_))
            return false;
        if (convex_)
            return true;
        double minX = std::min({pa.x, pb.x, pc.x}), maxX = std::max({pa.x, pb.x, pc.x});
        double minY = std::min({pa.y, pb.y, pc.y}), maxY = std::max({pa.y, pb.y, pc.y});
        for (int p = Next(c); p != a; p = Next(p)) {
            const Point2& pp = P(p);
            if (pp.x < minX || pp.x > maxX || pp.y < minY || pp.y > maxY)
                continue;
            if (SamePoint(pp, pa) || SamePoint(pp, pb) || SamePoint(pp, pc))
                continue;
            if (InTriangleCcw(pa, pb, pc, pp, flat_) && Cross(P(Prev(p)), pp, P(Next(p))) <= flat_)
                return false;
        }
        return true;
    }

    /// Pass 0 takes strictly convex ears, pass 1 also flat ones, then a diagonal split is tried
    /// and finally the ring is fanned.
    void Clip(int ear, int pass) {
        int stop = ear;
        while (Prev(ear) != Next(ear)) {
            int prev = Prev(ear), next = Next(ear);
            if (IsEar(ear, pass >= 1)) {
                Emit(prev, ear, next);
                Remove(ear);
                ear = Next(next);
                stop = ear;
                continue;
            }
            ear = next;
            if (ear == stop) {
                if (pass == 0)
                    Clip(ear, 1);
                else
                    SplitAndClip(ear);
                return;
            }
        }
    }

    int RingSize(int start) const {
        int size = 0;
        int n = start;
        do {
            ++size;
            n = Next(n);
        } while (n != start);
        return size;
    }

    void SplitAndClip(int start) {
        if (RingSize(start) <= kMaxDiagonalSearchSize) {
            int a = start;
            do {
                for (int b = Next(Next(a)); b != Prev(a); b = Next(b)) {
                    if (nodes_[a].id != nodes_[b].id && IsValidDiagonal(a, b)) {
                        int c = Split(a, b);
                        Clip(a, 0);
                        Clip(c, 0);
                        return;
                    }
                }
                a = Next(a);
            } while (a != start);
        }
        Fan(start);
    }

    bool IntersectsRing(int a, int b) const {
        int p = a;
        do {
            int q = Next(p);
            int pid = nodes_[p].id, qid = nodes_[q].id, aid = nodes_[a].id, bid = nodes_[b].id;
            if (pid != aid && qid != aid && pid != bid && qid != bid &&
                SegmentsIntersect(P(p), P(q), P(a), P(b)))
                return true;
            p = q;
        } while (p != a);
        return false;
    }

    bool LocallyInside(int a, int b) const {
        const Point2 &pa = P(a), &pb = P(b), &pp = P(Prev(a)), &pn = P(Next(a));
        if (Cross(pp, pa, pn) >= 0)
            return Cross(pa, pb, pn) <= 0 && Cross(pa, pp, pb) <= 0;
        return Cross(pa, pb, pp) > 0 || Cross(pa, pn, pb) > 0;
    }

    bool MiddleInside(int a, int b) const {
        double px = (P(a).x + P(b).x) * 0.5, py = (P(a).y + P(b).y) * 0.5;
        bool inside = false;
        int p = a;
        do {
            const Point2 &u = P(p), &v = P(Next(p));
            if ((u.y > py) != (v.y > py) && v.y != u.y &&
                px < (v.x - u.x) * (py - u.y) / (v.y - u.y) + u.x)
                inside = !inside;
            p = Next(p);
        } while (p != a);
        return inside;
    }

    bool IsValidDiagonal(int a, int b) const {
        return nodes_[Next(a)].id != nodes_[b].id && nodes_[Prev(a)].id != nodes_[b].id &&
               !SamePoint(P(a), P(b)) && !IntersectsRing(a, b) && LocallyInside(a, b) &&
               LocallyInside(b, a) && MiddleInside(a, b);
    }

    int Leftmost(int start) const {
        int best = start;
        for (int p = Next(start); p != start; p = Next(p))
            if (P(p).x < P(best).x || (P(p).x == P(best).x && P(p).y < P(best).y))
                best = p;
        return best;
    }

    int EliminateHoles(const std::vector<std::vector<int>>& rings, int outer) {
        std::vector<int> holes;
        for (std::size_t r = 1; r < rings.size(); ++r) {
            int h = Link(rings[r]);
            if (h >= 0)
                holes.push_back(Leftmost(h));
        }
        std::stable_sort(holes.begin(), holes.end(), [this](int a, int b) {
            return P(a).x < P(b).x || (P(a).x == P(b).x && P(a).y < P(b).y);
        });
        for (int hole : holes) {
            int bridge = FindHoleBridge(hole, outer);
            if (bridge < 0) {
                // No visible outer vertex (only for inconsistent input): cap the hole on its own;
                // its clockwise fan subtracts its area from the outer triangles.
                Fan(hole);
                continue;
            }
            Split(bridge, hole);
        }
        return outer;
    }

    /// Finds an outer vertex visible from the hole's leftmost vertex by casting a ray to the left.
    int FindHoleBridge(int hole, int outer) const {
        const double hx = P(hole).x, hy = P(hole).y;
        double qx = -HUGE_VAL;
        int m = -1;
        int p = outer;
        do {
            const Point2 &u = P(p), &v = P(Next(p));
            if (hy <= u.y && hy >= v.y && v.y != u.y) {
                double x = u.x + (hy - u.y) * (v.x - u.x) / (v.y - u.y);
                if (x <= hx && x > qx) {
                    qx = x;
                    m = u.x < v.x ? p : Next(p);
                    if (x == hx)
                        return m;
                }
            }
            p = Next(p);
        } while (p != outer);
        if (m < 0)
            return -1;

        // A vertex inside the triangle (hole, ray hit, m) could hide m; take the one closest in
        // angle to the ray instead.
        const int stop = m;
        const double mx = P(m).x, my = P(m).y;
        const Point2 ta{hx, hy}, tb{qx, hy}, tc{mx, my};
        double tanMin = HUGE_VAL;
        p = m;
        do {
            const Point2& pp = P(p);
            if (hx >= pp.x && pp.x >= mx && hx != pp.x && InTriangle(ta, tb, tc, pp)) {
                double tan = std::fabs(hy - pp.y) / (hx - pp.x);
                if (LocallyInside(p, hole) &&
                    (tan < tanMin ||
                     (tan == tanMin &&
                      (pp.x > P(m).x || (pp.x == P(m).x && SectorContains(m, p)))))) {
                    m = p;
                    tanMin = tan;
                }
            }
            p = Next(p);
        } while (p != stop);
        return m;
    }

    bool SectorContains(int m, int p) const {
        return Cross(P(Prev(m)), P(m), P(Prev(p))) > 0 && Cross(P(Next(p)), P(m), P(Next(m))) > 0;
    }

    const std::vector<Point2>& points_;
    std::vector<Tri>& out_;
    std::vector<Node> nodes_;
    double flat_ = 0.0;   // twice-area treated as zero, from kFlatTolerance and the polygon's size
    bool convex_ = false; // the ring has no reflex corner: every convex corner is an ear
};

} // namespace

double RingArea2(const std::vector<Point2>& points, const std::vector<int>& ring) {
    double sum = 0.0;
    const std::size_t n = ring.size();
    if (n < 3)
        return 0.0;
    const Point2& o = points[ring[0]];
    for (std::size_t i = 1; i + 1 < n; ++i)
        sum += Cross(o, points[ring[i]], points[ring[i + 1]]);
    return sum;
}

bool RingContains(const std::vector<Point2>& points, const std::vector<int>& ring, Point2 p) {
    bool inside = false;
    const std::size_t n = ring.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const Point2 &u = points[ring[i]], &v = points[ring[j]];
        if ((u.y > p.y) != (v.y > p.y) && p.x < (v.x - u.x) * (p.y - u.y) / (v.y - u.y) + u.x)
            inside = !inside;
    }
    return inside;
}

void TriangulatePolygon(const std::vector<Point2>& points,
                        const std::vector<std::vector<int>>& rings, std::vector<Tri>& out) {
    if (rings.empty())
        return;
    EarClipper clipper(points, out);
    clipper.Run(rings);
}

} // namespace Quarix::Shatter
