#pragma once
// Where the Voronoi cells come from: seed points scattered through the mesh's volume, optionally
// gathered around the point of impact.

#include "shatter/ShatterMesh.h"

#include <cstdint>
#include <random>
#include <vector>

namespace Quarix::Shatter {

/// Repeatable random numbers: std::mt19937 is fully specified by the standard, and the
/// conversions to doubles are done here rather than by library distributions, whose algorithms
/// differ between standard libraries.
class Random {
public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}
    /// Uniform in [0, 1) with 53 random bits.
    double Uniform();
    /// Standard normal deviate (Box-Muller).
    double Normal();

private:
    std::mt19937 engine_;
};

/// Tells inside from outside for a closed triangle mesh by counting signed crossings of a ray
/// along +z. Triangles are binned in a grid over the x-y plane so a query only visits the
/// triangles above and below the point. The mesh data must outlive the tester.
class InsideTester {
public:
    InsideTester(const std::vector<Vec3>& verts, const std::vector<Tri>& tris);
    /// Winding number of the surface around p: 1 inside an outward-wound closed mesh, 0 outside.
    /// Points exactly on a projected edge may be misjudged; the sampler only queries random points.
    int Winding(const Vec3& p) const;

private:
    int CellIndex(double x, double y) const;

    const std::vector<Vec3>& verts_;
    const std::vector<Tri>& tris_;
    Bounds bounds_;
    int grid_ = 1;
    std::vector<int> cellStart_;
    std::vector<int> cellTris_;
};

/// How seeds are spread.
struct SeedSettings {
    /// Number of seeds wanted.
    int count = 0;
    /// 0: uniform through the volume; 1: all seeds drawn from a Gaussian cloud around the impact
    /// point. In between, each seed picks the cloud with probability `bias` (a mixture density).
    double bias = 0.0;
    /// Point of impact, object space.
    Vec3 impact;
    /// Random seed; equal settings and seed give equal seeds.
    std::uint32_t randomSeed = 0;
};

/// Standard deviation of the impact cloud as a fraction of the mesh's bounding-box diagonal:
/// wide enough that a strongly biased shatter still reaches a good part of a compact object.
inline constexpr double kImpactSpread = 0.15;

/// Draws seeds inside `bounds`; for a closed mesh (`inside` not null) only points with a
/// non-zero winding number are accepted. Seeds closer together than a millionth of the bounding
/// diagonal are redrawn, so every seed owns a proper Voronoi cell. When the biased draw keeps
/// missing the volume (an impact point far outside), the remainder is drawn uniformly; when even
/// that fails (a closed mesh of almost no volume), fewer seeds than asked are returned.
std::vector<Vec3> SampleSeeds(const Bounds& bounds, const InsideTester* inside,
                              const SeedSettings& settings);

} // namespace Quarix::Shatter
