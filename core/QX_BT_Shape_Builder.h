#pragma once

// Turns the faces of a mesh into collision shapes: one element shape per connected element
// (a convex hull, or a compound of hulls from an HACD decomposition), then one compound body shape
// per future body ("One Object", "Fragments" or "Clusters").

#include <cstdint>
#include <memory>
#include <vector>

#include "core/QX_BT_Mesh_Data.h"
#include "core/QX_BT_Shapes.h"

namespace Quarix {

class QX_BT_Decomposition_Cache;

/// The object's "Mesh Type": which element shape an element becomes.
enum QX_BT_Mesh_Type : int32_t {
    QX_BT_Mesh_Convex = 0,      ///< "Convex": one hull per element
    QX_BT_Mesh_ConcaveLow = 1,  ///< "Concave Low": HACD with the coarse preset
    QX_BT_Mesh_ConcaveHigh = 2, ///< "Concave High": HACD with the fine preset
};

/// The parameters handed to HACD; settings not listed keep the library's defaults.
struct QX_BT_HACD_Settings {
    int32_t verticesPerHull;      ///< most vertices of one cluster's hull (SetNVerticesPerCH)
    float compacityWeight;        ///< weight of the compactness cost (SetCompacityWeight)
    int32_t minClusters;          ///< fewest clusters to stop merging at (SetNClusters)
    float concavity;              ///< largest accepted concavity, HACD's units (SetConcavity)
    float volumeWeight;           ///< weight of the volume cost (SetVolumeWeight)
    bool addExtraDistPoints;      ///< SetAddExtraDistPoints
    bool addNeighboursDistPoints; ///< SetAddNeighboursDistPoints
    bool addFacesPoints;          ///< SetAddFacesPoints

