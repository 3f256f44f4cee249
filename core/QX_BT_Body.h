#pragma once

// The rigid body of the simulation and its per-body record.

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include <BulletDynamics/Dynamics/btRigidBody.h>
#include <LinearMath/btDefaultMotionState.h>
#include <glm/glm.hpp>

#include "core/QX_BT_Body_Track.h"
#include "core/QX_BT_Mesh_Data.h"
#include "core/QX_BT_Shape_Builder.h"
#include "core/QX_BT_Shapes.h"

namespace Quarix {

class QX_BT_MeshController;

/// Rigid types and body states; the object setting "Rigid Type" uses the same codes.
enum QX_BT_Rigid_Type : int32_t {
    Static = 0,
    Dynamic = 1,
    Kinematic = 2,
    Dead = 3,
};

/// Life-span bound meaning "no bound": the largest finite float.
constexpr float kLifeUnbounded = std::numeric_limits<float>::max();

/// A body's record: life span, recorded motion, demolition bookkeeping and per-frame scratch
/// values. Plain and copyable; also stored on its own in scene files and for rebuilding bodies.
/// Frames are simulation frames counted from the world's start frame.
struct QX_BT_Body_Data {
    float lifeStart = -kLifeUnbounded; ///< first frame of the life span
    float lifeEnd = kLifeUnbounded;    ///< end of the life span
    int32_t beforeMode = 0;            ///< 0: alive before lifeStart; else not alive
    int32_t afterMode =
        0; ///< 0: alive from lifeEnd on; 1 after fragment/capture, 2 after split/activation
    bool pristine = true;        ///< false once relax mode stored a relaxed start state
    QX_BT_Body_State startState; ///< relaxed start state
    float pendingLifeStart = -kLifeUnbounded; ///< life span saved by relax mode
    float pendingLifeEnd = kLifeUnbounded;
    int32_t pendingBeforeMode = 0;
    int32_t pendingAfterMode = 0;
    int32_t childFlag = 0;              ///< 1 when made by a fragment or capture demolition
    int32_t depth = 0;                  ///< demolition depth: 0 for bodies built from the mesh
    float variationFactor = 0.0f;       ///< one of 0, 0.01, ..., 1.00; drawn at construction
    bool needsRecord = false;           ///< created this frame, state not yet recorded
    int32_t age = 0;                    ///< frames simulated since creation
    int32_t demolishedAs = -1;          ///< -1 not demolished; 1 after fragments; 0 otherwise
    glm::vec3 forceVelocity{0.0f};      ///< linear velocity added by forces this frame
    bool supported = false;             ///< Dead body connected to its continuity gizmo
    int32_t parentIndex = -1;           ///< stored records: parent's index in the body list
    int32_t shapeIndex = -1;            ///< stored records: index in the body-shape list
    QX_BT_Body_Track track;             ///< recorded states by frame
    glm::vec3 frameStartPosition{0.0f}; ///< body origin at the start of the current frame
    int32_t state = Dynamic;            ///< rigid type code
    float impulseSum = 0.0f;            ///< contact impulse accumulated this frame
    glm::vec3 impactPoint{0.0f};        ///< impulse-weighted contact point this frame
};

/// The process-wide body counter: 0 at start-up, incremented by every body construction; it
/// seeds each body's variation factor. Never reset while the module is loaded.
uint32_t& BodyCounter();

/// Draws a variation factor in {0, 0.01, ..., 1.00} from std::mt19937 seeded with `seed`, using
/// the rejection rule that makes the result identical on every standard library.
float DrawVariationFactor(uint32_t seed);

/// A Bullet rigid body carrying its record. Its collision shape is a body compound owned by the
/// object core's body-shape list; the body owns its motion state.
class QX_BT_Body : public btRigidBody, public QX_BT_Body_Data {
public:
    BT_DECLARE_ALIGNED_ALLOCATOR();

    /// A body of mass = the shape's volume at `start` (simulation space), with Bullet's default
    /// material values and a freshly drawn variation factor. `shape` must outlive the body.
    QX_BT_Body(QX_BT_CompoundShape* shape, const glm::mat4& start, QX_BT_MeshController* owner);
    ~QX_BT_Body() override;

    QX_BT_Body(const QX_BT_Body&) = delete;
    QX_BT_Body& operator=(const QX_BT_Body&) = delete;

    /// The body's compound shape (null never for bodies made by the core).
    QX_BT_CompoundShape* compoundShape() const;

    /// The body this one was split from; not owned, null for bodies built from the mesh.
    QX_BT_Body* parent = nullptr;
    /// The object core that created the body; not owned.
    QX_BT_MeshController* owner = nullptr;

private:
    std::unique_ptr<btDefaultMotionState> motionState_;
};

/// Owning list of bodies, in creation order.
using QX_BT_Body_List = std::vector<std::unique_ptr<QX_BT_Body>>;

/// Sets the rigid type: mass 0 for Static and Kinematic (Kinematic also gets the kinematic flag
/// and never deactivates), mass = compound volume for Dynamic and Dead. Always stores the code;
/// unknown codes change nothing else. Never clears the kinematic flag.
void SetRigidType(QX_BT_Body& body, int32_t state);

/// Copies a stored record into a body (rigid type first); the body keeps its own shapeIndex.
void ApplyBodyData(const QX_BT_Body_Data& record, QX_BT_Body& body);

/// Source-mesh faces of the body: every child's face indices, in child order.
QX_BT_Face_List CollectBodyFaces(const QX_BT_Body& body);

/// mat4 (column-major, translation in column 3) to a Bullet transform, and back.
btTransform ToBulletTransform(const glm::mat4& m);
glm::mat4 FromBulletTransform(const btTransform& t);

/// What an object keeps after loading until it rebuilds its bodies: per stored element its
/// shape kind and faces, per stored group its element indices, and the stored body records.
struct QX_BT_Stored_Bodies {
    std::vector<int32_t> elementKinds;
    QX_BT_Element_List elementFaces;
    std::vector<std::vector<int32_t>> groups;
    std::vector<QX_BT_Body_Data> records;

    bool empty() const { return elementKinds.empty() && groups.empty() && records.empty(); }
};

/// Rebuilds element shapes, body shapes and bodies from stored records on the simulation mesh
/// (vertices, faces). Replaces the three lists; records whose shapeIndex is outside the body-shape
/// list, and group entries outside the element list, are skipped. Parent links follow
/// parentIndex. Clears `stored` afterwards. `cache` (optional, not owned) answers repeated
/// decompositions.
void RebuildBodies(QX_BT_Stored_Bodies& stored, const std::vector<float>& vertices,
                   const std::vector<int32_t>& faces, QX_BT_MeshController* owner,
                   QX_BT_Shape_List& elementShapes, QX_BT_Body_Shape_List& bodyShapes,
                   QX_BT_Body_List& bodies, QX_BT_Decomposition_Cache* cache = nullptr);

} // namespace Quarix
