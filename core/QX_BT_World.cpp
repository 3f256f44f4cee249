#include "core/QX_BT_World.h"

#include <cmath>
#include <cstring>
#include <memory>

#include <btBulletDynamicsCommon.h>

#include "core/QX_BT_Math.h"

namespace Quarix {

namespace {

/// Two scale parts count as the same when their axis lengths differ by at most one float epsilon.
constexpr float kScaleTolerance = 1.1920929e-7f;
/// Milliseconds to seconds for Bullet's global deactivation time.
constexpr float kMillisecondsToSeconds = 0.001f;
/// How many times one frame may be simulated again because bodies were replaced in it. Each
/// replacement normally costs one repeat (children wait out their safe frames), and activation
/// followed by an immediate demolition a few more; settings that let every generation break again
/// at once must not hold the frame forever, so the last allowed pass runs without the
/// demolition and activation tests and the frame moves on.
constexpr int kMaxFrameRepeats = 32;

/// Centimetres per metre, for the scale factor of new worlds.
constexpr double kCentimetresPerMetre = 100.0;

// Solver settings of every Bullet world. Two friction directions per contact, and five times
// Bullet's iterations: each frame starts with new contacts that nothing warm-starts, and with ten
// iterations a column of ten cubes or a brick wall sinks into itself and rocks at every frame's
// start until it falls; with fifty both stand (measured by the stacking benchmark).
void ConfigureSolver(btContactSolverInfo& info) {
    info.m_solverMode |= SOLVER_USE_2_FRICTION_DIRECTIONS;
    info.m_numIterations = kSolverIterations;
}

/// Bullet 3's bound on a combined friction coefficient.
constexpr btScalar kMaxCombinedFriction = 10.0f;

// How two bodies' rolling frictions combine at a contact. Early 2.8x releases multiplied the two
// rolling frictions; Bullet 3 takes rf0 x f1 + rf1 x f0, bounded by 10; Bullet 3.24 lets the
// program choose. We keep Bullet 3's rule on purpose and set it explicitly, so that no library
// default can change it: the ground's rolling friction is 0, so under the product a ball never
// meets rolling resistance on the ground, and between bricks the product of two small levers is
// nothing at all. Measured with the stacking benchmark: under Bullet 3's rule a ball rolled at
// 2 m/s stops after about 1 m instead of 3.3 m, and the column and the pyramid drift half as
// much; only the awake wall fared better under the product, and it fails under both.
btScalar CombinedRollingFriction(const btCollisionObject* a, const btCollisionObject* b) {
    const btScalar combined =
        a->getRollingFriction() * b->getFriction() + b->getRollingFriction() * a->getFriction();
    return btMax(-kMaxCombinedFriction, btMin(combined, kMaxCombinedFriction));
}

QX_BT_Body* AsBody(btCollisionObject* object) {
    if (object == nullptr || object->getCollisionShape() == nullptr ||
        object->getCollisionShape()->getShapeType() != kBulletCompoundType)
        return nullptr;
    // Every compound-shaped object in our worlds is one of our bodies.
    return static_cast<QX_BT_Body*>(btRigidBody::upcast(object));
}

glm::vec3 ToGlm(const btVector3& v) {
    return {v.x(), v.y(), v.z()};
}
btVector3 ToBt(const glm::vec3& v) {
    return {v.x, v.y, v.z};
}

/// The Bullet objects of one SimulateFrame call, destroyed in the required order.
struct BulletWorld {
    std::unique_ptr<btDefaultCollisionConfiguration> configuration;
    std::unique_ptr<btCollisionDispatcher> dispatcher;
    std::unique_ptr<btDbvtBroadphase> broadphase;
    std::unique_ptr<btDiscreteDynamicsWorld> world;
    std::unique_ptr<btDefaultMotionState> groundMotion;
    std::unique_ptr<btStaticPlaneShape> groundShape;
    std::unique_ptr<btRigidBody> ground;

