#include "shatter/CellCutter.h"

#include "shatter/PolytopeCaps.h"

#include <algorithm>
#include <utility>

namespace Quarix::Shatter {

namespace {

/// A node with this many cells or fewer cuts them from its own mesh.
constexpr std::size_t kLeafCells = 1;
/// A node with this many faces or fewer cuts its cells from its own mesh: splitting it further
/// would add more cap faces than it removes.
constexpr std::size_t kLeafFaces = 24;
/// Depth bound of the box tree (far beyond what 10,000 cells need).
constexpr int kMaxDepth = 48;
/// A cell whose box spans more than this share of its node's box along the split axis stays
/// with the node: no child could hold it.
constexpr double kMaxChildShare = 0.5;

double Axis(const Vec3& v, int axis) {
    return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}
void SetAxis(Vec3& v, int axis, double value) {
    (axis == 0 ? v.x : (axis == 1 ? v.y : v.z)) = value;
}

int LongestAxis(const Bounds& box) {
    const Vec3 s = box.Size();
    return (s.x >= s.y && s.x >= s.z) ? 0 : (s.y >= s.z ? 1 : 2);
}

/// Gives each plane's cut faces of a piece one smoothing bit from `freeBits` (the bits no outer
/// face uses), different from the bits of every other plane's faces that share a vertex with
/// them: a cut face then never blends with the surface or with a neighbouring cut across a
/// crease or corner. Planes are coloured greedily in id order; when the free bits run out (an
/// input using nearly all 32), the rest get 0, which renders flat as well.
void AssignCapSmoothing(CutMesh& piece, std::uint32_t freeBits) {
    std::vector<std::pair<int, int>> vertexPlanes;
    int maxPlane = -1;
    for (const CutFace& f : piece.faces)
        if (f.inner && f.plane >= 0) {
            maxPlane = std::max(maxPlane, f.plane);
            for (int v : f.v)
                vertexPlanes.emplace_back(v, f.plane);
        }
    if (maxPlane < 0)
        return;
    std::sort(vertexPlanes.begin(), vertexPlanes.end());
    vertexPlanes.erase(std::unique(vertexPlanes.begin(), vertexPlanes.end()), vertexPlanes.end());

    // Planes meeting at a vertex are neighbours.
    std::vector<std::vector<int>> neighbours(maxPlane + 1);
    for (std::size_t a = 0; a < vertexPlanes.size();) {
        std::size_t b = a;
        while (b < vertexPlanes.size() && vertexPlanes[b].first == vertexPlanes[a].first)
            ++b;
        for (std::size_t i = a; i < b; ++i)
            for (std::size_t j = a; j < b; ++j)
                if (i != j)
                    neighbours[vertexPlanes[i].second].push_back(vertexPlanes[j].second);
        a = b;
    }
    std::vector<std::uint32_t> bit(maxPlane + 1, 0);
    for (int p = 0; p <= maxPlane; ++p) {
        std::uint32_t taken = ~freeBits;
        for (int q : neighbours[p])
            taken |= bit[q];
        const std::uint32_t available = ~taken;
        bit[p] = available & (~available + 1u); // lowest available bit, 0 when none
    }
    for (CutFace& f : piece.faces)
        if (f.inner && f.plane >= 0)
            f.smoothing = bit[f.plane];
}

} // namespace

CellCutter::CellCutter(const std::vector<Vec3>& seeds, const VoronoiDiagram& diagram,
                       const std::vector<unsigned char>& seedInside, const CapStyle& style,
                       std::uint32_t freeSmoothing, double snapDistance)
    : seeds_(seeds), diagram_(diagram), seedInside_(seedInside), style_(style),
      freeSmoothing_(freeSmoothing), snapDistance_(snapDistance), clipper_(snapDistance) {}

void CellCutter::Cut(const CutMesh& mesh, const Bounds& bounds, const PieceSink& sink) {
    if (mesh.faces.empty() || bounds.Empty())
        return;
    // A cell's box only matters where the mesh is: clamped to the mesh's box, the cells along
    // the surface no longer reach out to the container walls and can go down the tree.
    const Vec3 pad = bounds.Size() * 1e-6;
    const Bounds limit{bounds.min - pad, bounds.max + pad};
    boxes_.resize(seeds_.size());
    std::vector<int> cells(seeds_.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i] = static_cast<int>(i);
        const Bounds& b = diagram_.cellBounds[i];
        boxes_[i] = {{std::max(b.min.x, limit.min.x), std::max(b.min.y, limit.min.y),
                      std::max(b.min.z, limit.min.z)},
                     {std::min(b.max.x, limit.max.x), std::min(b.max.y, limit.max.y),
                      std::min(b.max.z, limit.max.z)}};
    }
    CutNode(mesh, bounds, std::move(cells), 0, sink);
}

