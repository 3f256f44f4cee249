#include "core/QX_BT_Body.h"

#include <random>

#include "base/QX_Assert.h"

namespace Quarix {

namespace {

/// Variation factors are whole percentages: 101 values 0.00 .. 1.00.
constexpr uint32_t kVariationSteps = 101;

/// The volume floor's scale for stored elements: the smallest world scale factor. The stored
/// elements were solids in the world that built them, whatever its scale; a floor that still
/// refuses the zero volume of an inward winding rebuilds them all.
constexpr float kStoredShapeScale = 0.001f;

} // namespace

uint32_t& BodyCounter() {
    // The one process-wide counter the design names: it makes the n-th body after start-up draw
    // the same variation factor in every session.
    static uint32_t counter = 0;
    return counter;
}

float DrawVariationFactor(uint32_t seed) {
    std::mt19937 engine(seed);
    // Rejection keeps v mod 101 unbiased and, unlike uniform_int_distribution, gives the same
    // sequence with every standard library.
    constexpr uint32_t kLimit = 4294967295u / kVariationSteps; // 42524428
    uint32_t v = static_cast<uint32_t>(engine());
    while (v / kVariationSteps >= kLimit)
        v = static_cast<uint32_t>(engine());
    return static_cast<float>(v % kVariationSteps) * 0.01f;
}

btTransform ToBulletTransform(const glm::mat4& m) {
    btMatrix3x3 basis(m[0][0], m[1][0], m[2][0], //
                      m[0][1], m[1][1], m[2][1], //
                      m[0][2], m[1][2], m[2][2]);
    return btTransform(basis, btVector3(m[3][0], m[3][1], m[3][2]));
}

glm::mat4 FromBulletTransform(const btTransform& t) {
    const btMatrix3x3& b = t.getBasis();
    const btVector3& o = t.getOrigin();
    glm::mat4 m(1.0f);
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r)
            m[c][r] = b[r][c];
    }
    m[3] = glm::vec4(o.x(), o.y(), o.z(), 1.0f);
    return m;
}

namespace {

btRigidBody::btRigidBodyConstructionInfo MakeConstructionInfo(QX_BT_CompoundShape* shape,
                                                              const glm::mat4& start) {
    const float mass = shape ? shape->volume : 0.0f;
    btVector3 inertia(0, 0, 0);
    if (shape)
        shape->calculateLocalInertia(mass, inertia);
    btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shape, inertia);
    info.m_startWorldTransform = ToBulletTransform(start);
    return info;
}

} // namespace

QX_BT_Body::QX_BT_Body(QX_BT_CompoundShape* shape, const glm::mat4& start,
                       QX_BT_MeshController* owner_)
    : btRigidBody(MakeConstructionInfo(shape, start)), owner(owner_) {
    // Every pass over the world recognises our bodies by their compound shape.
    QX_ASSERT(shape != nullptr);
    // Bullet reads the start transform from the construction info when no motion state is
    // given; attaching the motion state afterwards keeps that transform and lets the body own
    // its motion state.
    motionState_ = std::make_unique<btDefaultMotionState>(ToBulletTransform(start));
    setMotionState(motionState_.get());

    uint32_t& counter = BodyCounter();
    variationFactor = DrawVariationFactor(counter);
    counter = counter + 1;
}

QX_BT_Body::~QX_BT_Body() = default;

QX_BT_CompoundShape* QX_BT_Body::compoundShape() const {
    btCollisionShape* shape = const_cast<QX_BT_Body*>(this)->getCollisionShape();
    if (shape == nullptr || shape->getShapeType() != kBulletCompoundType)
        return nullptr;
    return static_cast<QX_BT_CompoundShape*>(shape);
}