    ~BulletWorld() {
        groundMotion.reset();
        groundShape.reset();
        ground.reset();
        world.reset();
        broadphase.reset();
        dispatcher.reset();
        configuration.reset();
    }
};

void PlaceKinematicBodies(btDiscreteDynamicsWorld& world, float t, float scale) {
    btCollisionObjectArray& objects = world.getCollisionObjectArray();
    for (int i = 0; i < objects.size(); ++i) {
        QX_BT_Body* body = AsBody(objects[i]);
        if (body == nullptr || body->state != Kinematic || body->owner == nullptr)
            continue;
        const glm::mat4 placement = body->owner->nodePlacement(t, scale);
        const btTransform transform =
            ToBulletTransform(placement * Translation(body->compoundShape()->centre));
        body->setWorldTransform(transform);
        if (body->getMotionState())
            body->getMotionState()->setWorldTransform(transform);
    }
}

void HoldDeadBodies(btDiscreteDynamicsWorld& world) {
    btCollisionObjectArray& objects = world.getCollisionObjectArray();
    for (int i = 0; i < objects.size(); ++i) {
        QX_BT_Body* body = AsBody(objects[i]);
        if (body == nullptr || body->owner == nullptr || body->state != Dead)
            continue;
        body->setLinearVelocity(btVector3(0, 0, 0));
        body->setAngularVelocity(btVector3(0, 0, 0));
        body->setGravity(btVector3(0, 0, 0));
        body->clearForces();
    }
}

// Drops every overlapping pair in one sweep. Removing bodies one by one makes Bullet scan the
// whole pair cache for each of them, which grows with bodies x pairs; emptied first, every
// removal finds nothing left to clean.
void ReleaseAllPairs(btDiscreteDynamicsWorld& world, btDispatcher& dispatcher) {
    btOverlappingPairCache* cache = world.getPairCache();
    btBroadphasePairArray& pairs = cache->getOverlappingPairArray();
    while (pairs.size() > 0) {
        const btBroadphasePair& last = pairs[pairs.size() - 1];
        cache->removeOverlappingPair(last.m_pProxy0, last.m_pProxy1, &dispatcher);
    }
}

void AccumulateContactImpulses(btCollisionDispatcher& dispatcher) {
    const int manifolds = dispatcher.getNumManifolds();
    for (int m = 0; m < manifolds; ++m) {
        btPersistentManifold* manifold = dispatcher.getManifoldByIndexInternal(m);
        QX_BT_Body* a = AsBody(const_cast<btCollisionObject*>(manifold->getBody0()));
        QX_BT_Body* b = AsBody(const_cast<btCollisionObject*>(manifold->getBody1()));
        for (int p = 0; p < manifold->getNumContacts(); ++p) {
            const btManifoldPoint& point = manifold->getContactPoint(p);
            const float impulse = std::fabs(point.m_appliedImpulse);
            if (impulse == 0.0f)
                continue;
            auto add = [impulse](QX_BT_Body* body, const btVector3& position) {
                if (body == nullptr)
                    return;
                const float s = body->impulseSum;
                body->impactPoint = body->impactPoint * (s / (s + impulse)) +
                                    ToGlm(position) * (impulse / (s + impulse));
                body->impulseSum = s + impulse;
            };
            add(a, point.getPositionWorldOnA());
            add(b, point.getPositionWorldOnB());
        }
    }
}

// --- byte blocks ---------------------------------------------------------------------------------

void PutBytes(std::vector<uint8_t>& out, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

template <typename T>
void PutValue(std::vector<uint8_t>& out, const T& value) {
    static_assert(std::endian::native == std::endian::little, "blocks are little-endian");
    PutBytes(out, &value, sizeof(T));
}

template <typename T>
std::vector<uint8_t> SerialiseTable(const QX_BT_Setting_Table<T>& table) {
    std::vector<uint8_t> bytes;
    PutValue(bytes, static_cast<int32_t>(table.entries().size()));
    for (const auto& [key, entry] : table.entries())
        PutValue(bytes, key);
    for (const auto& [key, entry] : table.entries())
        PutValue(bytes, entry.value);
    for (const auto& [key, entry] : table.entries())
        PutValue(bytes, entry.changed);
    return bytes;
}

/// Reads one length-prefixed table section; every count is checked against the bytes present.
template <typename T>
bool ParseTable(const uint8_t*& cursor, const uint8_t* end, std::map<int32_t, T>& out,
                const char* name, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error)
            *error = std::string("world settings, ") + name + " table: " + what;
        return false;
    };
    int32_t length;
    if (end - cursor < 4)
        return fail("missing byte count");
    std::memcpy(&length, cursor, 4);
    cursor += 4;
    if (length < 4 || length > end - cursor)
        return fail("byte count " + std::to_string(length) + " exceeds the block");
    const uint8_t* section = cursor;
    const uint8_t* sectionEnd = cursor + length;
    int32_t count;
    std::memcpy(&count, section, 4);
    section += 4;
    const int64_t entryBytes = 4 + int64_t(sizeof(T)) + 1;
    if (count < 0 || int64_t(count) * entryBytes != sectionEnd - section)
        return fail("entry count " + std::to_string(count) + " does not match " +
                    std::to_string(length) + " bytes");
    out.clear();
    const uint8_t* keys = section;
    const uint8_t* values = section + 4 * int64_t(count);
    for (int32_t i = 0; i < count; ++i) {
        int32_t key;
        T value;
        std::memcpy(&key, keys + 4 * i, 4);
        std::memcpy(&value, values + sizeof(T) * size_t(i), sizeof(T));
        if (!out.emplace(key, value).second)
            return fail("key " + std::to_string(key) + " appears twice");
    }
    cursor = sectionEnd;
    return true;
}

} // namespace