// A node holds the solid (or surface) inside its box, closed by caps on the box's sides where
// it was cut. Splitting the node's cells at their median along the box's longest axis gives two
// children whose boxes shrink to the cells they hold; the children's meshes are the node's mesh
// clipped by one plane each. Every cell's box lies inside its node's box, so the cell's own
// planes cut away all the box caps, and the piece is exactly the solid inside the cell.
void CellCutter::CutNode(const CutMesh& mesh, const Bounds& box, std::vector<int> cells, int depth,
                         const PieceSink& sink) {
    auto cutHere = [&](const std::vector<int>& list) {
        for (int c : list)
            if (const CutMesh* piece = CutCell(mesh, c))
                sink(c, *piece);
    };
    if (cells.size() <= kLeafCells || mesh.faces.size() <= kLeafFaces || depth >= kMaxDepth) {
        cutHere(cells);
        return;
    }

    const int axis = LongestAxis(box);
    const double lo = Axis(box.min, axis), hi = Axis(box.max, axis);
    std::vector<int> stay, rest;
    for (int c : cells) {
        const Bounds& b = boxes_[c];
        (Axis(b.max, axis) - Axis(b.min, axis) > kMaxChildShare * (hi - lo) ? stay : rest)
            .push_back(c);
    }
    auto centre = [&](int c) {
        const Bounds& b = boxes_[c];
        return Axis(b.min, axis) + Axis(b.max, axis);
    };
    std::sort(rest.begin(), rest.end(), [&](int a, int b) {
        const double ca = centre(a), cb = centre(b);
        return ca != cb ? ca < cb : a < b;
    });
    const std::size_t mid = rest.size() / 2;
    double leftMax = lo, rightMin = hi;
    for (std::size_t k = 0; k < rest.size(); ++k) {
        const Bounds& b = boxes_[rest[k]];
        if (k < mid)
            leftMax = std::max(leftMax, Axis(b.max, axis));
        else
            rightMin = std::min(rightMin, Axis(b.min, axis));
    }
    if (rest.size() < 2 || (leftMax >= hi && rightMin <= lo)) {
        cutHere(cells); // no child would be smaller than this node
        return;
    }
    cutHere(stay);

    CapStyle boxStyle = style_;
    boxStyle.planeId = -1;
    auto descend = [&](std::vector<int> childCells, const Plane& plane, bool clips,
                       const Bounds& childBox) {
        if (!clips) {
            CutNode(mesh, childBox, std::move(childCells), depth + 1, sink);
            return;
        }
        CutMesh child;
        const ClipResult r = clipper_.Clip(mesh, plane, boxStyle, child);
        if (r == ClipResult::Empty)
            return; // these cells do not meet the mesh
        CutNode(r == ClipResult::Cut ? child : mesh, childBox, std::move(childCells), depth + 1,
                sink);
    };
    Vec3 normal;
    SetAxis(normal, axis, 1.0);
    Bounds leftBox = box, rightBox = box;
    SetAxis(leftBox.max, axis, std::min(leftMax, hi));
    SetAxis(rightBox.min, axis, std::max(rightMin, lo));
    descend(std::vector<int>(rest.begin(), rest.begin() + mid), Plane{normal, leftMax},
            leftMax < hi, leftBox);
    descend(std::vector<int>(rest.begin() + mid, rest.end()), Plane{-normal, -rightMin},
            rightMin > lo, rightBox);
}

// Cuts `base` down to the Voronoi cell of seed `cell`. Returns the piece (in one of the
// buffers), `&base` when no plane cut anything, or null when the cell misses the mesh.
const CutMesh* CellCutter::CutCell(const CutMesh& base, int cell) {
    if (style_.enabled && seedInside_[cell] && !SurfaceNear(base, boxes_[cell]))
        if (const CutMesh* whole = WholeCell(base, cell))
            return whole;
    planes_.clear();
    for (int j : diagram_.neighbours[cell])
        planes_.push_back(BisectorPlane(seeds_, cell, j));
    const CutMesh* piece = nullptr;
    if (style_.enabled && CutCellCappedByPolytope(base, cell, piece))
        return piece;
    return CutCellPlaneByPlane(base);
}

