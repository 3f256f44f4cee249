#include "shatter/PolytopeCaps.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace Quarix::Shatter {

namespace {

/// A surface boundary point is located on a face's outline within this many plane tolerances:
/// voro++'s corners agree with the bisector planes far more closely.
constexpr double kLocateFactor = 1000.0;
/// Two outline positions closer than this (in edges) are the same point.
constexpr double kParamEpsilon = 1e-9;

std::uint64_t PairKey(int a, int b) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) |
           static_cast<std::uint32_t>(b);
}
std::uint64_t UndirectedKey(int a, int b) {
    return a < b ? PairKey(a, b) : PairKey(b, a);
}

enum Side : signed char { kUnknown = -1, kOutside = 0, kInside = 1 };

/// Where a surface boundary meets a face's outline: a chain of cap edges starts or ends there.
struct Event {
    double param; // ring edge index + position along it (0..1)
    int chain;
    bool start;
};

/// A run of cap edges on one face from one outline point to another.
struct Chain {
    std::vector<int> verts;
    int endEvent = -1; // index in the face's sorted events
};

/// Everything known about one face of the cell while its cap is assembled.
struct FaceWork {
    std::vector<int> ring; // polytope corners, counter-clockwise seen from outside
    std::vector<std::pair<int, int>> capEdges;
    std::vector<Chain> chains;
    std::vector<std::vector<int>> loops;           // cap boundaries (mesh vertex ids)
    std::vector<std::pair<double, double>> walked; // outline stretches inside the solid
    std::vector<Event> events;
    Side side = kUnknown;
};

class Capper {
public:
    Capper(CutMesh& piece, const CellPolytope& poly, const std::vector<Plane>& planes,
           double tolerance)
        : piece_(piece), poly_(poly), planes_(planes), tolerance_(tolerance),
          locateTolerance_(tolerance * kLocateFactor), cornerVertex_(poly.verts.size(), -1) {}

    bool Run(const CapStyle& style) {
        return BuildRings() && SortCapEdges() && BuildChains() && WalkOutlines() &&
               DecideUnreachedFaces() && AppendCaps(style) && CapsCloseTheSurface();
    }

private:
    bool BuildRings();
    bool SortCapEdges();
    bool BuildChains();
    bool Locate(const Vec3& p, const std::vector<int>& ring, double& param) const;
    bool WalkOutlines();
    bool WalkFace(FaceWork& face);
    bool DecideUnreachedFaces();
    bool Mark(int a, int b, Side side);
    Side MarkOf(int a, int b) const;
    bool AppendCaps(const CapStyle& style);
    bool CapsCloseTheSurface() const;
    int CornerVertex(int corner);

    CutMesh& piece_;
    const CellPolytope& poly_;
    const std::vector<Plane>& planes_;
    double tolerance_;
    double locateTolerance_;
    std::vector<int> cornerVertex_;
    std::vector<FaceWork> faces_;
    std::vector<std::pair<std::uint64_t, Side>> marks_;
    std::vector<std::uint64_t> surfaceEdges_; // the piece's directed edges before capping, sorted
    std::vector<std::uint64_t> openEdges_;    // those without a reverse, sorted
    std::size_t surfaceFaces_ = 0;
};

int Capper::CornerVertex(int corner) {
    int& v = cornerVertex_[corner];
    if (v < 0) {
        v = static_cast<int>(piece_.verts.size());
        piece_.verts.push_back(poly_.verts[corner]);
    }
    return v;
}

bool Capper::BuildRings() {
    const std::size_t faceCount = poly_.faceNeighbour.size();
    if (faceCount < 4 || !IsWellFormed(poly_) || planes_.size() != faceCount)
        return false;
    faces_.resize(faceCount);
    for (std::size_t f = 0; f < faceCount; ++f) {
        std::vector<int>& ring = faces_[f].ring;
        ring.assign(poly_.faceVerts.begin() + poly_.faceStart[f],
                    poly_.faceVerts.begin() + poly_.faceStart[f + 1]);
        Vec3 area; // Newell's normal
        for (std::size_t i = 0; i < ring.size(); ++i)
            area += Cross(poly_.verts[ring[i]], poly_.verts[ring[(i + 1) % ring.size()]]);
        if (Dot(area, planes_[f].normal) < 0.0)
            std::reverse(ring.begin(), ring.end());
    }
    return true;
}

