#include "shatter/VoronoiCells.h"

#include <voro++.hh>

#include <algorithm>
#include <cmath>

namespace Quarix::Shatter {

namespace {

/// voro++ works with an absolute tolerance tuned for coordinates of order one, so the seeds are
/// mapped into a box of that size first.
constexpr double kNormalisedSize = 1.0;
/// Margin around the seeds' box, as a fraction of its size: walls stay clear of every seed.
constexpr double kContainerMargin = 0.1;
/// Seeds per voro++ block; its documentation recommends about five.
constexpr double kSeedsPerBlock = 5.0;
/// Upper bound of voro++ blocks per axis.
constexpr int kMaxBlocksPerAxis = 64;

} // namespace

Plane BisectorPlane(const std::vector<Vec3>& seeds, int i, int j) {
    const bool flip = i > j;
    const Vec3& a = seeds[flip ? j : i];
    const Vec3& b = seeds[flip ? i : j];
    Vec3 n = Normalized(b - a);
    Plane plane{n, Dot(n, (a + b) * 0.5)};
    return flip ? plane.Flipped() : plane;
}

std::vector<std::vector<int>> VoronoiNeighbours(const std::vector<Vec3>& seeds,
                                                const Bounds& bounds) {
    const int n = static_cast<int>(seeds.size());
    std::vector<std::vector<int>> neighbours(n);
    if (n < 2)
        return neighbours;

    const Vec3 size = bounds.Size();
    const double extent = std::max({size.x, size.y, size.z});
    const double scale = extent > 0.0 ? kNormalisedSize / extent : 1.0;
    const Vec3 centre = bounds.Center();
    auto normalise = [&](const Vec3& p) { return (p - centre) * scale; };

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
        Vec3 q = normalise(seeds[i]);
        container.put(i, q.x, q.y, q.z);
    }

    std::vector<unsigned char> computed(n, 0);
    std::vector<int> list;
    voro::voronoicell_neighbor cell;
    voro::c_loop_all loop(container);
    if (loop.start()) {
        do {
            if (!container.compute_cell(cell, loop))
                continue;
            const int id = loop.pid();
            cell.neighbors(list);
            computed[id] = 1;
            for (int j : list)
                if (j >= 0 && j != id) {
                    neighbours[id].push_back(j);
                    neighbours[j].push_back(id);
                }
        } while (loop.inc());
    }

    // A cell voro++ could not compute (it never should with spaced seeds) is bounded against
    // every other seed instead, so no part of the mesh is lost.
    for (int i = 0; i < n; ++i) {
        if (computed[i])
            continue;
        for (int j = 0; j < n; ++j)
            if (j != i) {
                neighbours[i].push_back(j);
                neighbours[j].push_back(i);
            }
    }

    for (int i = 0; i < n; ++i) {
        std::vector<int>& list_i = neighbours[i];
        std::sort(list_i.begin(), list_i.end());
        list_i.erase(std::unique(list_i.begin(), list_i.end()), list_i.end());
        const Vec3& p = seeds[i];
        std::stable_sort(list_i.begin(), list_i.end(), [&](int a, int b) {
            Vec3 da = seeds[a] - p, db = seeds[b] - p;
            return Dot(da, da) < Dot(db, db);
        });
    }
    return neighbours;
}

} // namespace Quarix::Shatter