// The surface alone is cut by the cell's planes, and the cell's face polygons close it once per
// face. Returns false when that does not work out for this cell (see CapFromPolytope).
bool CellCutter::CutCellCappedByPolytope(const CutMesh& base, int cell, const CutMesh*& piece) {
    const CellPolytope& poly = diagram_.polytopes[cell];
    if (!IsWellFormed(poly))
        return false;
    CapStyle surfaceOnly = style_;
    surfaceOnly.enabled = false;
    // Only faces that reach the cell's box can be in the cell: the planes need not go through
    // the rest of a large node's mesh (the surface need not be closed for this cut).
    const CutMesh* current = CopyFacesNear(base, boxes_[cell], near_) ? &near_ : &base;
    const CutMesh* source = current;
    int next = 0;
    for (const Plane& plane : planes_) {
        const ClipResult r = clipper_.Clip(*current, plane, surfaceOnly, buffers_[next]);
        if (r == ClipResult::Empty) {
            // No surface in the cell: it is all inside the solid or all outside.
            piece = seedInside_[cell] ? WholeCell(base, cell) : nullptr;
            return piece != nullptr || !seedInside_[cell];
        }
        if (r == ClipResult::Cut) {
            current = &buffers_[next];
            next ^= 1;
        }
    }
    if (current == source) {
        // The surface lies wholly inside the cell; a closed surface has no faces in the box
        // that leave it, so the copy is the closed solid too.
        piece = source;
        return true;
    }
    facePlanes_.clear();
    for (std::size_t f = 0; f < poly.faceNeighbour.size(); ++f) {
        const int j = poly.faceNeighbour[f];
        if (j == cell || j >= static_cast<int>(seeds_.size()))
            return false;
        if (j >= 0) {
            facePlanes_.push_back(BisectorPlane(seeds_, cell, j));
            continue;
        }
        // A wall of voro++'s container, which lies outside the mesh: its plane from its polygon,
        // facing away from the seed.
        Vec3 area, centre;
        const int first = poly.faceStart[f], last = poly.faceStart[f + 1];
        for (int k = first; k < last; ++k) {
            const int a = poly.faceVerts[k], b = poly.faceVerts[k + 1 < last ? k + 1 : first];
            area += Cross(poly.verts[a], poly.verts[b]);
            centre += poly.verts[a];
        }
        if (!(Length(area) > 0.0))
            return false;
        centre = centre * (1.0 / (last - first));
        Vec3 normal = Normalized(area);
        if (Dot(normal, centre - seeds_[cell]) < 0.0)
            normal = -normal;
        facePlanes_.push_back({normal, Dot(normal, centre)});
    }
    CutMesh& result = buffers_[next ^ 1];
    if (!CapFromPolytope(result, poly, facePlanes_, style_, 2.0 * snapDistance_))
        return false;
    AssignCapSmoothing(result, freeSmoothing_);
    piece = &result;
    return true;
}

// Copies the faces of `mesh` whose boxes meet `box` into `out`, with only the vertices and map
// vertices they use. Returns false (and leaves `out` alone) when every face meets the box.
bool CellCutter::CopyFacesNear(const CutMesh& mesh, const Bounds& box, CutMesh& out) {
    auto meets = [&](const CutFace& f) {
        Bounds b;
        for (int v : f.v)
            b.Add(mesh.verts[v]);
        return b.min.x <= box.max.x && b.max.x >= box.min.x && b.min.y <= box.max.y &&
               b.max.y >= box.min.y && b.min.z <= box.max.z && b.max.z >= box.min.z;
    };
    nearFaces_.clear();
    for (std::size_t f = 0; f < mesh.faces.size(); ++f)
        if (meets(mesh.faces[f]))
            nearFaces_.push_back(static_cast<int>(f));
    if (nearFaces_.size() == mesh.faces.size())
        return false;
    out.channels.resize(mesh.channels.size());
    for (std::size_t c = 0; c < mesh.channels.size(); ++c)
        out.channels[c].number = mesh.channels[c].number;
    out.Clear();
    auto copy = [](const std::vector<Vec3>& from, std::vector<int>& map, int index,
                   std::vector<Vec3>& to) {
        int& mapped = map[index];
        if (mapped < 0) {
            mapped = static_cast<int>(to.size());
            to.push_back(from[index]);
        }
        return mapped;
    };
    remap_.assign(mesh.verts.size(), -1);
    for (int f : nearFaces_) {
        CutFace face = mesh.faces[f];
        for (int& v : face.v)
            v = copy(mesh.verts, remap_, v, out.verts);
        out.faces.push_back(face);
    }
    for (std::size_t c = 0; c < mesh.channels.size(); ++c) {
        const CutChannel& from = mesh.channels[c];
        CutChannel& to = out.channels[c];
        remap_.assign(from.verts.size(), -1);
        for (int f : nearFaces_) {
            Tri t = from.faces[f];
            for (int& v : t)
                v = copy(from.verts, remap_, v, to.verts);
            to.faces.push_back(t);
        }
    }
    return true;
}

