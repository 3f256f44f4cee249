// Closing a cut: the faces a plane clip leaves open along the plane are found as directed edges
// without a partner, chained into loops, sorted into outer boundaries and holes, and triangulated.

#include "shatter/CutMesh.h"
#include "shatter/PolygonTriangulator.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Quarix::Shatter {

namespace {

std::uint64_t PairKey(int a, int b) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) |
           static_cast<std::uint32_t>(b);
}

/// Two unit axes spanning the plane with Cross(e1, e2) = normal, so that counter-clockwise in
/// (e1, e2) coordinates means facing along the normal.
void PlaneAxes(const Vec3& normal, Vec3& e1, Vec3& e2) {
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    Vec3 axis = (ax <= ay && ax <= az) ? Vec3(1, 0, 0) : (ay <= az ? Vec3(0, 1, 0) : Vec3(0, 0, 1));
    e1 = Normalized(Cross(axis, normal));
    e2 = Cross(normal, e1);
}

/// Chains directed edges (sorted by start vertex) into loops of vertex ids. Chains that do not
/// close (only for inconsistent input) are dropped.
std::vector<std::vector<int>> ChainLoops(const std::vector<std::pair<int, int>>& edges) {
    std::vector<std::vector<int>> loops;
    std::vector<unsigned char> used(edges.size(), 0);
    for (std::size_t first = 0; first < edges.size(); ++first) {
        if (used[first])
            continue;
        std::vector<int> loop;
        std::size_t e = first;
        bool closed = false;
        while (true) {
            used[e] = 1;
            loop.push_back(edges[e].first);
            const int next = edges[e].second;
            if (next == loop.front()) {
                closed = true;
                break;
            }
            auto it = std::lower_bound(edges.begin(), edges.end(), std::make_pair(next, -1));
            std::size_t k = static_cast<std::size_t>(it - edges.begin());
            while (k < edges.size() && edges[k].first == next && used[k])
                ++k;
            if (k == edges.size() || edges[k].first != next)
                break;
            e = k;
        }
        if (closed && loop.size() >= 3)
            loops.push_back(std::move(loop));
    }
    return loops;
}

/// Splits loops that pass through a vertex more than once (where the cut touches itself, or a
/// hole touches the outer boundary) into simple loops, which the triangulator and the nesting
/// test can rely on. Pieces shorter than three vertices enclose nothing and are dropped.
/// `position` is scratch indexed by vertex id, all -1 on entry and on return.
std::vector<std::vector<int>> SplitAtRepeatedVertices(const std::vector<std::vector<int>>& loops,
                                                      std::vector<int>& position) {
    std::vector<std::vector<int>> simple;
    std::vector<int> stack;
    for (const std::vector<int>& loop : loops) {
        stack.clear();
        for (int v : loop) {
            const int at = position[v];
            if (at < 0) {
                position[v] = static_cast<int>(stack.size());
                stack.push_back(v);
                continue;
            }
            if (stack.size() - at >= 3)
                simple.emplace_back(stack.begin() + at, stack.end());
            for (std::size_t k = at + 1; k < stack.size(); ++k)
                position[stack[k]] = -1;
            stack.resize(at + 1);
        }
        for (int v : stack)
            position[v] = -1;
        if (stack.size() >= 3)
            simple.push_back(stack);
    }
    return simple;
}

} // namespace

