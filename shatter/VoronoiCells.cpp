#include "shatter/VoronoiCells.h"

#include <voro++.hh>

#include <algorithm>
#include <cmath>
#include <string>

namespace Quarix::Shatter {

namespace {

/// voro++ works with an absolute tolerance (1e-11) tuned for coordinates of order one, so the
/// seeds are mapped into a box of that size first.
constexpr double kNormalisedSize = 1.0;
/// Margin around the seeds' box, as a fraction of its size: walls stay clear of every seed, and
/// the container has a positive size on every axis even for a flat mesh.
constexpr double kContainerMargin = 0.1;
/// Seeds per voro++ block; its documentation recommends about five.
constexpr double kSeedsPerBlock = 5.0;
/// Upper bound of voro++ blocks per axis.
constexpr int kMaxBlocksPerAxis = 64;
/// Margin added to every cell's box, in normalised units: a million times voro++'s tolerance,
/// so a box always holds the cell that the bisector planes cut out.
constexpr double kCellBoxMargin = 1e-5;

} // namespace

bool IsWellFormed(const CellPolytope& poly) {
    const std::size_t faces = poly.faceNeighbour.size();
    if (faces == 0 || poly.faceStart.size() != faces + 1 || poly.faceStart.front() != 0 ||
        poly.faceStart.back() != static_cast<int>(poly.faceVerts.size()))
        return false;
    for (std::size_t f = 0; f < faces; ++f)
        if (poly.faceStart[f + 1] - poly.faceStart[f] < 3)
            return false;
    for (int v : poly.faceVerts)
        if (v < 0 || v >= static_cast<int>(poly.verts.size()))
            return false;
    return true;
}

Plane BisectorPlane(const std::vector<Vec3>& seeds, int i, int j) {
    const bool flip = i > j;
    const Vec3& a = seeds[flip ? j : i];
    const Vec3& b = seeds[flip ? i : j];
    Vec3 n = Normalized(b - a);
    Plane plane{n, Dot(n, (a + b) * 0.5)};
    return flip ? plane.Flipped() : plane;
}

// voro++ ends the process (exit()) on its internal errors. None of them is reachable from here:
// - the container is finite with a positive size on every axis (the seeds' box plus a margin);
// - every seed is finite and strictly inside it (checked below), so `put` never computes a
//   block from a NaN and no particle is silently dropped;
// - blocks per axis are bounded (1..64) and at most kMaxFragments seeds are put, far below
//   voro++'s particle memory maximum (16,777,216 per block);
// - seeds are at least a millionth of the diagonal apart (the sampler redraws closer ones), so
//   a cell has at most as many faces as there are seeds: its vertex, edge and delete-stack
//   memory stay far below voro++'s maxima;
// and should one be reached anyway, VoroErrors.cpp turns the exit into an exception.
VoronoiDiagram ComputeVoronoi(const std::vector<Vec3>& seeds, const Bounds& bounds) {
    const int n = static_cast<int>(seeds.size());
    VoronoiDiagram diagram;
    diagram.neighbours.resize(n);
    diagram.cellBounds.assign(n, bounds);
    diagram.polytopes.resize(n);
    if (n < 2)
        return diagram;
    if (bounds.Empty() || !IsFinite(bounds.min) || !IsFinite(bounds.max))
        throw std::invalid_argument("shatter: the Voronoi box must be finite");

    const Vec3 size = bounds.Size();
    const double extent = std::max({size.x, size.y, size.z});
    const double scale = extent > 0.0 ? kNormalisedSize / extent : 1.0;
    const Vec3 centre = bounds.Center();
    auto normalise = [&](const Vec3& p) { return (p - centre) * scale; };
    auto denormalise = [&](double x, double y, double z) {
        return Vec3(x, y, z) * (1.0 / scale) + centre;
    };

    Vec3 half = size * (0.5 * scale);
    const double margin = kContainerMargin * kNormalisedSize;
    half = {half.x + margin, half.y + margin, half.z + margin};
    const double volume = 8.0 * half.x * half.y * half.z;
    const double blockSize = std::cbrt(volume * kSeedsPerBlock / n);
    auto blocks = [&](double h) {
        return std::clamp(static_cast<int>(std::ceil(2.0 * h / blockSize)), 1, kMaxBlocksPerAxis);
    };

    voro::container container(-half.x, half.x, -half.y, half.y, -half.z, half.z, blocks(half.x),
                              blocks(half.y), blocks(half.z), false, false, false, 8);
    for (int i = 0; i < n; ++i) {
        const Vec3 q = normalise(seeds[i]);
        if (!IsFinite(q) || std::fabs(q.x) >= half.x || std::fabs(q.y) >= half.y ||
            std::fabs(q.z) >= half.z)
            throw std::invalid_argument("shatter: seed " + std::to_string(i) +
                                        " lies outside the Voronoi box");
        container.put(i, q.x, q.y, q.z);
    }

    std::vector<unsigned char> computed(n, 0);
    std::vector<int> list;
    std::vector<double> vertices;
    std::vector<int> faceVertices;
    voro::voronoicell_neighbor cell;
    voro::c_loop_all loop(container);
    if (loop.start()) {
        do {
            if (!container.compute_cell(cell, loop))
                continue;
            const int id = loop.pid();
            computed[id] = 1;
            cell.neighbors(list);
            for (int j : list)
                if (j >= 0 && j != id) {
                    diagram.neighbours[id].push_back(j);
                    diagram.neighbours[j].push_back(id);
                }
            double x, y, z;
            loop.pos(x, y, z);
            cell.vertices(x, y, z, vertices);
            CellPolytope& poly = diagram.polytopes[id];
            Bounds box;
            for (std::size_t k = 0; k + 2 < vertices.size(); k += 3) {
                poly.verts.push_back(denormalise(vertices[k], vertices[k + 1], vertices[k + 2]));
                box.Add(poly.verts.back());
            }
            cell.face_vertices(faceVertices);
            poly.faceNeighbour = list;
            poly.faceStart.push_back(0);
            for (std::size_t k = 0; k < faceVertices.size(); k += faceVertices[k] + 1) {
                const std::size_t count = static_cast<std::size_t>(faceVertices[k]);
                if (k + 1 + count > faceVertices.size())
                    break;
                for (std::size_t c = k + 1; c < k + 1 + count; ++c)
                    poly.faceVerts.push_back(faceVertices[c]);
                poly.faceStart.push_back(static_cast<int>(poly.faceVerts.size()));
            }
            if (poly.faceStart.size() != list.size() + 1)
                poly = CellPolytope{}; // inconsistent output: the cell will be cut instead
            const double m = kCellBoxMargin / scale;
            box.min = box.min - Vec3(m, m, m);
            box.max = box.max + Vec3(m, m, m);
            diagram.cellBounds[id] = box;
        } while (loop.inc());
    }

    // A cell voro++ could not compute (it never should with spaced seeds) is bounded against
    // every other seed instead, and its box is the whole container, so no part of the mesh is
    // lost.
    for (int i = 0; i < n; ++i) {
        if (computed[i])
            continue;
        for (int j = 0; j < n; ++j)
            if (j != i) {
                diagram.neighbours[i].push_back(j);
                diagram.neighbours[j].push_back(i);
            }
        diagram.cellBounds[i] = {denormalise(-half.x, -half.y, -half.z),
                                 denormalise(half.x, half.y, half.z)};
    }

    for (int i = 0; i < n; ++i) {
        std::vector<int>& list_i = diagram.neighbours[i];
        std::sort(list_i.begin(), list_i.end());
        list_i.erase(std::unique(list_i.begin(), list_i.end()), list_i.end());
        const Vec3& p = seeds[i];
        std::stable_sort(list_i.begin(), list_i.end(), [&](int a, int b) {
            Vec3 da = seeds[a] - p, db = seeds[b] - p;
            return Dot(da, da) < Dot(db, db);
        });
    }
    return diagram;
}

} // namespace Quarix::Shatter
