// DecomposeFaceSet (declared in QX_BT_Shape_Builder.h): the one place the core talks to HACD.

#include <algorithm>
#include <array>
#include <map>
#include <mutex>

#include <HACD/hacdHACD.h>

#include "core/QX_BT_Shape_Builder.h"

namespace Quarix {

namespace {

/// HACD keeps library-wide state, so only one decomposition may run at a time in the process.
/// A function-local static is the narrowest owner for that lock: it guards a global that is not
/// ours, and it holds no data of its own.
std::mutex& HacdMutex() {
    static std::mutex mutex;
    return mutex;
}

/// Gives every distinct position of the listed faces one HACD point and drops the triangles that
/// collapse onto a line or point once welded. HACD finds its clusters along shared edges: fed a
/// soup of private corners it sees no neighbours, merges loose triangles and returns hulls that
/// overlap and bridge holes (a torus' hulls came to 3.4 times its volume). Positions are welded
/// when they are equal, whatever their vertex index, so split normals or UV seams do not cut
/// the surface apart either. HACD keeps raw pointers to both arrays, so the caller keeps them
/// alive until the decomposition is done.
void WeldFaces(const std::vector<float>& vertices, const std::vector<int32_t>& faces,
               const QX_BT_Face_List& list, std::vector<HACD::Vec3<HACD::Real>>& points,
               std::vector<HACD::Vec3<long>>& triangles) {
    std::map<std::array<float, 3>, long> pointOf;
    points.reserve(list.size());
    triangles.reserve(list.size());
    for (int32_t f : list) {
        long corner[3];
        for (int k = 0; k < 3; ++k) {
            const size_t v = 3 * static_cast<size_t>(faces[3 * static_cast<size_t>(f) + k]);
            const std::array<float, 3> p{vertices[v], vertices[v + 1], vertices[v + 2]};
            auto [it, inserted] = pointOf.try_emplace(p, static_cast<long>(points.size()));
            if (inserted)
                points.emplace_back(p[0], p[1], p[2]);
            corner[k] = it->second;
        }
        if (corner[0] != corner[1] && corner[1] != corner[2] && corner[0] != corner[2])
            triangles.emplace_back(corner[0], corner[1], corner[2]);
    }
}

} // namespace

std::vector<QX_BT_Hull_Cluster> DecomposeFaceSet(const std::vector<float>& vertices,
                                                 const std::vector<int32_t>& faces,
                                                 const QX_BT_Face_List& list,
                                                 const QX_BT_HACD_Settings& settings) {
    if (!IsUsableFaceSet(vertices, faces, list))
        return {};

    std::vector<HACD::Vec3<HACD::Real>> points;
    std::vector<HACD::Vec3<long>> triangles;
    WeldFaces(vertices, faces, list, points, triangles);
    if (triangles.empty())
        return {};

    std::vector<QX_BT_Hull_Cluster> clusters;
    std::lock_guard<std::mutex> lock(HacdMutex());
    try {
        HACD::HACD hacd;
        hacd.SetPoints(points.data());
        hacd.SetNPoints(points.size());
        hacd.SetTriangles(triangles.data());
        hacd.SetNTriangles(triangles.size());
        hacd.SetNVerticesPerCH(static_cast<size_t>(std::max(settings.verticesPerHull, 0)));
        hacd.SetCompacityWeight(settings.compacityWeight);
        hacd.SetNClusters(static_cast<size_t>(std::max(settings.minClusters, 0)));
        hacd.SetConcavity(settings.concavity);
        hacd.SetVolumeWeight(settings.volumeWeight);
        hacd.SetAddExtraDistPoints(settings.addExtraDistPoints);
        hacd.SetAddNeighboursDistPoints(settings.addNeighboursDistPoints);
        hacd.SetAddFacesPoints(settings.addFacesPoints);
        const bool computed = hacd.Compute(false, false);
        // Compute already hands out hulls in our units; this only restores HACD's private copy
        // of the soup, which is discarded with it.
        hacd.DenormalizeData();
        if (!computed)
            return {};

        std::vector<HACD::Vec3<HACD::Real>> hullPoints;
        std::vector<HACD::Vec3<long>> hullTriangles;
        for (size_t c = 0; c < hacd.GetNClusters(); ++c) {
            const size_t pointCount = hacd.GetNPointsCH(c);
            const size_t triangleCount = hacd.GetNTrianglesCH(c);
            if (pointCount == 0 || triangleCount == 0)
                continue;
            hullPoints.assign(pointCount, HACD::Vec3<HACD::Real>(0.0));
            hullTriangles.assign(triangleCount, HACD::Vec3<long>(0));
            if (!hacd.GetCH(c, hullPoints.data(), hullTriangles.data()))
                continue;

            QX_BT_Hull_Cluster cluster;
            cluster.vertices.reserve(3 * pointCount);
            for (const auto& p : hullPoints) {
                cluster.vertices.insert(cluster.vertices.end(),
                                        {static_cast<float>(p.X()), static_cast<float>(p.Y()),
                                         static_cast<float>(p.Z())});
            }
            cluster.triangles.reserve(3 * triangleCount);
            for (const auto& t : hullTriangles) {
                cluster.triangles.insert(cluster.triangles.end(),
                                         {static_cast<int32_t>(t.X()), static_cast<int32_t>(t.Y()),
                                          static_cast<int32_t>(t.Z())});
            }
            clusters.push_back(std::move(cluster));
        }
    } catch (...) {
        return {}; // HACD reports trouble only through exceptions from its containers
    }
    return clusters;
}

} // namespace Quarix
