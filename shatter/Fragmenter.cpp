#include "shatter/Fragmenter.h"

#include "shatter/BaseMesh.h"
#include "shatter/CellCutter.h"
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

/// Appends each edge-connected part of a cell's piece to the output as its own element, with
/// its own vertices and map vertices; `flip` turns the faces back for an inside-out source.
class PieceWriter {
public:
    explicit PieceWriter(ShatterMesh& out) : out_(out) {}

    int Append(const CutMesh& piece, bool flip) {
        tris_.clear();
        for (const CutFace& f : piece.faces)
            tris_.push_back(f.v);
        int parts = 0;
        const std::vector<int> label = LabelEdgeConnectedElements(tris_, &parts);

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
                out_.faces.push_back({flip ? FlipTri(v) : v,
                                      flip ? FlipEdgeBits(face.flags) : face.flags,
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
                    dst.faces.push_back(flip ? FlipTri(m) : m);
                }
            }
        }
        return parts;
    }

private:
    ShatterMesh& out_;
    std::vector<Tri> tris_;
};

/// Spreads the seeds: through the closed volume when the mesh is all closed, otherwise through
/// the bounding box (an open surface has no inside).
std::vector<Vec3> PlaceSeeds(const PreparedMesh& prepared, const FragmentSettings& settings,
                             int count) {
    std::optional<InsideTester> inside;
    if (prepared.open.tris.empty())
        inside.emplace(prepared.closed.mesh.verts, prepared.closed.tris);
    SeedSettings seedSettings;
    seedSettings.count = count;
    seedSettings.bias = settings.bias;
    seedSettings.impact = settings.impactPoint;
    seedSettings.randomSeed = settings.randomSeed;
    return SampleSeeds(prepared.bounds, inside ? &*inside : nullptr, seedSettings);
}

} // namespace

double EstimatedCutMicros(int cells, std::size_t faceCount) {
    const double n = std::max(cells, 1);
    return n * kCellCostMicros + static_cast<double>(faceCount) * kFaceCostMicros * std::cbrt(n);
}

int MaxFragmentCount(std::size_t faceCount, double workBudget) {
    if (EstimatedCutMicros(kMaxFragments, faceCount) <= workBudget)
        return kMaxFragments;
    int lo = 2, hi = kMaxFragments; // the estimate grows with the count: bisect
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        (EstimatedCutMicros(mid, faceCount) <= workBudget ? lo : hi) = mid;
    }
    return lo;
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
    st.requested = settings.fragmentCount;
    if (settings.fragmentCount <= 1 || source.faces.empty())
        return false;

    const PreparedMesh prepared = PrepareMesh(source, settings.capClosedMeshes);
    st.repairedValues = prepared.repairedValues;
    const std::size_t faceCount = prepared.closed.tris.size() + prepared.open.tris.size();
    if (faceCount == 0)
        return false;
    st.closed = !prepared.closed.tris.empty();
    st.open = !prepared.open.tris.empty();

    st.limit = MaxFragmentCount(faceCount, settings.cutWorkBudget);
    st.reduced = settings.fragmentCount > st.limit;
    const std::vector<Vec3> seeds =
        PlaceSeeds(prepared, settings, std::min(settings.fragmentCount, st.limit));
    st.cells = static_cast<int>(seeds.size());
    if (seeds.size() < 2)
        return false;
    const VoronoiDiagram diagram = ComputeVoronoi(seeds, prepared.bounds);

    std::uint32_t usedSmoothing = 0;
    for (const MeshPart* part : {&prepared.closed, &prepared.open})
        for (const CutFace& f : part->mesh.faces)
            usedSmoothing |= f.smoothing;
    const Vec3 size = prepared.bounds.Size();
    const double extent = std::max({size.x, size.y, size.z});
    CapStyle style;
    style.materialId = std::clamp(settings.innerMaterialId, 0, kMaxMaterialId);
    style.smoothing = 0;
    style.mapOrigin = prepared.bounds.min;
    style.mapScale = extent > 0.0 ? extent : 1.0;
    const double snap = prepared.bounds.Diagonal() * kSnapFraction;

    // Seeds of an all-closed mesh were drawn inside it; otherwise ask the closed part.
    std::vector<unsigned char> seedInside(seeds.size(), prepared.open.tris.empty() ? 1 : 0);
    if (!prepared.open.tris.empty() && !prepared.closed.tris.empty()) {
        const InsideTester inside(prepared.closed.mesh.verts, prepared.closed.tris);
        for (std::size_t i = 0; i < seeds.size(); ++i)
            seedInside[i] = inside.Winding(seeds[i]) != 0 ? 1 : 0;
    }

    ShatterMesh result;
    for (const MeshPart* part : {&prepared.closed, &prepared.open})
        for (const CutChannel& c : part->mesh.channels)
            result.channels[c.number];
    PieceWriter writer(result);
    std::vector<unsigned char> cellHasPiece(seeds.size(), 0);
    for (const bool closedPart : {true, false}) {
        const MeshPart& part = closedPart ? prepared.closed : prepared.open;
        style.enabled = closedPart;
        const bool flip = closedPart && prepared.flipped;
        CellCutter cutter(seeds, diagram, seedInside, style, ~usedSmoothing, snap);
        cutter.Cut(part.mesh, part.bounds, [&](int cell, const CutMesh& piece) {
            cellHasPiece[cell] = 1;
            st.pieces += writer.Append(piece, flip);
        });
    }
    // All of the mesh in one cell: nothing was cut.
    if (std::count(cellHasPiece.begin(), cellHasPiece.end(), 1) < 2)
        return false;
    out = std::move(result);
    return true;
}

} // namespace Quarix::Shatter