// The piece's open edges, each reversed (the cap runs along them the other way) and given to
// the one face whose plane holds both its ends.
bool Capper::SortCapEdges() {
    std::vector<std::uint64_t>& edges = surfaceEdges_;
    surfaceFaces_ = piece_.faces.size();
    edges.reserve(piece_.faces.size() * 3);
    for (const CutFace& f : piece_.faces)
        for (int i = 0; i < 3; ++i)
            edges.push_back(PairKey(f.v[i], f.v[(i + 1) % 3]));
    std::sort(edges.begin(), edges.end());
    bool any = false;
    for (std::size_t k = 0; k < edges.size(); ++k) {
        if (k + 1 < edges.size() && edges[k + 1] == edges[k])
            return false; // an edge used twice the same way
        const int a = static_cast<int>(edges[k] >> 32),
                  b = static_cast<int>(edges[k] & 0xffffffffu);
        if (std::binary_search(edges.begin(), edges.end(), PairKey(b, a)))
            continue;
        openEdges_.push_back(edges[k]);
        int owner = -1;
        for (std::size_t f = 0; f < planes_.size(); ++f)
            if (std::fabs(planes_[f].Distance(piece_.verts[a])) <= tolerance_ &&
                std::fabs(planes_[f].Distance(piece_.verts[b])) <= tolerance_) {
                if (owner >= 0)
                    return false; // along a cell edge
                owner = static_cast<int>(f);
            }
        if (owner < 0)
            return false;
        faces_[owner].capEdges.emplace_back(b, a);
        any = true;
    }
    return any; // a piece without open edges lies inside the cell: the caller decides
}

// Strings each face's cap edges into chains from outline to outline, and closed loops.
bool Capper::BuildChains() {
    std::vector<int> ins;
    std::vector<unsigned char> used;
    for (FaceWork& face : faces_) {
        std::vector<std::pair<int, int>>& e = face.capEdges;
        if (e.empty())
            continue;
        std::sort(e.begin(), e.end());
        ins.clear();
        for (std::size_t k = 0; k < e.size(); ++k) {
            if (k + 1 < e.size() && e[k + 1].first == e[k].first)
                return false; // a pinch: two edges leave one vertex
            ins.push_back(e[k].second);
        }
        std::sort(ins.begin(), ins.end());
        if (std::adjacent_find(ins.begin(), ins.end()) != ins.end())
            return false;
        used.assign(e.size(), 0);
        auto follow = [&](std::size_t first, std::vector<int>& verts) {
            std::size_t k = first;
            verts.push_back(e[k].first);
            while (true) {
                used[k] = 1;
                const int next = e[k].second;
                verts.push_back(next);
                auto it = std::lower_bound(e.begin(), e.end(), std::make_pair(next, -1));
                if (it == e.end() || it->first != next || used[it - e.begin()])
                    return;
                k = static_cast<std::size_t>(it - e.begin());
            }
        };
        for (std::size_t k = 0; k < e.size(); ++k)
            if (!std::binary_search(ins.begin(), ins.end(), e[k].first)) {
                Chain chain;
                follow(k, chain.verts);
                face.chains.push_back(std::move(chain));
            }
        for (std::size_t k = 0; k < e.size(); ++k)
            if (!used[k]) {
                std::vector<int> loop;
                follow(k, loop);
                if (loop.back() != loop.front() || loop.size() < 4)
                    return false;
                loop.pop_back();
                face.loops.push_back(std::move(loop));
            }
    }
    return true;
}

bool Capper::Locate(const Vec3& p, const std::vector<int>& ring, double& param) const {
    double best = HUGE_VAL;
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3& a = poly_.verts[ring[i]];
        const Vec3 d = poly_.verts[ring[(i + 1) % n]] - a;
        const double len2 = Dot(d, d);
        const double t = len2 > 0.0 ? std::clamp(Dot(p - a, d) / len2, 0.0, 1.0) : 0.0;
        const double dist = Length(a + d * t - p);
        if (dist < best) {
            best = dist;
            param = static_cast<double>(i) + t;
        }
    }
    return best <= locateTolerance_;
}

bool Capper::WalkOutlines() {
    for (FaceWork& face : faces_)
        if (!face.chains.empty() && !WalkFace(face))
            return false;
    return true;
}