void PlaneClipper::BuildCaps(const Plane& plane, const CapStyle& style, CutMesh& out) {
    // Directed edges of faces touching the plane whose both ends lie on it.
    std::vector<std::uint64_t> planeEdges;
    for (int f : touchedFaces_) {
        const Tri& t = out.faces[f].v;
        for (int i = 0; i < 3; ++i) {
            int a = t[i], b = t[(i + 1) % 3];
            if (onPlane_[a] && onPlane_[b])
                planeEdges.push_back(PairKey(a, b));
        }
    }
    std::sort(planeEdges.begin(), planeEdges.end());

    // An edge without its opposite borders the opening; the cap runs along it the other way.
    std::vector<std::pair<int, int>> capEdges;
    for (std::uint64_t key : planeEdges) {
        int a = static_cast<int>(key >> 32), b = static_cast<int>(key & 0xffffffffu);
        if (!std::binary_search(planeEdges.begin(), planeEdges.end(), PairKey(b, a)))
            capEdges.emplace_back(b, a);
    }
    if (capEdges.empty())
        return;
    std::sort(capEdges.begin(), capEdges.end());
    capEdges.erase(std::unique(capEdges.begin(), capEdges.end()), capEdges.end());

    loopPosition_.resize(out.verts.size(), -1);
    const std::vector<std::vector<int>> vertexLoops =
        SplitAtRepeatedVertices(ChainLoops(capEdges), loopPosition_);
    if (vertexLoops.empty())
        return;

    // Project into the plane, relative to a point of the cut to keep the coordinates small.
    Vec3 e1, e2;
    PlaneAxes(plane.normal, e1, e2);
    const Vec3 origin = out.verts[vertexLoops[0][0]];
    std::vector<Point2> points;
    std::vector<int> pointVertex;
    std::vector<std::vector<int>> loops;
    std::vector<double> area2;
    for (const std::vector<int>& vl : vertexLoops) {
        std::vector<int> ring;
        for (int v : vl) {
            Vec3 d = out.verts[v] - origin;
            ring.push_back(static_cast<int>(points.size()));
            points.push_back({Dot(d, e1), Dot(d, e2)});
            pointVertex.push_back(v);
        }
        area2.push_back(RingArea2(points, ring));
        loops.push_back(std::move(ring));
    }

    // Counter-clockwise loops bound material, clockwise ones are holes; each hole belongs to the
    // smallest outer loop around it.
    const std::size_t loopCount = loops.size();
    std::vector<int> owner(loopCount, -1);
    for (std::size_t h = 0; h < loopCount; ++h) {
        if (area2[h] >= 0.0)
            continue;
        // The middle of an edge: a vertex of the hole may touch the outer boundary.
        const Point2 &a = points[loops[h][0]], &b = points[loops[h][1]];
        const Point2 probe{(a.x + b.x) * 0.5, (a.y + b.y) * 0.5};
        for (std::size_t o = 0; o < loopCount; ++o)
            if (area2[o] >= 0.0 && RingContains(points, loops[o], probe) &&
                (owner[h] < 0 || area2[o] < area2[owner[h]]))
                owner[h] = static_cast<int>(o);
    }

    std::vector<Tri> tris;
    for (std::size_t o = 0; o < loopCount; ++o) {
        if (area2[o] < 0.0) {
            if (owner[o] < 0) {
                // A hole in nothing (self-intersecting input): fan it so the surface stays
                // closed; its clockwise triangles subtract their area like a hole would.
                const std::vector<int>& r = loops[o];
                for (std::size_t i = 1; i + 1 < r.size(); ++i)
                    tris.push_back({r[0], r[i], r[i + 1]});
            }
            continue;
        }
        std::vector<std::vector<int>> rings{loops[o]};
        for (std::size_t h = 0; h < loopCount; ++h)
            if (owner[h] == static_cast<int>(o))
                rings.push_back(loops[h]);
        TriangulatePolygon(points, rings, tris);
    }

    // Cap vertices get their own map vertices: a planar projection, or the plane normal.
    std::vector<int> capVertices = pointVertex;
    std::sort(capVertices.begin(), capVertices.end());
    capVertices.erase(std::unique(capVertices.begin(), capVertices.end()), capVertices.end());
    auto capIndex = [&](int v) {
        return static_cast<int>(std::lower_bound(capVertices.begin(), capVertices.end(), v) -
                                capVertices.begin());
    };
    std::vector<int> mapBase(out.channels.size());
    for (std::size_t c = 0; c < out.channels.size(); ++c) {
        CutChannel& ch = out.channels[c];
        mapBase[c] = static_cast<int>(ch.verts.size());
        if (ch.number == kNormalChannel) {
            ch.verts.push_back(plane.normal);
            continue;
        }
        for (int v : capVertices) {
            Vec3 d = out.verts[v] - style.mapOrigin;
            ch.verts.push_back({Dot(d, e1) / style.mapScale, Dot(d, e2) / style.mapScale, 0.0});
        }
    }

    const std::uint32_t baseFlags = static_cast<std::uint32_t>(style.materialId) << kMaterialShift;
    for (const Tri& t : tris) {
        Tri v{pointVertex[t[0]], pointVertex[t[1]], pointVertex[t[2]]};
        if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0])
            continue; // a sliver between two visits of a pinch vertex: zero area
        std::uint32_t flags = baseFlags;
        for (int i = 0; i < 3; ++i)
            if (std::binary_search(capEdges.begin(), capEdges.end(),
                                   std::make_pair(v[i], v[(i + 1) % 3])))
                flags |= 1u << i;
        out.faces.push_back({v, flags, style.smoothing, true});
        for (std::size_t c = 0; c < out.channels.size(); ++c) {
            CutChannel& ch = out.channels[c];
            if (ch.number == kNormalChannel)
                ch.faces.push_back({mapBase[c], mapBase[c], mapBase[c]});
            else
                ch.faces.push_back({mapBase[c] + capIndex(v[0]), mapBase[c] + capIndex(v[1]),
                                    mapBase[c] + capIndex(v[2])});
        }
    }
}

} // namespace Quarix::Shatter