// Cuts `base` down to the cell plane by plane, nearest neighbour first (those planes cut away
// the most), capping every cut, then tidies the cut faces.
const CutMesh* CellCutter::CutCellPlaneByPlane(const CutMesh& base) {
    const CutMesh* current = &base;
    int next = 0;
    CapStyle planeStyle = style_;
    for (std::size_t k = 0; k < planes_.size(); ++k) {
        planeStyle.planeId = static_cast<int>(k);
        const ClipResult r = clipper_.Clip(*current, planes_[k], planeStyle, buffers_[next]);
        if (r == ClipResult::Empty)
            return nullptr;
        if (r == ClipResult::Cut) {
            current = &buffers_[next];
            next ^= 1;
        }
    }
    if (current == &base)
        return current;
    CutMesh& piece = buffers_[next ^ 1];
    if (style_.enabled) {
        MergeCoplanarCaps(piece, planes_, style_);
        AssignCapSmoothing(piece, freeSmoothing_);
    }
    return &piece;
}

// True when a face of the original surface (not a cap of the node's box) comes near `box`.
bool CellCutter::SurfaceNear(const CutMesh& mesh, const Bounds& box) const {
    for (const CutFace& f : mesh.faces) {
        if (f.inner)
            continue;
        Bounds b;
        for (int v : f.v)
            b.Add(mesh.verts[v]);
        if (b.min.x <= box.max.x && b.max.x >= box.min.x && b.min.y <= box.max.y &&
            b.max.y >= box.min.y && b.min.z <= box.max.z && b.max.z >= box.min.z)
            return true;
    }
    return false;
}

// A cell whose seed is inside the solid and whose box no surface face reaches lies wholly
// inside the solid: its piece is the cell itself, built from voro++'s polygons instead of a
// dozen cuts. Returns null when voro++ gave no usable polytope (the cell is then cut).
const CutMesh* CellCutter::WholeCell(const CutMesh& base, int cell) {
    const CellPolytope& poly = diagram_.polytopes[cell];
    const std::size_t faceCount = poly.faceNeighbour.size();
    if (faceCount < 4 || !IsWellFormed(poly))
        return nullptr;
    for (int j : poly.faceNeighbour)
        if (j < 0 || j == cell || j >= static_cast<int>(seeds_.size()))
            return nullptr;

    CutMesh& piece = buffers_[0];
    piece.channels.resize(base.channels.size());
    for (std::size_t c = 0; c < base.channels.size(); ++c)
        piece.channels[c].number = base.channels[c].number;
    piece.Clear();
    piece.verts = poly.verts;
    const std::uint32_t material = static_cast<std::uint32_t>(style_.materialId) << kMaterialShift;
    std::vector<int> ring;
    std::vector<int> mapBase(piece.channels.size());
    for (std::size_t f = 0; f < faceCount; ++f) {
        const Vec3 normal = BisectorPlane(seeds_, cell, poly.faceNeighbour[f]).normal;
        ring.assign(poly.faceVerts.begin() + poly.faceStart[f],
                    poly.faceVerts.begin() + poly.faceStart[f + 1]);
        if (ring.size() < 3)
            continue;
        Vec3 area; // Newell's normal: the ring must turn counter-clockwise seen from outside
        for (std::size_t i = 0; i < ring.size(); ++i)
            area += Cross(piece.verts[ring[i]], piece.verts[ring[(i + 1) % ring.size()]]);
        if (Dot(area, normal) < 0.0)
            std::reverse(ring.begin(), ring.end());
        Vec3 e1, e2;
        PlaneAxes(normal, e1, e2);
        for (std::size_t c = 0; c < piece.channels.size(); ++c) {
            CutChannel& ch = piece.channels[c];
            mapBase[c] = static_cast<int>(ch.verts.size());
            if (ch.number == kNormalChannel) {
                ch.verts.push_back(normal);
                continue;
            }
            for (int v : ring) {
                const Vec3 d = piece.verts[v] - style_.mapOrigin;
                ch.verts.push_back(
                    {Dot(d, e1) / style_.mapScale, Dot(d, e2) / style_.mapScale, 0.0});
            }
        }
        const int last = static_cast<int>(ring.size()) - 1;
        for (int i = 1; i < last; ++i) {
            // A fan: the ring's own edges are visible, the diagonals hidden.
            const std::uint32_t edges = (i == 1 ? 1u : 0u) | 2u | (i + 1 == last ? 4u : 0u);
            piece.faces.push_back({{ring[0], ring[i], ring[i + 1]},
                                   material | edges,
                                   style_.smoothing,
                                   true,
                                   static_cast<int>(f)});
            for (std::size_t c = 0; c < piece.channels.size(); ++c) {
                const int b = mapBase[c];
                piece.channels[c].faces.push_back(piece.channels[c].number == kNormalChannel
                                                      ? Tri{b, b, b}
                                                      : Tri{b, b + i, b + i + 1});
            }
        }
    }
    AssignCapSmoothing(piece, freeSmoothing_);
    return &piece;
}

} // namespace Quarix::Shatter
