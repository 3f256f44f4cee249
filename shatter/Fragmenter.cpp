#include "shatter/Fragmenter.h"

#include "shatter/CutMesh.h"
#include "shatter/SeedSampler.h"
#include "shatter/VoronoiCells.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

namespace Quarix::Shatter {

namespace {

/// Vertices nearer a cut plane than this fraction of the bounding diagonal count as lying on
/// it: far above double rounding, far below anything visible or meaningful to collision.
constexpr double kSnapFraction = 1e-9;
/// Host material ids are 16 bits wide.
constexpr int kMaxMaterialId = 0xffff;

Tri FlipTri(const Tri& t) {
    return {t[0], t[2], t[1]};
}

/// Edge bits follow a flip: (a, b, c) -> (a, c, b) turns edges ab, bc, ca into ac, cb, ba.
std::uint32_t FlipEdgeBits(std::uint32_t flags) {
    return (flags & ~kEdgeVisibleMask) | ((flags >> 2) & 1u) | (flags & 2u) | ((flags & 1u) << 2);
}

void FlipFaces(CutMesh& mesh) {
    for (CutFace& f : mesh.faces) {
        f.v = FlipTri(f.v);
        f.flags = FlipEdgeBits(f.flags);
    }
    for (CutChannel& c : mesh.channels)
        for (Tri& t : c.faces)
            t = FlipTri(t);
}

/// The source as a working mesh, without faces that repeat a vertex: they have no area and no
/// edge to cut, and would make a closed mesh look open.
CutMesh MakeBaseMesh(const ShatterMesh& source) {
    CutMesh base = CutMesh::FromShatterMesh(source);
    std::size_t kept = 0;
    for (std::size_t f = 0; f < base.faces.size(); ++f) {
        const Tri& t = base.faces[f].v;
        if (t[0] == t[1] || t[1] == t[2] || t[2] == t[0])
            continue;
        base.faces[kept] = base.faces[f];
        for (CutChannel& c : base.channels)
            c.faces[kept] = c.faces[f];
        ++kept;
    }
    base.faces.resize(kept);
    for (CutChannel& c : base.channels)
        c.faces.resize(kept);
    return base;
}

/// Appends each edge-connected part of a cell's piece to the output as its own element, with
/// its own vertices and map vertices.
class PieceWriter {
public:
    PieceWriter(ShatterMesh& out, bool flip) : out_(out), flip_(flip) {}

