#include "core/QX_BT_World.h"

#include <cmath>
#include <cstring>
#include <memory>

#include <btBulletDynamicsCommon.h>

#include "base/QX_Assert.h"
#include "core/QX_BT_Math.h"

namespace Quarix {

namespace {

/// The listed object cores without the null entries.
std::vector<QX_BT_MeshController*> WithoutNulls(const std::vector<QX_BT_MeshController*>& listed) {
    std::vector<QX_BT_MeshController*> present;
    present.reserve(listed.size());
    for (QX_BT_MeshController* object : listed) {
        if (object)
            present.push_back(object);
    }
    return present;
}

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
    QX_ASSERT(dynamic_cast<QX_BT_Body*>(object) != nullptr);
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

/// The static ground plane: normal = vector key 7 (not scaled), origin = vector key 6 x scale.
void BuildGround(BulletWorld& bw, const QX_BT_World& settings, float scale) {
    const QX_BT_Vector4 normal = settings.vectorSettings.get(WorldKey::GroundNormal);
    const QX_BT_Vector4 origin = settings.vectorSettings.get(WorldKey::GroundOrigin);
    bw.groundShape =
        std::make_unique<btStaticPlaneShape>(btVector3(normal[0], normal[1], normal[2]), 0.0f);
    btTransform start;
    start.setIdentity();
    start.setOrigin(btVector3(origin[0], origin[1], origin[2]) * scale);
    bw.groundMotion = std::make_unique<btDefaultMotionState>(start);
    btVector3 inertia(0, 0, 0);
    bw.groundShape->calculateLocalInertia(0.0f, inertia);
    btRigidBody::btRigidBodyConstructionInfo info(0.0f, bw.groundMotion.get(), bw.groundShape.get(),
                                                  inertia);
    bw.ground = std::make_unique<btRigidBody>(info);
}

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

// --- one SimulateFrame call
// -----------------------------------------------------------------------

/// A fresh Bullet world for one call: collision set-up, the kept solver, gravity and, when the
/// world has one, the ground plane (not yet added; every frame adds it).
std::unique_ptr<BulletWorld> BuildBulletWorld(const QX_BT_World& settings,
                                              btSequentialImpulseConstraintSolver& solver,
                                              float scale) {
    auto bw = std::make_unique<BulletWorld>();
    bw->configuration = std::make_unique<btDefaultCollisionConfiguration>();
    if (settings.convexMultipointIterations > 0) {
        bw->configuration->setConvexConvexMultipointIterations(
            settings.convexMultipointIterations, settings.convexMultipointMinimumPoints);
    }
    bw->dispatcher = std::make_unique<btCollisionDispatcher>(bw->configuration.get());
    bw->broadphase = std::make_unique<btDbvtBroadphase>();
    solver.reset();
    bw->world = std::make_unique<btDiscreteDynamicsWorld>(
        bw->dispatcher.get(), bw->broadphase.get(), &solver, bw->configuration.get());
    ConfigureSolver(bw->world->getSolverInfo());

    const QX_BT_Vector4 direction = settings.vectorSettings.get(WorldKey::GravityDirection);
    const float gravity = settings.floatSettings.get(WorldKey::Gravity);
    bw->world->setGravity(btVector3(direction[0], direction[1], direction[2]) * (gravity * scale));
    if (settings.intSettings.get(WorldKey::GroundPlane) != 0)
        BuildGround(*bw, settings, scale);
    return bw;
}

/// The frame passes of one SimulateFrame call over one Bullet world. run() calls the phases of
/// a frame in the order they happen; each phase is one member function.
class FramePass {
public:
    FramePass(BulletWorld& bw, const std::vector<QX_BT_MeshController*>& objects,
              QX_BT_World_API_Interface* api, float scale, bool relax, int subSteps, float dt,
              float forceStrength)
        : bw_(bw), world_(*bw.world), objects_(objects), api_(api), scale_(scale), relax_(relax),
          subSteps_(subSteps), dt_(dt), forceStrength_(forceStrength) {}

