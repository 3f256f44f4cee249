// Closing a cut: the faces a plane clip leaves open along the plane are found as directed edges
// without a partner, chained into loops, sorted into outer boundaries and holes, and triangulated.
// Once a cell is cut, each plane's cut faces are re-triangulated from their outline without the
// vertices strung along the creases.

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

/// Triangulates planar loops of `points`: counter-clockwise loops bound material, clockwise
/// ones are holes, each belonging to the smallest outer loop around it.
void TriangulateNested(const std::vector<Point2>& points,
                       const std::vector<std::vector<int>>& loops, std::vector<Tri>& tris) {
    const std::size_t loopCount = loops.size();
    std::vector<double> area2(loopCount);
    for (std::size_t l = 0; l < loopCount; ++l)
        area2[l] = RingArea2(points, loops[l]);
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
}

} // namespace

void PlaneAxes(const Vec3& normal, Vec3& e1, Vec3& e2) {
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    Vec3 axis = (ax <= ay && ax <= az) ? Vec3(1, 0, 0) : (ay <= az ? Vec3(0, 1, 0) : Vec3(0, 0, 1));
    e1 = Normalized(Cross(axis, normal));
    e2 = Cross(normal, e1);
}

namespace {

/// Scratch arrays of AppendCapFaces, kept per thread so that capping a cut allocates nothing
/// once they have grown.
struct CapScratch {
    std::vector<std::pair<int, int>> capEdges;
    std::vector<Point2> points;
    std::vector<int> pointVertex;
    std::vector<std::vector<int>> loops;
    std::vector<Tri> tris;
    std::vector<int> capVertices;
    std::vector<int> mapBase;
    /// Per mesh vertex, its index among the cap's vertices; -1 elsewhere.
    std::vector<int> capIndex;
};

} // namespace

void AppendCapFaces(const std::vector<std::vector<int>>& vertexLoops, const Plane& plane,
                    const CapStyle& style, CutMesh& out) {
    if (vertexLoops.empty())
        return;
    thread_local CapScratch scratch;
    CapScratch& k = scratch;
    k.capEdges.clear();
    for (const std::vector<int>& loop : vertexLoops)
        for (std::size_t i = 0; i < loop.size(); ++i)
            k.capEdges.emplace_back(loop[i], loop[(i + 1) % loop.size()]);
    std::sort(k.capEdges.begin(), k.capEdges.end());

    // Project into the plane, relative to a point of the cut to keep the coordinates small.
    Vec3 e1, e2;
    PlaneAxes(plane.normal, e1, e2);
    const Vec3 origin = out.verts[vertexLoops[0][0]];
    k.points.clear();
    k.pointVertex.clear();
    k.loops.resize(vertexLoops.size());
    for (std::size_t l = 0; l < vertexLoops.size(); ++l) {
        std::vector<int>& ring = k.loops[l];
        ring.clear();
        for (int v : vertexLoops[l]) {
            Vec3 d = out.verts[v] - origin;
            ring.push_back(static_cast<int>(k.points.size()));
            k.points.push_back({Dot(d, e1), Dot(d, e2)});
            k.pointVertex.push_back(v);
        }
    }

    k.tris.clear();
    TriangulateNested(k.points, k.loops, k.tris);

    // Cap vertices get their own map vertices: a planar projection, or the plane normal.
    k.capVertices = k.pointVertex;
    std::sort(k.capVertices.begin(), k.capVertices.end());
    k.capVertices.erase(std::unique(k.capVertices.begin(), k.capVertices.end()),
                        k.capVertices.end());
    if (k.capIndex.size() < out.verts.size())
        k.capIndex.resize(out.verts.size(), -1);
    for (std::size_t i = 0; i < k.capVertices.size(); ++i)
        k.capIndex[k.capVertices[i]] = static_cast<int>(i);
    k.mapBase.resize(out.channels.size());
    for (std::size_t c = 0; c < out.channels.size(); ++c) {
        CutChannel& ch = out.channels[c];
        k.mapBase[c] = static_cast<int>(ch.verts.size());
        if (ch.number == kNormalChannel) {
            ch.verts.push_back(plane.normal);
            continue;
        }
        for (int v : k.capVertices) {
            Vec3 d = out.verts[v] - style.mapOrigin;
            ch.verts.push_back({Dot(d, e1) / style.mapScale, Dot(d, e2) / style.mapScale, 0.0});
        }
    }

    const std::uint32_t baseFlags = static_cast<std::uint32_t>(style.materialId) << kMaterialShift;
    for (const Tri& t : k.tris) {
        Tri v{k.pointVertex[t[0]], k.pointVertex[t[1]], k.pointVertex[t[2]]};
        if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0])
            continue; // a sliver between two visits of a pinch vertex: zero area
        std::uint32_t flags = baseFlags;
        for (int i = 0; i < 3; ++i)
            if (std::binary_search(k.capEdges.begin(), k.capEdges.end(),
                                   std::make_pair(v[i], v[(i + 1) % 3])))
                flags |= 1u << i;
        out.faces.push_back({v, flags, style.smoothing, true, style.planeId});
        for (std::size_t c = 0; c < out.channels.size(); ++c) {
            CutChannel& ch = out.channels[c];
            const int b = k.mapBase[c];
            if (ch.number == kNormalChannel)
                ch.faces.push_back({b, b, b});
            else
                ch.faces.push_back(
                    {b + k.capIndex[v[0]], b + k.capIndex[v[1]], b + k.capIndex[v[2]]});
        }
    }
    for (int v : k.capVertices)
        k.capIndex[v] = -1;
}

