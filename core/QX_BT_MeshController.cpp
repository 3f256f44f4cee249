#include "core/QX_BT_MeshController.h"

#include <algorithm>
#include <set>

#include "core/QX_BT_Math.h"

namespace Quarix {

namespace {

/// Lever (simulation units) of Bullet's rolling friction per unit of "Friction". Bullet limits a
/// contact's rolling torque to rolling friction x normal impulse (and the impulse itself to the
/// coefficient), so the coefficient acts as a lever arm in simulation units. Used at full
/// friction (about 0.8 m in a world that simulates in metres) it lets every contact of a box hold
/// torques far beyond what its faces could, and stacked boxes and brick walls topple by
/// themselves; a one-centimetre lever lets a rolled ball stop after about a metre and walls
/// stand (stacking benchmark).
constexpr float kRollingFrictionLever = 0.01f;
/// Scale of the start impulse: "Start Impulse Factor" 1 turns one frame of node travel into a
/// velocity of 50 units per second per unit of travel.
constexpr float kStartImpulseScale = 50.0f;

// Gives a convex hull the face data with which Bullet clips two overlapping hulls against each
// other: a resting box then gets its whole face of contact points in the step its contact is
// new, instead of one point per step. Every frame's contacts are new, so without it a brick
// stands on a single corner at the start of each frame. Computed once per shape.
void PrepareContactFaces(btCollisionShape* shape) {
    auto* hull = dynamic_cast<btPolyhedralConvexShape*>(shape);
    if (hull != nullptr && hull->getConvexPolyhedron() == nullptr)
        hull->initializePolyhedralFeatures();
}

QX_BT_Body_State StateFromBody(const QX_BT_Body& body, const glm::mat4& placementInverse) {
    QX_BT_Body_State state;
    state.transform = placementInverse * FromBulletTransform(body.getWorldTransform());
    const btVector3& lin = body.getLinearVelocity();
    const btVector3& ang = body.getAngularVelocity();
    state.linearVelocity = glm::vec3(lin.x(), lin.y(), lin.z());
    state.angularVelocity = glm::vec3(ang.x(), ang.y(), ang.z());
    state.tag = body.age;
    return state;
}

glm::vec3 CompoundCentre(const QX_BT_Body& body) {
    const QX_BT_CompoundShape* shape = body.compoundShape();
    return shape ? shape->centre : glm::vec3(0.0f);
}

// Cuts a track at x the way the mesh history is cut: nothing when x is at or after the last
// frame, everything when x lies before the first, otherwise the frames after x go and frame x
// holds what the track gave there. Returns whether anything was cut.
bool CutTrack(QX_BT_Body_Track& track, float x) {
    if (track.empty() || x >= std::prev(track.end())->first)
        return false;
    if (x < track.begin()->first) {
        track.clear();
        return true;
    }
    const QX_BT_Body_State atX = SampleTrack(track, x);
    track.erase(track.upper_bound(x), track.end());
    track.insert_or_assign(x, atX);
    return true;
}

} // namespace

glm::mat4 Translation(const glm::vec3& v) {
    glm::mat4 m(1.0f);
    m[3] = glm::vec4(v, 1.0f);
    return m;
}

glm::mat4 ScalePart(const glm::mat4& m) {
    return glm::inverse(TranslationPart(m) * RotationPart(m)) * m;
}

QX_BT_Mesh_Layout QX_BT_Mesh_Layout::Of(const QX_BT_Mesh_Data& mesh) {
    QX_BT_Mesh_Layout layout;
    layout.vertexCount = static_cast<uint32_t>(mesh.geometry.vertexCount());
    layout.cornerCount = static_cast<uint32_t>(mesh.geometry.faces.size());
    for (const auto& [number, channel] : mesh.channels) {
        layout.channels[number] = {static_cast<int32_t>(channel.faces.size()),
                                   static_cast<int32_t>(channel.vertices.size())};
    }
    return layout;
}

void QX_BT_Mesh_Layout::cut(QX_BT_Mesh_Data& mesh) const {
    // Only ever shrinks: a layout larger than the mesh (a damaged record) must not grow it.
    auto shrink = [](auto& array, size_t size) {
        if (array.size() > size)
            array.resize(size);
    };
    shrink(mesh.geometry.vertices, size_t(vertexCount) * 3);
    shrink(mesh.geometry.faces, cornerCount);
    shrink(mesh.faceInfos, cornerCount / 3);
    for (const auto& [number, counts] : channels) {
        auto it = mesh.channels.find(number);
        if (it == mesh.channels.end())
            continue;
        shrink(it->second.faces, size_t(std::max(counts.corners, 0)));
        shrink(it->second.vertices, size_t(std::max(counts.vertexFloats, 0)));
    }
}

QX_BT_Mesh_Layout LayoutAt(const QX_BT_Mesh_History& history, float x) {
    if (history.empty())
        return {};
    auto it = history.upper_bound(x);
    if (it == history.begin())
        return it->second;
    return std::prev(it)->second;
}

int32_t LifeCode(const QX_BT_Body_Data& body, float x) {
    int32_t code = x < body.lifeStart ? body.beforeMode : 0;
    if (x >= body.lifeEnd)
        code = body.afterMode;
    return code;
}

QX_BT_MeshController::QX_BT_MeshController(QX_BT_MeshController_API_Interface* api_) : api(api_) {
    // The modifier's parameter defaults, so that a core used without a modifier behaves like a
    // freshly created one.
    intSettings.setInitial(ObjectKey::kInts);
    floatSettings.setInitial(ObjectKey::kFloats);
}

QX_BT_MeshController::~QX_BT_MeshController() {
    // Bodies refer to body shapes, which refer to element shapes: release in that order.
    bodies.clear();
    bodyShapes.clear();
    elementShapes.clear();
}

glm::mat4 QX_BT_MeshController::nodeTransform(float x, float scale) const {
    glm::mat4 n(1.0f);
    if (api)
        api->GetNodeTransform(n, x, scale);
    return n;
}

glm::mat4 QX_BT_MeshController::nodePlacement(float x, float scale) const {
    const glm::mat4 n = nodeTransform(x, scale);
    return TranslationPart(n) * RotationPart(n);
}

std::vector<QX_BT_Body*> QX_BT_MeshController::collectActiveBodies(float x) {
    restorePending();
    std::vector<QX_BT_Body*> alive;
    activeBodyCount = 0;
    for (const auto& body : bodies) {
        if (!IsAlive(*body, x))
            continue;
        ++activeBodyCount;
        const btVector3& o = body->getWorldTransform().getOrigin();
        body->frameStartPosition = glm::vec3(o.x(), o.y(), o.z());
        alive.push_back(body.get());
    }
    return alive;
}

void QX_BT_MeshController::applyFrame(float x, bool relax, float scale) {
    restorePending();
    const glm::mat4 placement = nodePlacement(x, scale);
    const float density = floatSettings.get(ObjectKey::Density);
    const float friction = floatSettings.get(ObjectKey::Friction);
    const float restitution = floatSettings.get(ObjectKey::Restitution);
    const float variation = float(intSettings.get(ObjectKey::Variation));
    const float margin = scale * floatSettings.get(ObjectKey::Margin);
    const float dampingLinear = floatSettings.get(ObjectKey::DampingLinear);
    const float dampingAngular = floatSettings.get(ObjectKey::DampingAngular);
    const float sleepingLinear = floatSettings.get(ObjectKey::SleepingLinear);
    const float sleepingAngular = floatSettings.get(ObjectKey::SleepingAngular);

    glm::vec3 startVelocity(0.0f);
    if (x == 0.0f) {
        const float u = floatSettings.get(ObjectKey::StartImpulseFactor) * kStartImpulseScale;
        const glm::vec3 d =
            glm::vec3(nodeTransform(x + 1.0f, scale)[3]) - glm::vec3(nodeTransform(x, scale)[3]);
        startVelocity = d * u;
    }

    for (const auto& owned : bodies) {
        QX_BT_Body& body = *owned;
        if (!IsAlive(body, x))
            continue;
        const QX_BT_Body_State s = relax ? body.startState : SampleTrack(body.track, x);
        const glm::vec3 v0 = (x == 0.0f && body.state == Dynamic) ? startVelocity : glm::vec3(0.0f);
        QX_BT_CompoundShape* shape = body.compoundShape();

        const glm::mat4 world = placement * Translation(CompoundCentre(body)) * s.transform;
        body.setWorldTransform(ToBulletTransform(world));
        const glm::vec3 lin = s.linearVelocity + v0;
        body.setLinearVelocity(btVector3(lin.x, lin.y, lin.z));
        body.setAngularVelocity(
            btVector3(s.angularVelocity.x, s.angularVelocity.y, s.angularVelocity.z));
        body.age = s.tag;

        const float b = variation * body.variationFactor * 0.01f + 1.0f;
        const float volume = shape ? shape->volume : 0.0f;
        const float mass = body.state == Static ? 0.0f : density * volume * b;
        btVector3 inertia(0, 0, 0);
        if (body.getCollisionShape())
            body.getCollisionShape()->calculateLocalInertia(mass, inertia);
        body.setMassProps(mass, inertia);
        body.updateInertiaTensor();

        body.setFriction(friction * b);
        body.setRollingFriction(friction * b * kRollingFrictionLever);
        body.setRestitution(restitution * b);
        if (shape) {
            bool changed = false;
            for (int i = 0; i < shape->getNumChildShapes(); ++i) {
                btCollisionShape* child = shape->getChildShape(i);
                changed = changed || child->getMargin() != margin;
                SetShapeMargin(child, margin);
                PrepareContactFaces(child);
            }
            // The compound's own box is made of its children's boxes.
            if (changed)
                shape->recalculateLocalAabb();
        }
        body.setDamping(dampingLinear, dampingAngular);
        body.setSleepingThresholds(sleepingLinear, sleepingAngular);
    }
}

void QX_BT_MeshController::recordFrame(float x, bool onlyNew, bool before, float scale) {
    restorePending();
    meshHistory[x] = QX_BT_Mesh_Layout::Of(simulationMesh);
    const glm::mat4 placement = nodePlacement(x, scale);
    for (const auto& owned : bodies) {
        QX_BT_Body& body = *owned;
        if (!IsAlive(body, x) || (onlyNew && !body.needsRecord))
            continue;
        body.needsRecord = false;
        if (before) {
            body.track.insert_or_assign(x, body.pristine ? QX_BT_Body_State{} : body.startState);
        } else {
            const glm::mat4 inverse = glm::inverse(placement * Translation(CompoundCentre(body)));
            body.track.insert_or_assign(x, StateFromBody(body, inverse));
        }
    }
}

void QX_BT_MeshController::recordRelaxed(float x, float scale) {
    restorePending();
    const glm::mat4 placement = nodePlacement(x, scale);
    for (const auto& owned : bodies) {
        QX_BT_Body& body = *owned;
        if (!IsAlive(body, x))
            continue;
        body.startState =
            StateFromBody(body, glm::inverse(placement * Translation(CompoundCentre(body))));
        body.pristine = false;
        body.pendingLifeStart = body.lifeStart;
        body.pendingLifeEnd = body.lifeEnd;
        body.pendingBeforeMode = body.beforeMode;
        body.pendingAfterMode = body.afterMode;
    }
}

void QX_BT_MeshController::resetRelaxed(float x) {
    restorePending();
    bool changed = false;
    for (const auto& owned : bodies) {
        QX_BT_Body& body = *owned;
        if (body.pristine)
            continue;
        body.lifeStart = body.pendingLifeStart;
        body.lifeEnd = body.pendingLifeEnd;
        body.beforeMode = body.pendingBeforeMode;
        body.afterMode = body.pendingAfterMode;
        body.pristine = true;
        body.startState = QX_BT_Body_State{};
        body.pendingLifeStart = -kLifeUnbounded;
        body.pendingLifeEnd = kLifeUnbounded;
        body.pendingBeforeMode = 0;
        body.pendingAfterMode = 0;
        changed = true;
    }
    if (changed)
        rewindTo(x, true);
}

void QX_BT_MeshController::rewindTo(float x, bool forced) {
    restorePending();
    // Relaxed bodies outlive every rewind and keep the simulation mesh whole (below). The layouts
    // of the frames they were born in must outlive it too: once the relaxed state is reset they
    // are ordinary bodies again, and the next rewind cuts the mesh to the layout of its frame.
    const bool relaxedSurvive =
        std::any_of(bodies.begin(), bodies.end(), [](const auto& b) { return !b->pristine; });
    bool cut = false;
    if (!meshHistory.empty() && x < std::prev(meshHistory.end())->first) {
        cut = true;
        if (!relaxedSurvive && x < meshHistory.begin()->first) {
            meshHistory.clear();
        } else if (!relaxedSurvive) {
            const QX_BT_Mesh_Layout atX = LayoutAt(meshHistory, x);
            meshHistory.erase(meshHistory.upper_bound(x), meshHistory.end());
            meshHistory[x] = atX;
        }
    }
    if (!forced && !cut)
        return;

    // Bodies born after x go, with the compounds made for them. Their children go too unless a
    // surviving compound still uses them: splits regroup the parent's own element shapes, which
    // must outlive the split bodies.
    std::set<const QX_BT_Body*> doomedBodies;
    for (const auto& body : bodies) {
        if (body->lifeStart > x && body->pristine)
            doomedBodies.insert(body.get());
    }
    // A relaxed body survives even when the body it was split from does not: it takes that
    // body's own parent (the nearest surviving ancestor) rather than keep a dangling pointer.
    for (const auto& body : bodies) {
        while (body->parent && doomedBodies.count(body->parent))
            body->parent = body->parent->parent;
    }
    std::set<const btCollisionShape*> doomedShapes;
    std::set<const QX_BT_CompoundShape*> doomedCompounds;
    for (auto& body : bodies) {
        if (!doomedBodies.count(body.get()))
            continue;
        if (QX_BT_CompoundShape* compound = body->compoundShape()) {
            doomedCompounds.insert(compound);
            for (int i = 0; i < compound->getNumChildShapes(); ++i)
                doomedShapes.insert(compound->getChildShape(i));
        }
        body.reset();
    }
    if (!doomedCompounds.empty()) {
        for (const auto& compound : bodyShapes) {
            if (doomedCompounds.count(compound.get()))
                continue;
            for (int i = 0; i < compound->getNumChildShapes(); ++i)
                doomedShapes.erase(compound->getChildShape(i));
        }
        std::erase_if(bodyShapes, [&](const auto& c) { return doomedCompounds.count(c.get()); });
        std::erase_if(elementShapes,
                      [&](const auto& s) { return s && doomedShapes.count(s.get()); });
    }
    std::erase_if(bodies, [](const auto& b) { return b == nullptr; });

    for (auto& body : bodies) {
        if (CutTrack(body->track, x)) {
            body->lifeEnd = kLifeUnbounded;
            body->afterMode = 0;
            body->demolishedAs = -1;
        }
    }
    if (relaxedSurvive)
        return;
    const QX_BT_Mesh_Layout layout = meshHistory.empty() ? baseLayout : LayoutAt(meshHistory, x);
    layout.cut(simulationMesh);
}

void QX_BT_MeshController::evaluateOutput(float t) {
    if (quietOutput && changedMark) {
        changedMark = 0;
        return;
    }
    changedMark = 0;
    const float f = std::min(std::max(0.0f, t - float(intSettings.get(ObjectKey::ExplodeStart))),
                             float(intSettings.get(ObjectKey::ExplodeEnd)));
    if (intSettings.get(ObjectKey::MeshBuilt) == 0 && !holdsPersistedResults()) {
        outputMesh = inputMesh;
        return;
    }
    const bool persisted = holdsPersistedResults();
    restorePending();
    outputMesh = simulationMesh;

    // Pass 1 collapses bodies that a fragment or capture demolition ended (or has not yet made);
    // pass 2 moves the living ones. Bodies ended by a split keep still: their faces move with the
    // bodies that replaced them.
    for (int pass = 1; pass <= 2; ++pass) {
        for (const auto& owned : bodies) {
            const QX_BT_Body& body = *owned;
            const int32_t code = LifeCode(body, f);
            if ((pass == 1 && code != 1) || (pass == 2 && code != 0))
                continue;
            QX_BT_CompoundShape* compound = body.compoundShape();
            if (compound == nullptr)
                continue;
            const glm::mat4 c = Translation(compound->centre);
            const QX_BT_Body_State s =
                body.track.empty() ? body.startState : SampleTrack(body.track, f);
            const glm::mat4 m = s.transform * glm::inverse(c);
            for (int i = 0; i < compound->getNumChildShapes(); ++i) {
                QX_BT_Shape_Extension_Interface* child =
                    GetShapeExtension(compound->getChildShape(i));
                if (child == nullptr)
                    continue;
                QX_BT_Index_Set normals = child->GetNormalIndices(outputMesh);
                outputMesh.TransformVertexSet(m, child->vertexIndices, normals, code == 1);
                QX_BT_Index_Set none;
                outputMesh.TransformVertexSet(c, child->vertexIndices, none, false);
            }
        }
    }
    outputMesh.TransformVertices(glm::inverse(ScalePart(startTransform)));
    if (persisted)
        outputMesh.TransformVertices(glm::inverse(ScalePart(nodeTransform(f, 1.0f))));
}

void QX_BT_MeshController::captureMesh(bool on) {
    capturedMesh = on ? inputMesh : QX_BT_Mesh_Data{};
}

} // namespace Quarix