    int Append(const CutMesh& piece) {
        std::vector<Tri> tris;
        tris.reserve(piece.faces.size());
        for (const CutFace& f : piece.faces)
            tris.push_back(f.v);
        int parts = 0;
        const std::vector<int> label = LabelEdgeConnectedElements(tris, &parts);

        // Faces grouped by part, in face order within a part.
        std::vector<int> start(parts + 1, 0), order(piece.faces.size());
        for (int l : label)
            ++start[l + 1];
        for (int p = 0; p < parts; ++p)
            start[p + 1] += start[p];
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (std::size_t f = 0; f < label.size(); ++f)
            order[fill[label[f]]++] = static_cast<int>(f);

        std::vector<int> stamp(piece.verts.size(), -1), remap(piece.verts.size());
        std::vector<std::vector<int>> mapStamp(piece.channels.size()),
            mapRemap(piece.channels.size());
        std::vector<MapChannel*> outChannels(piece.channels.size());
        for (std::size_t c = 0; c < piece.channels.size(); ++c) {
            mapStamp[c].assign(piece.channels[c].verts.size(), -1);
            mapRemap[c].resize(piece.channels[c].verts.size());
            outChannels[c] = &out_.channels[piece.channels[c].number];
        }

        for (int p = 0; p < parts; ++p) {
            for (int k = start[p]; k < start[p + 1]; ++k) {
                const int f = order[k];
                const CutFace& face = piece.faces[f];
                Tri v;
                for (int i = 0; i < 3; ++i) {
                    const int src = face.v[i];
                    if (stamp[src] != p) {
                        stamp[src] = p;
                        remap[src] = static_cast<int>(out_.verts.size());
                        out_.verts.push_back(piece.verts[src]);
                    }
                    v[i] = remap[src];
                }
                out_.faces.push_back({flip_ ? FlipTri(v) : v,
                                      flip_ ? FlipEdgeBits(face.flags) : face.flags,
                                      face.smoothing});
                for (std::size_t c = 0; c < piece.channels.size(); ++c) {
                    const CutChannel& ch = piece.channels[c];
                    MapChannel& dst = *outChannels[c];
                    Tri m;
                    for (int i = 0; i < 3; ++i) {
                        const int src = ch.faces[f][i];
                        if (mapStamp[c][src] != p) {
                            mapStamp[c][src] = p;
                            mapRemap[c][src] = static_cast<int>(dst.verts.size());
                            dst.verts.push_back(ch.verts[src]);
                        }
                        m[i] = mapRemap[c][src];
                    }
                    dst.faces.push_back(flip_ ? FlipTri(m) : m);
                }
            }
        }
        return parts;
    }

private:
    ShatterMesh& out_;
    bool flip_;
};

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

/// Cuts `base` down to the Voronoi cell of seed `cell`, plane by plane, nearest neighbour first
/// (those planes cut away the most), then tidies the cut faces. Returns the piece (in one of
/// `buffers`), `&base` when no plane cut anything, or null when the cell misses the mesh.
const CutMesh* CutCell(const CutMesh& base, const std::vector<Vec3>& seeds, int cell,
                       const std::vector<int>& neighbours, const CapStyle& style,
                       std::uint32_t freeSmoothing, PlaneClipper& clipper, CutMesh (&buffers)[2]) {
    std::vector<Plane> planes;
    planes.reserve(neighbours.size());
    for (int j : neighbours)
        planes.push_back(BisectorPlane(seeds, cell, j));

    const CutMesh* current = &base;
    int next = 0;
    CapStyle planeStyle = style;
    for (std::size_t k = 0; k < planes.size(); ++k) {
        planeStyle.planeId = static_cast<int>(k);
        const ClipResult r = clipper.Clip(*current, planes[k], planeStyle, buffers[next]);
        if (r == ClipResult::Empty)
            return nullptr;
        if (r == ClipResult::Cut) {
            current = &buffers[next];
            next ^= 1;
        }
    }
    if (current == &base)
        return current;
    CutMesh& piece = buffers[next ^ 1];
    if (style.enabled) {
        MergeCoplanarCaps(piece, planes, style);
        AssignCapSmoothing(piece, freeSmoothing);
    }
    return &piece;
}

} // namespace

int MaxFragmentCount(std::size_t faceCount, double workBudget) {
    const double byWork = workBudget / (static_cast<double>(faceCount) + kCellOverheadFaces);
    return static_cast<int>(std::clamp(byWork, 2.0, static_cast<double>(kMaxFragments)));
}

bool FragmentMesh(const ShatterMesh& source, const FragmentSettings& settings, ShatterMesh& out,
                  FragmentStats* stats) {
    ValidateMesh(source);
    if (!IsFinite(settings.impactPoint) || !std::isfinite(settings.bias) ||
        !(settings.cutWorkBudget > 0.0))
        throw std::invalid_argument(
            "shatter: the impact point, bias and work budget must be finite");
    FragmentStats local;
    FragmentStats& st = stats ? *stats : local;
    st = FragmentStats{};
    if (settings.fragmentCount <= 1 || source.faces.empty())
        return false;

    CutMesh base = MakeBaseMesh(source);
    if (base.faces.empty())
        return false;
    std::vector<Tri> tris;
    tris.reserve(base.faces.size());
    for (const CutFace& f : base.faces)
        tris.push_back(f.v);

    // Cutting and capping assume outward winding; an inside-out solid is turned for the work
    // and turned back on output.
    const bool closed = IsClosedManifold(tris);
    bool flipped = false;
    if (closed && SignedVolume(base.verts, tris) < 0.0) {
        FlipFaces(base);
        for (Tri& t : tris)
            t = FlipTri(t);
        flipped = true;
    }
    st.closed = closed && settings.capClosedMeshes;

    Bounds bounds;
    for (const Tri& t : tris)
        for (int i : t)
            bounds.Add(base.verts[i]);
    const Vec3 size = bounds.Size();
    const double extent = std::max({size.x, size.y, size.z});

    std::vector<Vec3> seeds;
    {
        // Only a closed mesh has an inside; seeds for an open one fill its bounding box.
        std::optional<InsideTester> inside;
        if (closed)
            inside.emplace(base.verts, tris);
        SeedSettings seedSettings;
        seedSettings.count = std::min(settings.fragmentCount,
                                      MaxFragmentCount(base.faces.size(), settings.cutWorkBudget));
        seedSettings.bias = settings.bias;
        seedSettings.impact = settings.impactPoint;
        seedSettings.randomSeed = settings.randomSeed;
        seeds = SampleSeeds(bounds, inside ? &*inside : nullptr, seedSettings);
    }
    st.cells = static_cast<int>(seeds.size());
    if (seeds.size() < 2)
        return false;
    const std::vector<std::vector<int>> neighbours = VoronoiNeighbours(seeds, bounds);

    CapStyle style;
    style.enabled = st.closed;
    style.materialId = std::clamp(settings.innerMaterialId, 0, kMaxMaterialId);
    style.smoothing = 0;
    std::uint32_t usedSmoothing = 0;
    for (const CutFace& f : base.faces)
        usedSmoothing |= f.smoothing;
    style.mapOrigin = bounds.min;
    style.mapScale = extent > 0.0 ? extent : 1.0;

    PlaneClipper clipper(bounds.Diagonal() * kSnapFraction);
    ShatterMesh result;
    for (const CutChannel& c : base.channels)
        result.channels[c.number];
    PieceWriter writer(result, flipped);
    CutMesh buffers[2];
    int cellsWithPieces = 0;
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const CutMesh* piece = CutCell(base, seeds, static_cast<int>(i), neighbours[i], style,
                                       ~usedSmoothing, clipper, buffers);
        if (!piece)
            continue;
        if (piece == &base)
            return false; // the whole mesh lies in this one cell
        ++cellsWithPieces;
        st.pieces += writer.Append(*piece);
    }
    if (cellsWithPieces < 2)
        return false;
    out = std::move(result);
    return true;
}

} // namespace Quarix::Shatter