    /// The coarse preset used by "Concave Low".
    static QX_BT_HACD_Settings Low();
    /// The fine preset used by "Concave High".
    static QX_BT_HACD_Settings High();
};

/// One convex cluster of a decomposition: its hull's points (float triples) and triangles (index
/// triples into those points).
struct QX_BT_Hull_Cluster {
    std::vector<float> vertices;    ///< three floats per point, in the input's space and units
    std::vector<int32_t> triangles; ///< three indices into `vertices` per triangle
};

/// Element shapes, one per element in element order; an entry is null when no shape could be
/// built. The list owns its shapes (convex hulls or concave compounds).
using QX_BT_Shape_List = std::vector<std::unique_ptr<btCollisionShape>>;

/// Body shapes, one compound per future body. The list owns the compounds, not their children.
using QX_BT_Body_Shape_List = std::vector<std::unique_ptr<QX_BT_CompoundShape>>;

/// Whether the listed faces can be read safely: the list is not empty, every face and vertex
/// index is in range and every used coordinate is finite. Every builder refuses input that fails
/// this (null, or an empty decomposition).
bool IsValidFaceSet(const std::vector<float>& vertices, const std::vector<int32_t>& faces,
                    const QX_BT_Face_List& list);

/// Whether the listed faces are valid and also enclose something: at least one face has a
/// non-zero area and the used points span a volume (four points not in one plane). Hulls and
/// decompositions are only attempted on such sets, so user meshes never reach Bullet or HACD
/// with input they cannot handle.
bool IsUsableFaceSet(const std::vector<float>& vertices, const std::vector<int32_t>& faces,
                     const QX_BT_Face_List& list);

/// Hull of the listed faces of (vertices, faces), expressed about the faces' surface centroid.
/// `swap` reverses every face's winding. Null when the faces are degenerate (no centroid) or
/// enclose less than 0.000001 cubic scene units in this winding. Faces and vertices are in
/// simulation-mesh space; `scale` is the world's scene-to-simulation factor, so the floor is
/// 0.000001 x scale^3 cubic simulation units and a small solid counts whatever the world's scale.
std::unique_ptr<QX_BT_ConvexShape> BuildConvexShape(const std::vector<float>& vertices,
                                                    const std::vector<int32_t>& faces,
                                                    const QX_BT_Face_List& list, bool swap,
                                                    float scale = 1.0f);

/// Hull of every face of (vertices, faces), trying the given winding and then the reverse.
/// Null when neither encloses a volume (`scale` as for BuildConvexShape).
std::unique_ptr<QX_BT_ConvexShape> BuildConvexShapeFromMesh(const std::vector<float>& vertices,
                                                            const std::vector<int32_t>& faces,
                                                            float scale = 1.0f);

/// HACD decomposition of the listed faces into convex clusters, in the caller's units. Equal
/// positions are welded into one point first, so HACD sees the surface's connectivity.
/// Never throws; input that is not usable (IsUsableFaceSet) yields an empty list.
std::vector<QX_BT_Hull_Cluster> DecomposeFaceSet(const std::vector<float>& vertices,
                                                 const std::vector<int32_t>& faces,
                                                 const QX_BT_Face_List& list,
                                                 const QX_BT_HACD_Settings& settings);

/// A concave shape made of the hulls of a decomposition (high: the fine preset). Never null; it
/// has no children and volume 0 when no cluster gave a hull (a flat face set, for one). Its face
/// and vertex indices are those of the list, except for invalid input (IsValidFaceSet), which
/// gives an empty shape. `cache` (optional, not owned) answers repeated decompositions.
std::unique_ptr<QX_BT_ConcaveShape> BuildConcaveShape(const std::vector<float>& vertices,
                                                      const std::vector<int32_t>& faces,
                                                      const QX_BT_Face_List& list, bool high,
                                                      QX_BT_Decomposition_Cache* cache = nullptr,
                                                      float scale = 1.0f);

/// Whether every listed vertex lies behind every face plane met after the first plane that the
/// reference vertex is off, within `tolerance` (simulation units).
bool IsConvexFaceSet(const std::vector<float>& vertices, const std::vector<int32_t>& faces,
                     const QX_BT_Face_List& list, float tolerance);

/// The element shape for one element and mesh type; with `convexPreTest` a concave type on a
/// convex face set builds a hull instead. Null for unknown types, invalid input, and a convex
/// type on faces that enclose no volume; a concave type on valid faces always gives a shape.
/// `cache` (optional, not owned) answers repeated decompositions; `scale` as for
/// BuildConvexShape.
std::unique_ptr<btCollisionShape>
BuildElementShape(const std::vector<float>& vertices, const std::vector<int32_t>& faces,
                  const QX_BT_Face_List& list, int32_t meshType, bool convexPreTest,
                  QX_BT_Decomposition_Cache* cache = nullptr, float scale = 1.0f);

/// Element shapes for every element, entry i belonging to element i. `meshTypes` gives one type
/// per element when not empty (rebuilding stored shapes), otherwise `meshType` applies to all;
/// elements beyond the end of a shorter `meshTypes` use `meshType`. Runs on the calling thread.
/// `cache` (optional, not owned) answers repeated decompositions; `scale` as for
/// BuildConvexShape.
QX_BT_Shape_List BuildElementShapes(const std::vector<float>& vertices,
                                    const std::vector<int32_t>& faces,
                                    const QX_BT_Element_List& elements, int32_t meshType,
                                    bool convexPreTest, const std::vector<int32_t>& meshTypes = {},
                                    QX_BT_Decomposition_Cache* cache = nullptr, float scale = 1.0f);

/// Groups the non-null element shapes into new body compounds, replacing (and deleting) the
/// contents of `out`: one body (clusterCount <= 1), one body per shape (clusterCount at or above
/// the shape count), or clusterCount clusters around seeded shapes with `percentage` of each
/// cluster's farthest members split off as single bodies. Leaves `out` untouched when there is
/// no shape. Children are not copied: each shape ends up in exactly one compound.
/// `shapes` is not owned (entries may be null); seeds are drawn from a stable candidate order
/// (list order), so the result is reproducible from run to run.
void GroupElementShapes(const std::vector<btCollisionShape*>& shapes, QX_BT_Body_Shape_List& out,
                        int32_t clusterCount, float percentage, int32_t seed);

/// The raw pointers of an owning shape list, in order (null entries kept).
std::vector<btCollisionShape*> ShapePointers(const QX_BT_Shape_List& shapes);

} // namespace Quarix