    /// Simulates frame `cur` once. `mayReplace` false skips the demolition and activation
    /// tests. True when a body was replaced: the frame must then be simulated again.
    bool run(float cur, float step, bool mayReplace) {
        if (bw_.ground)
            world_.addRigidBody(bw_.ground.get());
        putBodiesInRecordedState(cur);
        const std::vector<QX_BT_Body*> bodies = collectBodies(cur);
        applyForces(bodies, cur);
        for (QX_BT_Body* body : bodies)
            world_.addRigidBody(body);
        stepSubSteps(cur, step);
        PlaceKinematicBodies(world_, cur + step, scale_);
        takeBackFieldVelocities();
        const bool demolished = testDemolitions(cur, mayReplace);
        const bool activated = testActivations(cur, mayReplace);
        HoldDeadBodies(world_);
        clearFrameScratch();
        emptyWorld();
        const bool changed = demolished || activated;
        recordResults(cur, step, changed);
        return changed;
    }

private:
    // Objects that have recorded nothing yet record their start first; then every alive body
    // takes its recorded (or relaxed) state and the object's material.
    void putBodiesInRecordedState(float cur) {
        for (QX_BT_MeshController* object : objects_) {
            if (object->meshHistory.empty() && !relax_)
                object->recordFrame(cur, false, true, scale_);
            object->applyFrame(cur, relax_, scale_);
        }
    }

    std::vector<QX_BT_Body*> collectBodies(float cur) {
        std::vector<QX_BT_Body*> collected;
        for (QX_BT_MeshController* object : objects_) {
            std::vector<QX_BT_Body*> alive = object->collectActiveBodies(cur);
            object->updateContinuity(alive, cur, scale_);
            collected.insert(collected.end(), alive.begin(), alive.end());
        }
        return collected;
    }

    // Field forces act for this frame only (taken back after the steps); blasts stay in the
    // velocity. The blast spin is added twice on purpose, after the field force and again after
    // the blast force: that doubled spin is what blasts in existing scenes were set up with.
    void applyForces(const std::vector<QX_BT_Body*>& bodies, float cur) {
        int forceIndex = 0;
        for (QX_BT_Body* body : bodies) {
            if (body->getCollisionFlags() &
                (btCollisionObject::CF_STATIC_OBJECT | btCollisionObject::CF_KINEMATIC_OBJECT))
                continue;
            if (cur == 0.0f)
                body->activate(true);
            if (api_ == nullptr)
                continue;
            glm::vec3 field(0.0f), blast(0.0f), spin(0.0f);
            const glm::vec3 origin = ToGlm(body->getWorldTransform().getOrigin()) / scale_;
            api_->ComputeForces(cur, origin, forceIndex, field, blast, spin);
            body->forceVelocity = field * forceStrength_;
            body->setLinearVelocity(body->getLinearVelocity() + ToBt(field * forceStrength_));
            body->setAngularVelocity(body->getAngularVelocity() + ToBt(spin));
            body->setLinearVelocity(body->getLinearVelocity() + ToBt(blast * forceStrength_));
            body->setAngularVelocity(body->getAngularVelocity() + ToBt(spin));
        }
    }

    // One Bullet step per sub-step; Kinematic bodies are first placed where their nodes are at
    // the end of the sub-step.
    void stepSubSteps(float cur, float step) {
        const float sub = step / float(subSteps_);
        for (int i = 1; i <= subSteps_; ++i) {
            PlaceKinematicBodies(world_, cur + float(i) * sub, scale_);
            HoldDeadBodies(world_);
            world_.stepSimulation(dt_, 0, dt_);
            AccumulateContactImpulses(*bw_.dispatcher);
        }
    }

    void takeBackFieldVelocities() {
        btCollisionObjectArray& inWorld = world_.getCollisionObjectArray();
        for (int i = 0; i < inWorld.size(); ++i) {
            if (QX_BT_Body* body = AsBody(inWorld[i])) {
                body->setLinearVelocity(body->getLinearVelocity() - ToBt(body->forceVelocity));
                body->forceVelocity = glm::vec3(0.0f);
            }
        }
    }

    // Every Dynamic body is tested, even after one was replaced.
    bool testDemolitions(float cur, bool mayReplace) {
        btCollisionObjectArray& inWorld = world_.getCollisionObjectArray();
        bool demolished = false;
        for (int i = 0; mayReplace && i < inWorld.size(); ++i) {
            QX_BT_Body* body = AsBody(inWorld[i]);
            if (body && body->state == Dynamic && body->owner &&
                body->owner->testDemolition(*body, cur, relax_, scale_))
                demolished = true;
        }
        return demolished;
    }