// Joins a face's chains into cap boundaries: from where a chain ends, the cap follows the
// outline counter-clockwise (the polygon's inside on its left, like the cap's) to where the next
// chain starts, taking the polygon corners on the way.
bool Capper::WalkFace(FaceWork& face) {
    const std::vector<int>& ring = face.ring;
    const double n = static_cast<double>(ring.size());
    for (std::size_t c = 0; c < face.chains.size(); ++c) {
        const Chain& chain = face.chains[c];
        double ps, pe;
        if (!Locate(piece_.verts[chain.verts.front()], ring, ps) ||
            !Locate(piece_.verts[chain.verts.back()], ring, pe))
            return false;
        face.events.push_back({ps, static_cast<int>(c), true});
        face.events.push_back({pe, static_cast<int>(c), false});
    }
    std::sort(face.events.begin(), face.events.end(), [](const Event& a, const Event& b) {
        return a.param != b.param ? a.param < b.param : (a.start ? 1 : 0) < (b.start ? 1 : 0);
    });
    const std::size_t m = face.events.size();
    for (std::size_t k = 0; k < m; ++k)
        if (!face.events[k].start) {
            if (!face.events[(k + 1) % m].start)
                return false; // the surface leaves the polygon twice in a row
            face.chains[face.events[k].chain].endEvent = static_cast<int>(k);
        }

    std::vector<unsigned char> used(face.chains.size(), 0);
    for (std::size_t first = 0; first < face.chains.size(); ++first) {
        if (used[first])
            continue;
        std::vector<int> loop;
        std::size_t c = first;
        do {
            if (used[c])
                return false;
            used[c] = 1;
            const Chain& chain = face.chains[c];
            for (int v : chain.verts)
                if (loop.empty() || loop.back() != v)
                    loop.push_back(v);
            const std::size_t k = static_cast<std::size_t>(chain.endEvent);
            const Event& end = face.events[k];
            const Event& next = face.events[(k + 1) % m];
            const double a = end.param;
            double b = next.param;
            if (b < a || (b == a && k + 1 == m))
                b += n;
            face.walked.emplace_back(a, b);
            // Copies: taking corners below may grow the vertex array.
            const Vec3 pa = piece_.verts[chain.verts.back()];
            const Vec3 pb = piece_.verts[face.chains[next.chain].verts.front()];
            for (double j = std::floor(a) + 1.0; j < b; j += 1.0) {
                const int corner = ring[static_cast<std::size_t>(j) % ring.size()];
                const Vec3& q = poly_.verts[corner];
                if (Length(q - pa) <= locateTolerance_ || Length(q - pb) <= locateTolerance_)
                    continue; // the surface meets the outline at this corner
                loop.push_back(CornerVertex(corner));
            }
            c = static_cast<std::size_t>(next.chain);
        } while (c != first);
        if (loop.size() > 1 && loop.back() == loop.front())
            loop.pop_back();
        if (loop.size() < 3)
            return false;
        face.loops.push_back(std::move(loop));
    }

    // Outline edges the walk covered are inside the solid, edges it never came near outside;
    // a face the surface does not reach takes its side from them.
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const double lo = static_cast<double>(i), hi = lo + 1.0;
        bool touched = false;
        for (const Event& e : face.events)
            touched = touched || (e.param >= lo - kParamEpsilon && e.param <= hi + kParamEpsilon) ||
                      (i == 0 && e.param >= n - kParamEpsilon) ||
                      (hi == n && e.param <= kParamEpsilon);
        if (touched)
            continue;
        const double mid = lo + 0.5;
        bool inside = false;
        for (const auto& [a, b] : face.walked)
            inside = inside || (mid > a && mid < b) || (mid + n > a && mid + n < b);
        if (!Mark(ring[i], ring[(i + 1) % ring.size()], inside ? kInside : kOutside))
            return false;
    }
    face.side = kInside; // the face has a cap; its loops say where
    return true;
}

bool Capper::Mark(int a, int b, Side side) {
    const std::uint64_t key = UndirectedKey(a, b);
    for (const auto& [k, s] : marks_)
        if (k == key)
            return s == side;
    marks_.emplace_back(key, side);
    return true;
}

Side Capper::MarkOf(int a, int b) const {
    const std::uint64_t key = UndirectedKey(a, b);
    for (const auto& [k, s] : marks_)
        if (k == key)
            return s;
    return kUnknown;
}

