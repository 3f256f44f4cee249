#include "core/QX_BT_Shape_Builder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <random>

#include <LinearMath/btConvexHullComputer.h>

#include "core/QX_BT_Decomposition_Cache.h"

namespace Quarix {

namespace {

/// Smallest enclosed volume (cubic scene units) that still counts as a solid. Compared in double
/// precision so the threshold itself is not rounded to the nearest float.
constexpr double kMinEnclosedVolume = 0.000001;

/// The floor in cubic simulation units for a world of scale factor `scale`: a world that
/// simulates a centimetre scene in metres must not drop every solid under a cubic centimetre.
double MinEnclosedVolume(float scale) {
    const double s = (std::isfinite(scale) && scale > 0.0f) ? double(scale) : 1.0;
    return kMinEnclosedVolume * s * s * s;
}

/// Distance (simulation units) a vertex may stray off a face plane before the convex pre-test
/// calls the face set concave; absorbs the rounding of modelled and transformed vertices.
constexpr float kConvexPreTestTolerance = 0.001f;

/// Largest 32-bit unsigned value: the range bound of the seed-index rejection rule.
constexpr uint32_t kMaxDraw = 4294967295u;

/// One per cent, in single precision, as used for the split-off count.
constexpr float kPerCent = 0.01f;

glm::vec3 Vertex(const std::vector<float>& vertices, int32_t index) {
    const size_t i = 3 * static_cast<size_t>(index);
    return {vertices[i], vertices[i + 1], vertices[i + 2]};
}

/// Grows an affine basis point by point; `spansVolume` once four points not in a plane were seen.
class AffineSpan {
public:
    void add(const glm::dvec3& p) {
        switch (rank_) {
        case 0:
            origin_ = p;
            rank_ = 1;
            break;
        case 1:
            if (p != origin_) {
                axis_ = p - origin_;
                rank_ = 2;
            }
            break;
        case 2: {
            const glm::dvec3 n = glm::cross(axis_, p - origin_);
            if (glm::dot(n, n) > 0.0) {
                normal_ = n;
                rank_ = 3;
            }
            break;
        }
        case 3:
            if (glm::dot(normal_, p - origin_) != 0.0)
                rank_ = 4;
            break;
        default:
            break;
        }
    }
    bool spansVolume() const { return rank_ == 4; }

private:
    int rank_ = 0;
    glm::dvec3 origin_{0.0};
    glm::dvec3 axis_{0.0};
    glm::dvec3 normal_{0.0};
};

/// Draws an index in 0..m-1 from a fresh Mersenne twister seeded with `engineSeed`, rejecting the
/// top partial range so every index is equally likely. Written out rather than taken from
/// std::uniform_int_distribution, whose draws differ between standard libraries.
uint32_t DrawIndex(uint32_t engineSeed, uint32_t m) {
    if (m <= 1)
        return 0;
    std::mt19937 engine(engineSeed);
    const bool wholeRangeFits = kMaxDraw % m == m - 1;
    uint32_t v = 0;
    do {
        v = static_cast<uint32_t>(engine());
    } while (!(v / m < kMaxDraw / m || wholeRangeFits));
    return v % m;
}

glm::vec3 ShapeCentre(const btCollisionShape* shape) {
    const QX_BT_Shape_Extension_Interface* ext = GetShapeExtension(shape);
    return ext ? ext->centre : glm::vec3(0.0f);
}

std::unique_ptr<QX_BT_CompoundShape> MakeBody(const std::vector<btCollisionShape*>& children) {
    auto body = std::make_unique<QX_BT_CompoundShape>();
    body->pendingChildren = children;
    body->assembleChildren();
    return body;
}

/// A body-to-be of the "Clusters" grouping: its seed's centre and its members keyed by distance
/// to it. std::multimap keeps members at equal distance in insertion order.
struct Cluster {
    glm::vec3 seedCentre{0.0f};
    std::multimap<float, btCollisionShape*> members;
};

void GroupIntoClusters(const std::vector<btCollisionShape*>& present, QX_BT_Body_Shape_List& out,
                       int32_t clusterCount, float percentage, int32_t seed) {
    // Seeds: every draw reseeds the engine with (seed + remaining candidates), so the choice
    // depends only on the seed and the candidate order, which is the element order.
    std::vector<btCollisionShape*> candidates = present;
    std::vector<Cluster> clusters(static_cast<size_t>(clusterCount));
    for (Cluster& cluster : clusters) {
        const uint32_t m = static_cast<uint32_t>(candidates.size());
        const uint32_t engineSeed = static_cast<uint32_t>(seed) + m;
        const uint32_t pick = DrawIndex(engineSeed, m);
        cluster.seedCentre = ShapeCentre(candidates[pick]);
        candidates.erase(candidates.begin() + pick);
    }

    for (btCollisionShape* shape : present) {
        const glm::vec3 centre = ShapeCentre(shape);
        size_t best = 0;
        float bestDistance = std::numeric_limits<float>::infinity();
        for (size_t c = 0; c < clusters.size(); ++c) {
            float d = glm::distance(centre, clusters[c].seedCentre);
            if (std::isnan(d))
                d = std::numeric_limits<float>::infinity(); // keeps the multimap's order strict
            if (c == 0 || d < bestDistance) {
                best = c;
                bestDistance = d;
            }
        }
        clusters[best].members.emplace(bestDistance, shape);
    }

    std::vector<btCollisionShape*> splitOff;
    for (Cluster& cluster : clusters) {
        const float size = static_cast<float>(cluster.members.size());
        const size_t k =
            std::min(static_cast<size_t>(size * percentage * kPerCent), cluster.members.size());
        for (size_t i = 0; i < k; ++i) {
            auto farthest = std::prev(cluster.members.end());
            splitOff.push_back(farthest->second);
            cluster.members.erase(farthest);
        }
    }

    for (const Cluster& cluster : clusters) {
        if (cluster.members.empty())
            continue;
        std::vector<btCollisionShape*> children;
        children.reserve(cluster.members.size());
        for (const auto& [distance, shape] : cluster.members)
            children.push_back(shape);
        out.push_back(MakeBody(children));
    }
    for (btCollisionShape* shape : splitOff)
        out.push_back(MakeBody({shape}));
}

} // namespace

QX_BT_HACD_Settings QX_BT_HACD_Settings::Low() {
    return {100, 0.1f, 2, 100.0f, 0.0f, false, false, false};
}

QX_BT_HACD_Settings QX_BT_HACD_Settings::High() {
    return {100, 0.01f, 2, 1.0f, 0.0f, true, true, true};
}

bool IsValidFaceSet(const std::vector<float>& vertices, const std::vector<int32_t>& faces,
                    const QX_BT_Face_List& list) {
    if (list.empty())
        return false;
    const size_t faceCount = faces.size() / 3;
    const size_t vertexCount = vertices.size() / 3;
    for (int32_t f : list) {
        if (f < 0 || static_cast<size_t>(f) >= faceCount)
            return false;
        for (int k = 0; k < 3; ++k) {
            const int32_t v = faces[3 * static_cast<size_t>(f) + k];
            if (v < 0 || static_cast<size_t>(v) >= vertexCount)
                return false;
            const glm::vec3 p = Vertex(vertices, v);
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
                return false;
        }
    }
    return true;
}

bool IsUsableFaceSet(const std::vector<float>& vertices, const std::vector<int32_t>& faces,
                     const QX_BT_Face_List& list) {
    if (!IsValidFaceSet(vertices, faces, list))
        return false;
    bool hasArea = false;
    AffineSpan span;
    for (int32_t f : list) {
        glm::dvec3 corner[3];
        for (int k = 0; k < 3; ++k) {
            corner[k] = glm::dvec3(Vertex(vertices, faces[3 * static_cast<size_t>(f) + k]));
            span.add(corner[k]);
        }
        if (!hasArea) {
            const glm::dvec3 n = glm::cross(corner[1] - corner[0], corner[2] - corner[0]);
            hasArea = glm::dot(n, n) > 0.0;
        }
    }
    return hasArea && span.spansVolume();
}

std::unique_ptr<QX_BT_ConvexShape> BuildConvexShape(const std::vector<float>& vertices,
                                                    const std::vector<int32_t>& faces,
                                                    const QX_BT_Face_List& list, bool swap,
                                                    float scale) {
    if (!IsUsableFaceSet(vertices, faces, list))
        return nullptr;

    std::vector<int32_t> corners;
    corners.reserve(3 * list.size());
    for (int32_t f : list) {
        const int32_t* face = &faces[3 * static_cast<size_t>(f)];
        if (swap)
            corners.insert(corners.end(), {face[1], face[0], face[2]});
        else
            corners.insert(corners.end(), {face[0], face[1], face[2]});
    }

    const std::optional<glm::vec3> centre = ComputeSurfaceCentroid(vertices, corners);
    if (!centre || !std::isfinite(centre->x) || !std::isfinite(centre->y) ||
        !std::isfinite(centre->z))
        return nullptr;
    const float volume = ComputeEnclosedVolume(vertices, corners, *centre);
    // Inward winding clamps the volume to 0, so it fails here and the caller tries the other.
    if (!std::isfinite(volume) || static_cast<double>(volume) < MinEnclosedVolume(scale))
        return nullptr;

    // Every corner goes to the hull computer, duplicates included: it welds them itself.
    std::vector<float> points;
    points.reserve(3 * corners.size());
    for (int32_t v : corners) {
        const glm::vec3 p = Vertex(vertices, v) - *centre;
        points.insert(points.end(), {p.x, p.y, p.z});
    }
    btConvexHullComputer computer;
    computer.compute(points.data(), 3 * static_cast<int>(sizeof(float)),
                     static_cast<int>(corners.size()), 0.0f, 0.0f);
    if (computer.vertices.size() == 0)
        return nullptr;

    auto shape =
        std::make_unique<QX_BT_ConvexShape>(&computer.vertices[0], computer.vertices.size());
    shape->vertexIndices.insert(corners.begin(), corners.end());
    shape->volume = volume;
    shape->centre = *centre;
    shape->faceIndices = list;
    return shape;
}

std::unique_ptr<QX_BT_ConvexShape> BuildConvexShapeFromMesh(const std::vector<float>& vertices,
                                                            const std::vector<int32_t>& faces,
                                                            float scale) {
    QX_BT_Face_List list(faces.size() / 3);
    for (size_t f = 0; f < list.size(); ++f)
        list[f] = static_cast<int32_t>(f);
    if (auto shape = BuildConvexShape(vertices, faces, list, false, scale))
        return shape;
    return BuildConvexShape(vertices, faces, list, true, scale);
}

std::unique_ptr<QX_BT_ConcaveShape> BuildConcaveShape(const std::vector<float>& vertices,
                                                      const std::vector<int32_t>& faces,
                                                      const QX_BT_Face_List& list, bool high,
                                                      QX_BT_Decomposition_Cache* cache,
                                                      float scale) {
    auto shape = std::make_unique<QX_BT_ConcaveShape>();
    if (!IsValidFaceSet(vertices, faces, list))
        return shape; // empty, and without faces its extension cannot point outside the mesh

    // A flat or collapsed face set is decomposed into nothing (DecomposeFaceSet refuses it):
    // the shape then has no hulls and volume 0 but still names its faces.
    const std::vector<QX_BT_Hull_Cluster> clusters =
        cache ? cache->decompose(vertices, faces, list, high)
              : DecomposeFaceSet(vertices, faces, list,
                                 high ? QX_BT_HACD_Settings::High() : QX_BT_HACD_Settings::Low());

    // Hulls stay owned here until assembly has handed them to the concave shape.
    std::vector<std::unique_ptr<QX_BT_ConvexShape>> hulls;
    for (const QX_BT_Hull_Cluster& cluster : clusters) {
        std::unique_ptr<QX_BT_ConvexShape> hull =
            BuildConvexShapeFromMesh(cluster.vertices, cluster.triangles, scale);
        if (!hull)
            continue;
        // Its indices would refer to the cluster's private mesh, not to the source mesh.
        hull->vertexIndices.clear();
        hull->faceIndices.clear();
        if (hull->volume > 0.0f)
            hulls.push_back(std::move(hull));
    }
    for (const auto& hull : hulls)
        shape->pendingChildren.push_back(hull.get());
    shape->assembleChildren();
    for (auto& hull : hulls)
        static_cast<void>(hull.release());

    shape->faceIndices = list;
    for (int32_t f : list) {
        for (int k = 0; k < 3; ++k)
            shape->vertexIndices.insert(faces[3 * static_cast<size_t>(f) + k]);
    }
    return shape;
}

bool IsConvexFaceSet(const std::vector<float>& vertices, const std::vector<int32_t>& faces,
                     const QX_BT_Face_List& list, float tolerance) {
    if (list.empty())
        return true;
    const size_t faceCount = faces.size() / 3;
    const size_t vertexCount = vertices.size() / 3;
    for (int32_t f : list) {
        if (f < 0 || static_cast<size_t>(f) >= faceCount)
            return false;
        for (int k = 0; k < 3; ++k) {
            const int32_t v = faces[3 * static_cast<size_t>(f) + k];
            if (v < 0 || static_cast<size_t>(v) >= vertexCount)
                return false;
        }
    }
    auto corner = [&](size_t i, int k) {
        return Vertex(vertices, faces[3 * static_cast<size_t>(list[i]) + k]);
    };

    // R is a fixed reference vertex on the solid. Each face plane that R is clearly off must
    // have every later face's corners on R's side (within tolerance); earlier faces have been
    // tested against their own planes already.
    const glm::vec3 reference = corner(0, 0);
    for (size_t i = 0; i < list.size(); ++i) {
        const glm::vec3 a = corner(i, 0);
        const glm::vec3 cross = glm::cross(corner(i, 1) - a, corner(i, 2) - a);
        const float length = glm::length(cross);
        if (!(length > 0.0f) || !std::isfinite(length))
            continue; // a face without a plane cannot fail the test
        const glm::vec3 normal = cross / length;
        const float r = glm::dot(normal, reference - a);
        if (!(std::fabs(r) > tolerance))
            continue;
        for (size_t j = i; j < list.size(); ++j) {
            for (int k = 0; k < 3; ++k) {
                const float d = glm::dot(normal, corner(j, k) - a);
                if (std::fabs(d) > tolerance && d * r < 0.0f)
                    return false;
            }
        }
    }
    return true;
}

std::unique_ptr<btCollisionShape> BuildElementShape(const std::vector<float>& vertices,
                                                    const std::vector<int32_t>& faces,
                                                    const QX_BT_Face_List& list, int32_t meshType,
                                                    bool convexPreTest,
                                                    QX_BT_Decomposition_Cache* cache, float scale) {
    if (!IsValidFaceSet(vertices, faces, list))
        return nullptr;
    const bool concave = meshType == QX_BT_Mesh_ConcaveLow || meshType == QX_BT_Mesh_ConcaveHigh;
    if (convexPreTest && concave && IsConvexFaceSet(vertices, faces, list, kConvexPreTestTolerance))
        meshType = QX_BT_Mesh_Convex;

    switch (meshType) {
    case QX_BT_Mesh_Convex:
        if (auto shape = BuildConvexShape(vertices, faces, list, false, scale))
            return shape;
        return BuildConvexShape(vertices, faces, list, true, scale);
    case QX_BT_Mesh_ConcaveLow:
        return BuildConcaveShape(vertices, faces, list, false, cache, scale);
    case QX_BT_Mesh_ConcaveHigh:
        return BuildConcaveShape(vertices, faces, list, true, cache, scale);
    default:
        return nullptr;
    }
}

QX_BT_Shape_List BuildElementShapes(const std::vector<float>& vertices,
                                    const std::vector<int32_t>& faces,
                                    const QX_BT_Element_List& elements, int32_t meshType,
                                    bool convexPreTest, const std::vector<int32_t>& meshTypes,
                                    QX_BT_Decomposition_Cache* cache, float scale) {
    QX_BT_Shape_List result(elements.size());

    // Elements are handed out through a guarded counter so that several workers could share
    // the loop; each writes only its own slot. A second worker gained nothing measurable (a wall
    // of 1,000 boxes: about 6.5 ms either way; 200 spheres of 400 triangles: about 49 ms either
    // way), and HACD runs one decomposition at a time anyway, so the loop stays on the calling
    // thread.
    std::mutex counterMutex;
    size_t next = 0;
    auto takeNext = [&] {
        std::lock_guard<std::mutex> lock(counterMutex);
        return next++;
    };
    for (size_t i = takeNext(); i < elements.size(); i = takeNext()) {
        const int32_t type = i < meshTypes.size() ? meshTypes[i] : meshType;
        result[i] =
            BuildElementShape(vertices, faces, elements[i], type, convexPreTest, cache, scale);
    }
    return result;
}

void GroupElementShapes(const std::vector<btCollisionShape*>& shapes, QX_BT_Body_Shape_List& out,
                        int32_t clusterCount, float percentage, int32_t seed) {
    std::vector<btCollisionShape*> present;
    present.reserve(shapes.size());
    for (btCollisionShape* shape : shapes) {
        if (shape != nullptr)
            present.push_back(shape);
    }
    if (present.empty())
        return;

    const float p = percentage > 0.0f ? std::min(percentage, 100.0f) : 0.0f; // NaN acts as 0
    const int32_t n = std::max(clusterCount, 1);
    out.clear();

    if (n == 1) {
        out.push_back(MakeBody(present));
    } else if (static_cast<size_t>(n) >= present.size()) {
        for (btCollisionShape* shape : present)
            out.push_back(MakeBody({shape}));
    } else {
        GroupIntoClusters(present, out, n, p, seed);
    }
}

std::vector<btCollisionShape*> ShapePointers(const QX_BT_Shape_List& shapes) {
    std::vector<btCollisionShape*> pointers;
    pointers.reserve(shapes.size());
    for (const auto& s : shapes)
        pointers.push_back(s.get());
    return pointers;
}

} // namespace Quarix