    // Every Kinematic and Dead body is tested against the support boxes of this frame.
    bool testActivations(float cur, bool mayReplace) {
        const std::vector<QX_BT_Box> boxes =
            api_ ? api_->GetSupportBoxes(scale_) : std::vector<QX_BT_Box>{};
        btCollisionObjectArray& inWorld = world_.getCollisionObjectArray();
        bool activated = false;
        for (int i = 0; mayReplace && i < inWorld.size(); ++i) {
            QX_BT_Body* body = AsBody(inWorld[i]);
            if (body && body->owner && (body->state == Kinematic || body->state == Dead) &&
                body->owner->testActivation(*body, boxes, cur, relax_, scale_))
                activated = true;
        }
        return activated;
    }

    // Contact sums cover one frame; every body in the world grows one frame older.
    void clearFrameScratch() {
        btCollisionObjectArray& inWorld = world_.getCollisionObjectArray();
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
    }

    void emptyWorld() {
        ReleaseAllPairs(world_, *bw_.dispatcher);
        btCollisionObjectArray& inWorld = world_.getCollisionObjectArray();
        for (int i = inWorld.size() - 1; i >= 0; --i)
            world_.removeCollisionObject(inWorld[i]);
    }

    // After a replacement only the new bodies are recorded, at the frame's start, and the frame
    // runs again from there; otherwise every body is recorded at the frame's end.
    void recordResults(float cur, float step, bool changed) {
        for (QX_BT_MeshController* object : objects_) {
            if (relax_)
                object->recordRelaxed(cur, scale_);
            else
                object->recordFrame(changed ? cur : cur + step, changed, false, scale_);
        }
    }

    BulletWorld& bw_;
    btDiscreteDynamicsWorld& world_;
    const std::vector<QX_BT_MeshController*>& objects_;
    QX_BT_World_API_Interface* api_;
    float scale_;
    bool relax_;
    int subSteps_;
    float dt_;
    float forceStrength_;
};

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

bool QX_BT_World::HasChanges(const std::vector<QX_BT_MeshController*>& listed) {
    const std::vector<QX_BT_MeshController*> objects = WithoutNulls(listed);
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

void QX_BT_World::SimulateFrame(const std::vector<QX_BT_MeshController*>& listed, float from,
                                float to, float step, bool relax) {
    // A node without a rigid modifier has no object core: it is simply not simulated.
    const std::vector<QX_BT_MeshController*> objects = WithoutNulls(listed);
    gDeactivationTime = float(intSettings.get(WorldKey::DeactivationTime)) * kMillisecondsToSeconds;
    gCalculateCombinedRollingFrictionCallback = &CombinedRollingFriction;
    const float startFrame = float(intSettings.get(WorldKey::StartFrame));
    const float first = from - startFrame;
    const float last = to - startFrame;
    const float scale = floatSettings.get(WorldKey::ScaleFactor);

    // Rewind (to the very start when anything changed) and bring every object up to date.
    const bool restart = HasChanges(objects);
    for (QX_BT_MeshController* object : objects) {
        object->rewindTo(restart ? -kLifeUnbounded : first, false);
        object->prepare(first, scale);
    }

    std::unique_ptr<BulletWorld> bw = BuildBulletWorld(*this, *solver_, scale);
    const int n = std::max(1, int(intSettings.get(WorldKey::SubSteps)));
    const float dt = float((1.0 / (double(n) * kFramesPerSimulatedSecond)) *
                           double(floatSettings.get(WorldKey::DeltaTime)));
    if (std::isfinite(step) && step > 0.0f && last > first) {
        FramePass pass(*bw, objects, api, scale, relax, n, dt,
                       floatSettings.get(WorldKey::ForcesStrength) * scale);
        float cur = first;
        int repeats = 0;
        while (last > cur) {
            if (pass.run(cur, step, repeats < kMaxFrameRepeats)) {
                ++repeats;
            } else {
                cur += step;
                repeats = 0;
            }
        }
    }
    bw.reset();

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
    if (data == nullptr && size != 0) {
        if (error)
            *error = "world settings: no data for a block of " + std::to_string(size) + " bytes";
        return false;
    }
    const uint8_t* cursor = data;
    const uint8_t* end = data + size;
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