float NewWorldScaleFactor(double centimetresPerUnit) {
    if (!(centimetresPerUnit > 0.0) || !std::isfinite(centimetresPerUnit))
        return 1.0f;
    return float(centimetresPerUnit / kCentimetresPerMetre);
}

QX_BT_World::~QX_BT_World() = default;

QX_BT_World::QX_BT_World() : solver_(std::make_unique<btSequentialImpulseConstraintSolver>()) {
    // The world parameter defaults; entries are written through the setter so that the first
    // run always starts from scratch.
    intSettings.setInitial(WorldKey::kInts);
    floatSettings.setInitial(WorldKey::kFloats);
    vectorSettings.setInitial(WorldKey::kVectors);

    // Bullet's own contact generation: one new point per convex pair and step. Multipoint
    // iterations fill a new manifold at once, but every manifold is new at the start of each
    // frame here, so they cost nearly half the frame; with the rolling-friction lever walls and
    // stacks stand without them. Kept as a setting for scenes that need it.
    convexMultipointIterations = 0;
    convexMultipointMinimumPoints = 3;
}

bool QX_BT_World::HasChanges(const std::vector<QX_BT_MeshController*>& objects) {
    const float scale = floatSettings.get(WorldKey::ScaleFactor);
    for (QX_BT_MeshController* object : objects) {
        const glm::mat4 now = ScalePart(object->nodeTransform(0.0f, scale));
        const glm::mat4 then = ScalePart(object->startTransform);
        bool same = true;
        for (int c = 0; c < 3; ++c) {
            if (!(std::fabs(glm::length(now[c]) - glm::length(then[c])) <= kScaleTolerance))
                same = false;
        }
        object->intSettings.setQuiet(ObjectKey::ScaleUnchanged, same ? 1 : 0);
    }
    const bool worldChanged = intSettings.anyChanged() || floatSettings.anyChanged();
    for (QX_BT_MeshController* object : objects) {
        if (object->intSettings.get(ObjectKey::MeshBuilt) == 0 ||
            object->intSettings.get(ObjectKey::ScaleUnchanged) == 0 ||
            object->intSettings.anyChanged() || object->floatSettings.anyChanged() ||
            (object->api && object->api->HasNodeMoved(scale)))
            return true;
    }
    return worldChanged;
}

