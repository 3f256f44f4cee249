#include <algorithm>
#include <climits>
#include <numeric>

#include "bench/bench.h"
#include "bench/benchmarks.h"

#include "core/QX_BT_Decomposition_Cache.h"
#include "core/QX_BT_Shape_Builder.h"
#include "tests/fixtures/QX_Test_Meshes.h"

namespace Quarix::Bench {

namespace {

/// A wall of 50 x 20 bricks, each its own closed element of 12 triangles.
QX_BT_Mesh_Data MakeBrickWall() {
    constexpr int kColumns = 50;
    constexpr int kRows = 20;
    const glm::vec3 half(0.2f, 0.1f, 0.1f);
    QX_BT_Mesh_Data wall;
    for (int row = 0; row < kRows; ++row) {
        const float offset = (row % 2) ? half.x : 0.0f; // running bond
        for (int column = 0; column < kColumns; ++column) {
            const glm::vec3 centre(2.0f * half.x * float(column) + offset,
                                   2.0f * half.y * float(row), 0.0f);
            Fixtures::AppendElement(wall, Fixtures::MakeBox(centre, half));
        }
    }
    return wall;
}

/// Decomposes one torus element of 2 * major * minor triangles with a concave mesh type: the
/// best of `runs` fresh builds, then the same element again through a decomposition cache as an
/// object core's rebuild would (the baseline a rebuild of an unchanged element should reach).
std::string HacdTorusBench(const char* name, int majorSegments, int minorSegments, int32_t meshType,
                           int runs) {
    const QX_BT_Mesh_Data torus =
        Fixtures::MakeTorus(glm::vec3(0), 2.0f, 0.6f, majorSegments, minorSegments);
    QX_BT_Face_List list(torus.faceCount());
    std::iota(list.begin(), list.end(), 0);
    const auto& vertices = torus.geometry.vertices;
    const auto& faces = torus.geometry.faces;

    double best = 1e30;
    long long hulls = 0;
    float volume = 0.0f;
    for (int run = 0; run < runs; ++run) {
        Stopwatch watch;
        const std::unique_ptr<btCollisionShape> shape =
            BuildElementShape(vertices, faces, list, meshType, true);
        best = std::min(best, watch.ms());
        const auto* compound = static_cast<const QX_BT_CompoundShape*>(shape.get());
        hulls = compound ? compound->getNumChildShapes() : 0;
        volume = compound ? compound->volume : 0.0f;
    }

    QX_BT_Decomposition_Cache cache;
    BuildElementShape(vertices, faces, list, meshType, true, &cache);
    double cached = 1e30;
    for (int run = 0; run < 5; ++run) {
        Stopwatch watch;
        BuildElementShape(vertices, faces, list, meshType, true, &cache);
        cached = std::min(cached, watch.ms());
    }
    const float meshVolume = ComputeEnclosedVolume(vertices, faces, glm::vec3(0.0f));
    return JsonObject()
        .add("name", std::string(name))
        .add("ms", best)
        .add("cached_ms", cached)
        .add("shapes", hulls)
        .add("volume_ratio", double(volume / meshVolume))
        .add("triangles", static_cast<long long>(torus.faceCount()))
        .str();
}

} // namespace

std::string ShapesBenchWall1000() {
    const QX_BT_Mesh_Data wall = MakeBrickWall();
    const QX_BT_Element_List elements = ExtractElements(wall.geometry.faces);

    constexpr int kRuns = 5;
    double best = 1e30;
    size_t bodies = 0;
    for (int run = 0; run < kRuns; ++run) {
        Stopwatch watch;
        const QX_BT_Shape_List shapes = BuildElementShapes(
            wall.geometry.vertices, wall.geometry.faces, elements, QX_BT_Mesh_Convex, true);
        QX_BT_Body_Shape_List bodyShapes;
        GroupElementShapes(ShapePointers(shapes), bodyShapes, INT_MAX, 0.0f, 0);
        best = std::min(best, watch.ms());
        bodies = bodyShapes.size();
    }
    return JsonObject()
        .add("name", std::string("shapes_wall1000"))
        .add("ms", best)
        .add("shapes", static_cast<long long>(bodies))
        .add("elements", static_cast<long long>(elements.size()))
        .str();
}

std::string HacdTorus1000Low() {
    return HacdTorusBench("hacd_torus1000_low", 25, 20, QX_BT_Mesh_ConcaveLow, 3);
}

std::string HacdTorus1000High() {
    return HacdTorusBench("hacd_torus1000_high", 25, 20, QX_BT_Mesh_ConcaveHigh, 3);
}

std::string HacdTorus2000Low() {
    return HacdTorusBench("hacd_torus2000_low", 50, 20, QX_BT_Mesh_ConcaveLow, 1);
}

} // namespace Quarix::Bench
