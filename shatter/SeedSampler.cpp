#include "shatter/SeedSampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>

namespace Quarix::Shatter {

namespace {

/// Seeds closer than this fraction of the bounding diagonal are treated as duplicates: voro++
/// would merge or drop their cells.
constexpr double kMinSeedSpacing = 1e-6;
/// Candidate draws allowed per seed before a sampling phase gives up; a closed mesh filling
/// 1 % of its box still succeeds with near certainty.
constexpr int kAttemptsPerSeed = 200;
/// Triangles per grid cell the inside tester aims for.
constexpr int kTrianglesPerCell = 4;
/// Upper bound of grid cells per axis of the inside tester.
constexpr int kMaxGrid = 256;

/// Hash grid of accepted seeds for the spacing test.
class SpacingGrid {
public:
    SpacingGrid(const Vec3& origin, double spacing) : origin_(origin), spacing_(spacing) {}

    bool HasNeighbour(const Vec3& p, const std::vector<Vec3>& seeds) const {
        const long long cx = Coord(p.x, origin_.x), cy = Coord(p.y, origin_.y),
                        cz = Coord(p.z, origin_.z);
        for (long long dx = -1; dx <= 1; ++dx)
            for (long long dy = -1; dy <= 1; ++dy)
                for (long long dz = -1; dz <= 1; ++dz) {
                    auto range = cells_.equal_range(Key(cx + dx, cy + dy, cz + dz));
                    for (auto it = range.first; it != range.second; ++it)
                        if (Length(seeds[it->second] - p) < spacing_)
                            return true;
                }
        return false;
    }

    void Add(const Vec3& p, int index) {
        cells_.emplace(Key(Coord(p.x, origin_.x), Coord(p.y, origin_.y), Coord(p.z, origin_.z)),
                       index);
    }

private:
    long long Coord(double v, double o) const {
        return static_cast<long long>(std::floor((v - o) / spacing_));
    }
    static std::uint64_t Key(long long x, long long y, long long z) {
        auto u = [](long long v) { return static_cast<std::uint64_t>(v) & 0x1fffffu; };
        return (u(x) << 42) | (u(y) << 21) | u(z);
    }