void QX_BT_World::SimulateFrame(const std::vector<QX_BT_MeshController*>& objects, float from,
                                float to, float step, bool relax) {
    gDeactivationTime = float(intSettings.get(WorldKey::DeactivationTime)) * kMillisecondsToSeconds;
    gCalculateCombinedRollingFrictionCallback = &CombinedRollingFriction;
    const float startFrame = float(intSettings.get(WorldKey::StartFrame));
    const float first = from - startFrame;
    const float last = to - startFrame;
    const float scale = floatSettings.get(WorldKey::ScaleFactor);

    const bool restart = HasChanges(objects);
    for (QX_BT_MeshController* object : objects) {
        object->rewindTo(restart ? -kLifeUnbounded : first, false);
        object->prepare(first, scale);
    }

    auto owned = std::make_unique<BulletWorld>();
    BulletWorld& bw = *owned;
    bw.configuration = std::make_unique<btDefaultCollisionConfiguration>();
    if (convexMultipointIterations > 0) {
        bw.configuration->setConvexConvexMultipointIterations(convexMultipointIterations,
                                                              convexMultipointMinimumPoints);
    }
    bw.dispatcher = std::make_unique<btCollisionDispatcher>(bw.configuration.get());
    bw.broadphase = std::make_unique<btDbvtBroadphase>();
    solver_->reset();
    bw.world = std::make_unique<btDiscreteDynamicsWorld>(bw.dispatcher.get(), bw.broadphase.get(),
                                                         solver_.get(), bw.configuration.get());
    btDiscreteDynamicsWorld& world = *bw.world;
    ConfigureSolver(world.getSolverInfo());

    const QX_BT_Vector4 direction = vectorSettings.get(WorldKey::GravityDirection);
    const float gravity = floatSettings.get(WorldKey::Gravity);
    world.setGravity(btVector3(direction[0], direction[1], direction[2]) * (gravity * scale));

    if (intSettings.get(WorldKey::GroundPlane) != 0) {
        const QX_BT_Vector4 normal = vectorSettings.get(WorldKey::GroundNormal);
        const QX_BT_Vector4 origin = vectorSettings.get(WorldKey::GroundOrigin);
        bw.groundShape =
            std::make_unique<btStaticPlaneShape>(btVector3(normal[0], normal[1], normal[2]), 0.0f);
        btTransform start;
        start.setIdentity();
        start.setOrigin(btVector3(origin[0], origin[1], origin[2]) * scale);
        bw.groundMotion = std::make_unique<btDefaultMotionState>(start);
        btVector3 inertia(0, 0, 0);
        bw.groundShape->calculateLocalInertia(0.0f, inertia);
        btRigidBody::btRigidBodyConstructionInfo info(0.0f, bw.groundMotion.get(),
                                                      bw.groundShape.get(), inertia);
        bw.ground = std::make_unique<btRigidBody>(info);
    }

    const int n = std::max(1, int(intSettings.get(WorldKey::SubSteps)));
    const float dt = float((1.0 / (double(n) * kFramesPerSimulatedSecond)) *
                           double(floatSettings.get(WorldKey::DeltaTime)));
    const bool canStep = std::isfinite(step) && step > 0.0f;

    if (canStep && last > first) {
        const float sub = step / float(n);
        float cur = first;
        int repeats = 0;
        while (last > cur) {
            if (bw.ground)
                world.addRigidBody(bw.ground.get());
            for (QX_BT_MeshController* object : objects) {
                if (object->meshHistory.empty() && !relax)
                    object->recordFrame(cur, false, true, scale);
                object->applyFrame(cur, relax, scale);
            }
            std::vector<QX_BT_Body*> collected;
            for (QX_BT_MeshController* object : objects) {
                std::vector<QX_BT_Body*> alive = object->collectActiveBodies(cur);
                object->updateContinuity(alive, cur, scale);
                collected.insert(collected.end(), alive.begin(), alive.end());
            }

            // Forces: field forces act for this frame only, blasts stay in the velocity.
            const float strength = floatSettings.get(WorldKey::ForcesStrength) * scale;
            int forceIndex = 0;
            for (QX_BT_Body* body : collected) {
                if (body->getCollisionFlags() &
                    (btCollisionObject::CF_STATIC_OBJECT | btCollisionObject::CF_KINEMATIC_OBJECT))
                    continue;
                if (cur == 0.0f)
                    body->activate(true);
                if (api == nullptr)
                    continue;
                glm::vec3 field(0.0f), blast(0.0f), spin(0.0f);
                const glm::vec3 origin = ToGlm(body->getWorldTransform().getOrigin()) / scale;
                api->ComputeForces(cur, origin, forceIndex, field, blast, spin);
                body->forceVelocity = field * strength;
                body->setLinearVelocity(body->getLinearVelocity() + ToBt(field * strength));
                body->setAngularVelocity(body->getAngularVelocity() + ToBt(spin));
                body->setLinearVelocity(body->getLinearVelocity() + ToBt(blast * strength));
                body->setAngularVelocity(body->getAngularVelocity() + ToBt(spin));
            }
            for (QX_BT_Body* body : collected)
                world.addRigidBody(body);

            for (int i = 1; i <= n; ++i) {
                const float t = cur + float(i) * sub;
                PlaceKinematicBodies(world, t, scale);
                HoldDeadBodies(world);
                world.stepSimulation(dt, 0, dt);
                AccumulateContactImpulses(*bw.dispatcher);
            }

            PlaceKinematicBodies(world, cur + step, scale);
            btCollisionObjectArray& inWorld = world.getCollisionObjectArray();
            for (int i = 0; i < inWorld.size(); ++i) {
                if (QX_BT_Body* body = AsBody(inWorld[i])) {
                    body->setLinearVelocity(body->getLinearVelocity() - ToBt(body->forceVelocity));
                    body->forceVelocity = glm::vec3(0.0f);
                }
            }
            const bool mayReplace = repeats < kMaxFrameRepeats;
            bool demolished = false;
            for (int i = 0; mayReplace && i < inWorld.size(); ++i) {
                QX_BT_Body* body = AsBody(inWorld[i]);
                if (body && body->state == Dynamic && body->owner &&
                    body->owner->testDemolition(*body, cur, relax, scale))
                    demolished = true;
            }
            bool activated = false;
            const std::vector<QX_BT_Box> boxes =
                api ? api->GetSupportBoxes(scale) : std::vector<QX_BT_Box>{};
            for (int i = 0; mayReplace && i < inWorld.size(); ++i) {
                QX_BT_Body* body = AsBody(inWorld[i]);
                if (body && body->owner && (body->state == Kinematic || body->state == Dead) &&
                    body->owner->testActivation(*body, boxes, cur, relax, scale))
                    activated = true;
            }
            const bool changed = demolished || activated;
            HoldDeadBodies(world);

            for (int i = 0; i < inWorld.size(); ++i) {
                if (QX_BT_Body* body = AsBody(inWorld[i])) {
                    body->impulseSum = 0.0f;
                    body->impactPoint = glm::vec3(0.0f);
                }
            }
            for (int i = 0; i < inWorld.size(); ++i) {
                if (QX_BT_Body* body = AsBody(inWorld[i]))
                    body->age += 1;
            }
            ReleaseAllPairs(world, *bw.dispatcher);
            for (int i = inWorld.size() - 1; i >= 0; --i)
                world.removeCollisionObject(inWorld[i]);

            for (QX_BT_MeshController* object : objects) {
                if (relax)
                    object->recordRelaxed(cur, scale);
                else
                    object->recordFrame(changed ? cur : cur + step, changed, false, scale);
            }
            if (changed) {
                ++repeats;
            } else {
                cur += step;
                repeats = 0;
            }
        }
    }

    owned.reset();
    for (QX_BT_MeshController* object : objects) {
        object->intSettings.clearChanged();
        object->floatSettings.clearChanged();
    }
}

std::vector<uint8_t> QX_BT_World::Serialise() const {
    std::vector<uint8_t> block;
    for (const std::vector<uint8_t>& table :
         {SerialiseTable(intSettings), SerialiseTable(floatSettings),
          SerialiseTable(vectorSettings)}) {
        PutValue(block, static_cast<int32_t>(table.size()));
        block.insert(block.end(), table.begin(), table.end());
    }
    return block;
}

bool QX_BT_World::Deserialise(const uint8_t* data, size_t size, std::string* error) {
    std::map<int32_t, int32_t> ints;
    std::map<int32_t, float> floats;
    std::map<int32_t, QX_BT_Vector4> vectors;
    const uint8_t* cursor = data;
    const uint8_t* end = data + size;
    if (data == nullptr && size != 0)
        return false;
    if (!ParseTable(cursor, end, ints, "integer", error) ||
        !ParseTable(cursor, end, floats, "float", error) ||
        !ParseTable(cursor, end, vectors, "vector", error))
        return false;
    intSettings.assign(ints);
    floatSettings.assign(floats);
    vectorSettings.assign(vectors);
    return true;
}

} // namespace Quarix