void PlaneClipper::BuildCaps(const Plane& plane, const CapStyle& style, CutMesh& out) {
    // Directed edges of faces touching the plane whose both ends lie on it.
    std::vector<std::uint64_t>& planeEdges = planeEdges_;
    planeEdges.clear();
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
    std::vector<std::pair<int, int>>& capEdges = capEdges_;
    capEdges.clear();
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
    AppendCapFaces(SplitAtRepeatedVertices(ChainLoops(capEdges), loopPosition_), plane, style, out);
}

void MergeCoplanarCaps(CutMesh& mesh, const std::vector<Plane>& planes, const CapStyle& style) {
    // A vertex stays when the original surface uses it or when it is a corner where three or
    // more planes meet; otherwise it lies inside one plane's faces or on the straight crease
    // between two planes, and both sides can drop it together.
    constexpr int kNone = -1;
    const std::size_t vertexCount = mesh.verts.size();
    std::vector<int> first(vertexCount, kNone), second(vertexCount, kNone);
    std::vector<unsigned char> keep(vertexCount, 0), used(vertexCount, 0);
    for (const CutFace& f : mesh.faces)
        for (int v : f.v) {
            used[v] = 1;
            if (!f.inner || f.plane < 0) {
                keep[v] = 1;
            } else if (first[v] == kNone || first[v] == f.plane) {
                first[v] = f.plane;
            } else if (second[v] == kNone || second[v] == f.plane) {
                second[v] = f.plane;
            } else {
                keep[v] = 1;
            }
        }
    std::vector<unsigned char> regionChanges(planes.size(), 0);
    bool anyDropped = false;
    for (std::size_t v = 0; v < vertexCount; ++v)
        if (used[v] && !keep[v]) {
            anyDropped = true;
            regionChanges[first[v]] = 1;
            if (second[v] != kNone)
                regionChanges[second[v]] = 1;
        }
    if (!anyDropped)
        return;

    // Faces of the planes that lose a vertex are rebuilt from their outlines; all others stay,
    // in place, so the mesh keeps its storage for the next cell.
    std::vector<std::vector<int>> regionFaces(planes.size());
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const CutFace& face = mesh.faces[f];
        if (face.inner && face.plane >= 0 && regionChanges[face.plane])
            regionFaces[face.plane].push_back(static_cast<int>(f));
    }
    std::vector<int> position(vertexCount, -1);
    std::vector<std::uint64_t> edges;
    std::vector<std::vector<std::vector<int>>> regionLoops(planes.size());
    for (std::size_t id = 0; id < planes.size(); ++id) {
        if (regionFaces[id].empty())
            continue;
        edges.clear();
        for (int f : regionFaces[id])
            for (int i = 0; i < 3; ++i)
                edges.push_back(PairKey(mesh.faces[f].v[i], mesh.faces[f].v[(i + 1) % 3]));
        std::sort(edges.begin(), edges.end());
        std::vector<std::pair<int, int>> outline;
        for (std::uint64_t key : edges) {
            int a = static_cast<int>(key >> 32), b = static_cast<int>(key & 0xffffffffu);
            if (!std::binary_search(edges.begin(), edges.end(), PairKey(b, a)))
                outline.emplace_back(a, b);
        }
        for (std::vector<int>& loop : SplitAtRepeatedVertices(ChainLoops(outline), position)) {
            std::erase_if(loop, [&](int v) { return !keep[v]; });
            if (loop.size() >= 3)
                regionLoops[id].push_back(std::move(loop));
        }
    }

    std::size_t kept = 0;
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const CutFace& face = mesh.faces[f];
        if (face.inner && face.plane >= 0 && regionChanges[face.plane])
            continue;
        mesh.faces[kept] = face;
        for (CutChannel& c : mesh.channels)
            c.faces[kept] = c.faces[f];
        ++kept;
    }
    mesh.faces.resize(kept);
    for (CutChannel& c : mesh.channels)
        c.faces.resize(kept);
    for (std::size_t id = 0; id < planes.size(); ++id) {
        if (regionFaces[id].empty())
            continue;
        CapStyle regionStyle = style;
        regionStyle.planeId = static_cast<int>(id);
        AppendCapFaces(regionLoops[id], planes[id], regionStyle, mesh);
    }
}

} // namespace Quarix::Shatter