    Vec3 origin_;
    double spacing_;
    std::unordered_multimap<std::uint64_t, int> cells_;
};

/// Edge function of p against the directed edge (a, b), evaluated from the lower vertex index so
/// that the two triangles sharing an edge see exactly opposite values.
double EdgeFunction(const std::vector<Vec3>& v, int ia, int ib, double px, double py) {
    bool flip = ia > ib;
    const Vec3& a = v[flip ? ib : ia];
    const Vec3& b = v[flip ? ia : ib];
    double e = (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
    return flip ? -e : e;
}

} // namespace

double Random::Uniform() {
    std::uint64_t hi = engine_() >> 5, lo = engine_() >> 6; // 27 + 26 bits
    return static_cast<double>((hi << 26) | lo) * 0x1.0p-53;
}

double Random::Normal() {
    double u1 = Uniform();
    double u2 = Uniform();
    return std::sqrt(-2.0 * std::log(1.0 - u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

InsideTester::InsideTester(const std::vector<Vec3>& verts, const std::vector<Tri>& tris)
    : verts_(verts), tris_(tris) {
    for (const Tri& t : tris)
        for (int i : t)
            bounds_.Add(verts[i]);
    const double cells = static_cast<double>(tris.size()) / kTrianglesPerCell;
    grid_ = std::clamp(static_cast<int>(std::sqrt(cells)), 1, kMaxGrid);

    // Counting sort of triangles into the cells their x-y bounding boxes cover.
    std::vector<int> counts(static_cast<std::size_t>(grid_) * grid_ + 1, 0);
    auto forCells = [&](const Tri& t, auto&& visit) {
        Bounds b;
        for (int i : t)
            b.Add(verts[i]);
        int x0 = CellIndex(b.min.x, b.min.y) % grid_, y0 = CellIndex(b.min.x, b.min.y) / grid_;
        int x1 = CellIndex(b.max.x, b.max.y) % grid_, y1 = CellIndex(b.max.x, b.max.y) / grid_;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                visit(y * grid_ + x);
    };
    for (const Tri& t : tris)
        forCells(t, [&](int c) { ++counts[c + 1]; });
    for (std::size_t c = 1; c < counts.size(); ++c)
        counts[c] += counts[c - 1];
    cellStart_ = counts;
    cellTris_.resize(counts.back());
    for (std::size_t t = 0; t < tris.size(); ++t)
        forCells(tris[t], [&](int c) { cellTris_[counts[c]++] = static_cast<int>(t); });
}

int InsideTester::CellIndex(double x, double y) const {
    auto axis = [this](double v, double lo, double hi) {
        double span = hi - lo;
        if (!(span > 0.0))
            return 0;
        return std::clamp(static_cast<int>((v - lo) / span * grid_), 0, grid_ - 1);
    };
    return axis(y, bounds_.min.y, bounds_.max.y) * grid_ + axis(x, bounds_.min.x, bounds_.max.x);
}

int InsideTester::Winding(const Vec3& p) const {
    if (bounds_.Empty() || p.x < bounds_.min.x || p.x > bounds_.max.x || p.y < bounds_.min.y ||
        p.y > bounds_.max.y || p.z > bounds_.max.z)
        return 0;
    const int cell = CellIndex(p.x, p.y);
    int winding = 0;
    for (int k = cellStart_[cell]; k < cellStart_[cell + 1]; ++k) {
        const Tri& t = tris_[cellTris_[k]];
        double e0 = EdgeFunction(verts_, t[1], t[2], p.x, p.y);
        double e1 = EdgeFunction(verts_, t[2], t[0], p.x, p.y);
        double e2 = EdgeFunction(verts_, t[0], t[1], p.x, p.y);
        int sign;
        if (e0 > 0 && e1 > 0 && e2 > 0)
            sign = 1;
        else if (e0 < 0 && e1 < 0 && e2 < 0)
            sign = -1;
        else
            continue;
        double z =
            (e0 * verts_[t[0]].z + e1 * verts_[t[1]].z + e2 * verts_[t[2]].z) / (e0 + e1 + e2);
        if (z > p.z)
            winding += sign;
    }
    return winding;
}

std::vector<Vec3> SampleSeeds(const Bounds& bounds, const InsideTester* inside,
                              const SeedSettings& settings) {
    std::vector<Vec3> seeds;
    if (settings.count <= 0 || bounds.Empty())
        return seeds;
    const double diagonal = bounds.Diagonal();
    const double spacing = diagonal > 0.0 ? diagonal * kMinSeedSpacing : 1.0;
    const double sigma = diagonal * kImpactSpread;
    const double bias = std::clamp(settings.bias, 0.0, 1.0);
    const Vec3 size = bounds.Size();
    SpacingGrid grid(bounds.min, spacing);
    Random random(settings.randomSeed);
    seeds.reserve(settings.count);

    auto tryAdd = [&](const Vec3& p) {
        if (p.x < bounds.min.x || p.x > bounds.max.x || p.y < bounds.min.y || p.y > bounds.max.y ||
            p.z < bounds.min.z || p.z > bounds.max.z)
            return;
        if (inside && inside->Winding(p) == 0)
            return;
        if (grid.HasNeighbour(p, seeds))
            return;
        grid.Add(p, static_cast<int>(seeds.size()));
        seeds.push_back(p);
    };
    auto uniformPoint = [&]() {
        double x = random.Uniform(), y = random.Uniform(), z = random.Uniform();
        return Vec3(bounds.min.x + x * size.x, bounds.min.y + y * size.y,
                    bounds.min.z + z * size.z);
    };

    const long long attempts = static_cast<long long>(settings.count) * kAttemptsPerSeed;
    for (long long a = 0; a < attempts && static_cast<int>(seeds.size()) < settings.count; ++a) {
        if (bias > 0.0 && random.Uniform() < bias) {
            double x = random.Normal(), y = random.Normal(), z = random.Normal();
            tryAdd(settings.impact + Vec3(x, y, z) * sigma);
        } else {
            tryAdd(uniformPoint());
        }
    }
    for (long long a = 0; a < attempts && static_cast<int>(seeds.size()) < settings.count; ++a)
        tryAdd(uniformPoint());
    return seeds;
}

} // namespace Quarix::Shatter