// Faces the surface's boundary does not cross lie wholly on one side; a neighbour across an
// outline edge tells which, and the news spreads over the cell.
bool Capper::DecideUnreachedFaces() {
    // A face holding only closed loops tells its side by its outermost loop (the largest): an
    // island of solid turns counter-clockwise, a hole in it clockwise.
    for (FaceWork& face : faces_) {
        if (!face.chains.empty() || face.loops.empty())
            continue;
        double largest = 0.0;
        for (const std::vector<int>& loop : face.loops) {
            Vec3 area;
            for (std::size_t i = 0; i < loop.size(); ++i)
                area += Cross(piece_.verts[loop[i]], piece_.verts[loop[(i + 1) % loop.size()]]);
            const double a = Dot(area, planes_[&face - faces_.data()].normal);
            if (std::fabs(a) > std::fabs(largest))
                largest = a;
        }
        face.side = largest > 0.0 ? kOutside : kInside;
        const std::size_t n = face.ring.size();
        for (std::size_t i = 0; i < n; ++i)
            if (!Mark(face.ring[i], face.ring[(i + 1) % n], face.side))
                return false;
    }
    bool changed = true;
    while (changed) {
        changed = false;
        for (FaceWork& face : faces_) {
            if (face.side != kUnknown)
                continue;
            const std::size_t n = face.ring.size();
            for (std::size_t i = 0; i < n && face.side == kUnknown; ++i)
                face.side = MarkOf(face.ring[i], face.ring[(i + 1) % n]);
            if (face.side == kUnknown)
                continue;
            changed = true;
            for (std::size_t i = 0; i < n; ++i)
                if (!Mark(face.ring[i], face.ring[(i + 1) % n], face.side))
                    return false;
        }
    }
    for (FaceWork& face : faces_) {
        if (face.side == kUnknown)
            return false;
        if (face.chains.empty() && face.side == kInside) {
            std::vector<int> outline;
            for (int corner : face.ring)
                outline.push_back(CornerVertex(corner));
            face.loops.push_back(std::move(outline));
        }
    }
    return true;
}

bool Capper::AppendCaps(const CapStyle& style) {
    // The triangulator needs simple loops.
    std::vector<unsigned char> seen(piece_.verts.size(), 0);
    for (const FaceWork& face : faces_)
        for (const std::vector<int>& loop : face.loops) {
            bool simple = true;
            for (int v : loop) {
                simple = simple && !seen[v];
                seen[v] = 1;
            }
            for (int v : loop)
                seen[v] = 0;
            if (!simple)
                return false;
        }
    CapStyle faceStyle = style;
    for (std::size_t f = 0; f < faces_.size(); ++f) {
        faceStyle.planeId = static_cast<int>(f);
        AppendCapFaces(faces_[f].loops, planes_[f], faceStyle, piece_);
    }
    return true;
}

// The surface was closed but for its open edges, so the whole piece is closed when the caps
// use no edge twice, no edge of the surface again, and pair up among themselves and with exactly
// the open edges: a check on the caps alone, not on the whole piece.
bool Capper::CapsCloseTheSurface() const {
    std::vector<std::uint64_t> caps;
    for (std::size_t f = surfaceFaces_; f < piece_.faces.size(); ++f)
        for (int i = 0; i < 3; ++i)
            caps.push_back(PairKey(piece_.faces[f].v[i], piece_.faces[f].v[(i + 1) % 3]));
    std::sort(caps.begin(), caps.end());
    auto has = [](const std::vector<std::uint64_t>& keys, std::uint64_t key) {
        return std::binary_search(keys.begin(), keys.end(), key);
    };
    auto reversed = [](std::uint64_t key) { return (key << 32) | (key >> 32); };
    for (std::size_t k = 0; k < caps.size(); ++k) {
        if ((k + 1 < caps.size() && caps[k + 1] == caps[k]) || has(surfaceEdges_, caps[k]))
            return false;
        const std::uint64_t back = reversed(caps[k]);
        if (!has(caps, back) && !has(openEdges_, back))
            return false;
    }
    for (std::uint64_t key : openEdges_)
        if (!has(caps, reversed(key)))
            return false;
    return !caps.empty();
}

} // namespace

bool CapFromPolytope(CutMesh& piece, const CellPolytope& poly, const std::vector<Plane>& facePlanes,
                     const CapStyle& style, double tolerance) {
    Capper capper(piece, poly, facePlanes, tolerance);
    return capper.Run(style);
}

} // namespace Quarix::Shatter