void SetRigidType(QX_BT_Body& body, int32_t s) {
    body.state = s;
    switch (s) {
    case Static:
        body.setMassProps(0.0f, btVector3(0, 0, 0));
        break;
    case Dynamic:
    case Dead: {
        QX_BT_CompoundShape* shape = body.compoundShape();
        const float mass = shape ? shape->volume : 0.0f;
        btVector3 inertia(0, 0, 0);
        body.getCollisionShape()->calculateLocalInertia(mass, inertia);
        body.setMassProps(mass, inertia);
        break;
    }
    case Kinematic:
        body.setMassProps(0.0f, btVector3(0, 0, 0));
        body.setCollisionFlags(body.getCollisionFlags() | btCollisionObject::CF_KINEMATIC_OBJECT);
        body.setActivationState(DISABLE_DEACTIVATION);
        break;
    default:
        break;
    }
}

void ApplyBodyData(const QX_BT_Body_Data& record, QX_BT_Body& body) {
    SetRigidType(body, record.state);
    // Everything but the shape index (the body's own) and the state (set just above).
    const int32_t shapeIndex = body.shapeIndex;
    static_cast<QX_BT_Body_Data&>(body) = record;
    body.shapeIndex = shapeIndex;
    body.state = record.state;
}

QX_BT_Face_List CollectBodyFaces(const QX_BT_Body& body) {
    QX_BT_Face_List faces;
    const QX_BT_CompoundShape* shape = body.compoundShape();
    if (shape == nullptr)
        return faces;
    for (int i = 0; i < shape->getNumChildShapes(); ++i) {
        const QX_BT_Shape_Extension_Interface* child = GetShapeExtension(shape->getChildShape(i));
        if (child)
            faces.insert(faces.end(), child->faceIndices.begin(), child->faceIndices.end());
    }
    return faces;
}

void RebuildBodies(QX_BT_Stored_Bodies& stored, const std::vector<float>& vertices,
                   const std::vector<int32_t>& faces, QX_BT_MeshController* owner,
                   QX_BT_Shape_List& elementShapes, QX_BT_Body_Shape_List& bodyShapes,
                   QX_BT_Body_List& bodies, QX_BT_Decomposition_Cache* cache) {
    // Whatever preset built a concave element before it was stored, it comes back as
    // "Concave High": the stored kind says only convex or concave.
    std::vector<int32_t> meshTypes;
    meshTypes.reserve(stored.elementKinds.size());
    for (int32_t kind : stored.elementKinds)
        meshTypes.push_back(kind == QX_BT_Shape_Concave ? QX_BT_Mesh_ConcaveHigh : kind);
    elementShapes = BuildElementShapes(vertices, faces, stored.elementFaces, QX_BT_Mesh_Convex,
                                       false, meshTypes, cache, kStoredShapeScale);

    bodyShapes.clear();
    for (const std::vector<int32_t>& group : stored.groups) {
        auto compound = std::make_unique<QX_BT_CompoundShape>();
        for (int32_t e : group) {
            if (e >= 0 && size_t(e) < elementShapes.size() && elementShapes[size_t(e)])
                compound->pendingChildren.push_back(elementShapes[size_t(e)].get());
        }
        compound->assembleChildren();
        bodyShapes.push_back(std::move(compound));
    }

    // Records that cannot be rebuilt are skipped; `byRecord` keeps parent links pointing at the
    // right body even when a skipped record shifts the list.
    bodies.clear();
    std::vector<QX_BT_Body*> byRecord(stored.records.size(), nullptr);
    for (size_t r = 0; r < stored.records.size(); ++r) {
        const QX_BT_Body_Data& record = stored.records[r];
        if (record.shapeIndex < 0 || size_t(record.shapeIndex) >= bodyShapes.size())
            continue;
        auto body = std::make_unique<QX_BT_Body>(bodyShapes[size_t(record.shapeIndex)].get(),
                                                 glm::mat4(1.0f), owner);
        ApplyBodyData(record, *body);
        byRecord[r] = body.get();
        bodies.push_back(std::move(body));
    }
    for (size_t r = 0; r < stored.records.size(); ++r) {
        const int32_t p = stored.records[r].parentIndex;
        if (byRecord[r] && p >= 0 && size_t(p) < byRecord.size())
            byRecord[r]->parent = byRecord[size_t(p)];
    }
    stored = QX_BT_Stored_Bodies{};
}

} // namespace Quarix
