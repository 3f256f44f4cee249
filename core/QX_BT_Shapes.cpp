#include "core/QX_BT_Shapes.h"

namespace Quarix {

QX_BT_Index_Set& QX_BT_Shape_Extension_Interface::GetNormalIndices(const QX_BT_Mesh_Data& mesh) {
    if (!normalIndices.empty())
        return normalIndices;
    auto normals = mesh.channels.find(kNormalChannel);
    if (normals != mesh.channels.end() && normals->second.faceCount() > 0) {
        const std::vector<int32_t>& corners = normals->second.faces;
        for (int32_t f : faceIndices) {
            for (int k = 0; k < 3; ++k)
                normalIndices.insert(corners[3 * size_t(f) + k]);
        }
    }
    return normalIndices;
}

QX_BT_Shape_Extension_Interface* GetShapeExtension(btCollisionShape* shape) {
    if (shape == nullptr)
        return nullptr;
    const int type = shape->getShapeType();
    if (type != kBulletConvexHullType && type != kBulletCompoundType)
        return nullptr;
    return dynamic_cast<QX_BT_Shape_Extension_Interface*>(shape);
}

const QX_BT_Shape_Extension_Interface* GetShapeExtension(const btCollisionShape* shape) {
    return GetShapeExtension(const_cast<btCollisionShape*>(shape));
}

void SetShapeMargin(btCollisionShape* shape, float margin) {
    if (shape == nullptr || shape->getMargin() == margin)
        return;
    shape->setMargin(margin);
    if (shape->getShapeType() == kBulletConvexHullType)
        static_cast<btConvexHullShape*>(shape)->recalcLocalAabb();
    else if (shape->getShapeType() == kBulletCompoundType)
        static_cast<btCompoundShape*>(shape)->recalculateLocalAabb();
}

QX_BT_ConvexShape::QX_BT_ConvexShape(const btVector3* points, int count)
    : btConvexHullShape(points ? &points[0][0] : nullptr, count, sizeof(btVector3)) {
    SetShapeMargin(this, 0.0f);
}

QX_BT_ConvexShape::~QX_BT_ConvexShape() = default;

QX_BT_CompoundShape::QX_BT_CompoundShape() : btCompoundShape(true, 0) {}

QX_BT_CompoundShape::~QX_BT_CompoundShape() = default;

void QX_BT_CompoundShape::assembleChildren() {
    float v = volume;
    glm::vec3 c = centre;
    for (btCollisionShape* child : pendingChildren) {
        const QX_BT_Shape_Extension_Interface* ext = GetShapeExtension(child);
        if (ext == nullptr)
            continue;
        const float combined = v + ext->volume;
        if (combined != 0.0f)
            c = (v / combined) * c + (ext->volume / combined) * ext->centre;
        v = combined;
    }
    volume = v;
    centre = c;

    for (btCollisionShape* child : pendingChildren) {
        const QX_BT_Shape_Extension_Interface* ext = GetShapeExtension(child);
        const glm::vec3 origin = (ext ? ext->centre : glm::vec3(0.0f)) - centre;
        btTransform local;
        local.setIdentity();
        local.setOrigin(btVector3(origin.x, origin.y, origin.z));
        addChildShape(local, child);
    }
    pendingChildren.clear();
    setMargin(0.0f);
}

QX_BT_ConcaveShape::~QX_BT_ConcaveShape() {
    for (int i = 0; i < getNumChildShapes(); ++i)
        delete getChildShape(i);
}

} // namespace Quarix
