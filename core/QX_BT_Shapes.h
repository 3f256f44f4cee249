#pragma once

// The three collision shape classes of the core. Each is a Bullet shape with a second base,
// QX_BT_Shape_Extension_Interface, that remembers which faces and vertices of the simulation mesh
// the shape was built from, its centre and its enclosed volume.

#include <cstdint>
#include <vector>

#include <BulletCollision/CollisionShapes/btCompoundShape.h>
#include <BulletCollision/CollisionShapes/btConvexHullShape.h>
#include <glm/glm.hpp>

#include "core/QX_BT_Mesh_Data.h"

namespace Quarix {

/// Which of the three shape classes an extension belongs to.
enum QX_BT_Shape_Kind : int32_t {
    QX_BT_Shape_Convex = 0,
    QX_BT_Shape_Compound = 1,
    QX_BT_Shape_Concave = 2,
};

/// Bullet's shape type number of a convex hull shape (a QX_BT_ConvexShape).
constexpr int kBulletConvexHullType = CONVEX_HULL_SHAPE_PROXYTYPE;
/// Bullet's shape type number of a compound (QX_BT_CompoundShape and QX_BT_ConcaveShape).
constexpr int kBulletCompoundType = COMPOUND_SHAPE_PROXYTYPE;
static_assert(kBulletConvexHullType == 4 && kBulletCompoundType == 31);

/// Where a shape came from in its source mesh (the object core's simulation mesh), with the
/// shape's centre and volume in that mesh's space and units.
class QX_BT_Shape_Extension_Interface {
public:
    virtual ~QX_BT_Shape_Extension_Interface() = default;

    /// The class of the shape: convex 0, compound 1, concave 2.
    virtual QX_BT_Shape_Kind getShapeKind() const = 0;

    /// Explicit-normal indices (channel -1 of `mesh`) used by this shape's faces. Filled from the
    /// mesh on the first request that finds channel -1 with faces; empty while it has none.
    QX_BT_Index_Set& GetNormalIndices(const QX_BT_Mesh_Data& mesh);

    /// Centre in source-mesh space; the shape's own geometry is expressed about it.
    glm::vec3 centre{0.0f};
    /// Enclosed volume in cubic source-mesh units; the body's mass basis.
    float volume = 0.0f;
    /// Geometry vertex indices of the source mesh used by the shape's faces.
    QX_BT_Index_Set vertexIndices;
    /// Source-mesh face indices the shape was built from, in the order given to the builder.
    QX_BT_Face_List faceIndices;
    /// Explicit-normal indices; see GetNormalIndices.
    QX_BT_Index_Set normalIndices;
};

/// Reads the extension of a shape built by the core (convex hull or compound); null for any other
/// Bullet shape, such as the world's ground plane.
QX_BT_Shape_Extension_Interface* GetShapeExtension(btCollisionShape* shape);
const QX_BT_Shape_Extension_Interface* GetShapeExtension(const btCollisionShape* shape);

/// Sets a shape's collision margin and refreshes the bounds Bullet cached with the old one (a
/// hull caches its local box including the margin). Does nothing when the margin is unchanged.
void SetShapeMargin(btCollisionShape* shape, float margin);

/// One convex hull, its points relative to the extension's centre. Collision margin 0.
class QX_BT_ConvexShape : public btConvexHullShape, public QX_BT_Shape_Extension_Interface {
public:
    BT_DECLARE_ALIGNED_ALLOCATOR();

    /// Builds the hull from `count` points laid out with Bullet's 16-byte vector stride.
    QX_BT_ConvexShape(const btVector3* points, int count);
    ~QX_BT_ConvexShape() override;

    QX_BT_Shape_Kind getShapeKind() const override { return QX_BT_Shape_Convex; }
};

/// A compound of element shapes. It never owns its children: they belong to the object core's
/// element list. Children are collected in `pendingChildren` and placed by assembleChildren.
class QX_BT_CompoundShape : public btCompoundShape, public QX_BT_Shape_Extension_Interface {
public:
    BT_DECLARE_ALIGNED_ALLOCATOR();

    /// An empty compound with Bullet's dynamic AABB tree, so large clusters stay cheap to query.
    QX_BT_CompoundShape();
    ~QX_BT_CompoundShape() override;

    QX_BT_Shape_Kind getShapeKind() const override { return QX_BT_Shape_Compound; }

    /// Adds the pending children around their volume-weighted centre, which becomes (and
    /// continues accumulating into) this compound's centre; its volume becomes the sum. Each
    /// child is placed at its own centre minus that centre, unrotated. Empties the pending list
    /// and sets the margin to 0.
    void assembleChildren();

    /// Children collected but not yet added; not owned.
    std::vector<btCollisionShape*> pendingChildren;
};

/// An element decomposed into convex hulls. Unlike its base it owns its children (the hulls made
/// for it) and deletes them, in child order, when destroyed.
class QX_BT_ConcaveShape : public QX_BT_CompoundShape {
public:
    BT_DECLARE_ALIGNED_ALLOCATOR();

    QX_BT_ConcaveShape() = default;
    ~QX_BT_ConcaveShape() override;

    QX_BT_Shape_Kind getShapeKind() const override { return QX_BT_Shape_Concave; }
};

} // namespace Quarix
