#pragma once

// The simulation core of one simulated object: its meshes, elements, collision shapes, bodies
// and, per body, the recorded state of every simulated frame.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <glm/glm.hpp>

#include "core/QX_BT_API_Interfaces.h"
#include "core/QX_BT_Body.h"
#include "core/QX_BT_Mesh_Data.h"
#include "core/QX_BT_Setting_Keys.h"
#include "core/QX_BT_Settings.h"
#include "core/QX_BT_Shape_Builder.h"

namespace Quarix {

/// How large a mesh record is: geometry vertex and face-corner counts and, per channel, its
/// face-corner and vertex-float counts. Rewinding cuts the simulation mesh back to a layout.
struct QX_BT_Mesh_Layout {
    struct Channel {
        int32_t corners = 0;
        int32_t vertexFloats = 0;
        bool operator==(const Channel&) const = default;
    };
    uint32_t vertexCount = 0;
    uint32_t cornerCount = 0;
    std::map<int32_t, Channel> channels;

    /// The layout of `mesh` as it is now.
    static QX_BT_Mesh_Layout Of(const QX_BT_Mesh_Data& mesh);
    /// Cuts `mesh` back to this layout (vertices, corners, face infos, listed channels).
    void cut(QX_BT_Mesh_Data& mesh) const;

    bool operator==(const QX_BT_Mesh_Layout&) const = default;
};

/// Mesh layouts by simulation frame.
using QX_BT_Mesh_History = std::map<float, QX_BT_Mesh_Layout>;

/// The layout a history gives for frame x: the last entry not after x, the first entry when x
/// lies before all of them, the empty layout for an empty history.
QX_BT_Mesh_Layout LayoutAt(const QX_BT_Mesh_History& history, float x);

/// The modifier's fragment operation: cuts `piece` (in the body's orientation, about its own
/// space) into `count` pieces with `bias` towards `impact`, giving new inner faces `materialID`.
/// Replaces the piece by the fragments and returns true on success.
using QX_BT_Fragment_Operation =
    std::function<bool(QX_BT_Mesh_Data& piece, int32_t count, float bias, int32_t materialID,
                       const glm::vec3& impact)>;

/// What a version 2.0 scene file stored besides the simulation mesh. The three arrays are kept
/// byte for byte, so that an object loaded from such a file and not simulated since is written
/// back as it came.
struct QX_BT_Legacy_Data {
    /// Element face lists: int32 n, then per element int32 m and m face indices.
    std::vector<uint8_t> elementData;
    /// Settings items of 8 bytes: a 4-byte value and an int32 flag (non-zero = set).
    std::vector<uint8_t> settingsRecord;
    /// Body links: 8 bytes (two int32) per body.
    std::vector<uint8_t> bodyLinks;
    /// The stored 4x4 matrix (column by column).
    glm::mat4 matrix{1.0f};
    /// The stored 4-byte value, uninterpreted.
    uint32_t value = 0;
    /// Set when a loaded legacy settings record still has to be applied to the parameters;
    /// the modifier clears it once it has done so.
    bool settingsPending = false;
};

/// Life code of a body at frame x: 0 alive, otherwise the before/after mode that applies.
int32_t LifeCode(const QX_BT_Body_Data& body, float x);
/// Whether a body is alive at frame x.
inline bool IsAlive(const QX_BT_Body_Data& body, float x) {
    return LifeCode(body, x) == 0;
}

/// What a demolished body is replaced by, as demolishBody numbers it.
namespace DemolitionKind {
constexpr int32_t Fragments = 0; ///< pieces cut by the fragment operation
constexpr int32_t Clusters = 1;  ///< the body's children regrouped into "Amount" clusters
constexpr int32_t Elements = 2;  ///< one body per child; also how activation wakes a body
constexpr int32_t Captured = 3;  ///< bodies made of the captured mesh
} // namespace DemolitionKind

/// Most bodies one object may have alive before demolition stops adding more. Every body costs
/// a Bullet body, a compound and a track entry per frame; "Amount Limit" is capped by this so a
/// limit of 999,999 cannot let fragments of fragments exhaust memory.
constexpr int32_t kMaxAliveBodiesPerObject = 10000;

/// Most fragments one demolition asks the fragment operation for, whatever "Num Fragments" says.
constexpr int32_t kMaxFragmentsPerDemolition = 256;

/// The fragment count actually asked for when `wanted` pieces are wanted from a body of
/// `volume` cubic units and `triangles` faces while `room` more bodies may still be made: no
/// more than the absolute cap, than pieces of a buildable volume fit in the body, than keeps the
/// cut's output (roughly pieces x faces) bounded, nor than the room left. Below 2 nothing is cut.
int32_t FragmentCountLimit(int32_t wanted, float volume, size_t triangles, int32_t room);

/// Whether two axis-aligned boxes touch: a corner of either lies inside the other, boundaries
/// included. Boxes that cross without a corner inside (the bars of a plus sign) do not touch.
bool BoxesTouch(const glm::vec3& minA, const glm::vec3& maxA, const glm::vec3& minB,
                const glm::vec3& maxB);

/// The simulation core of one object. Owns its meshes, element shapes, body shapes and bodies.
/// All frames are simulation frames (floats, counted from the world's start frame) unless named
/// scene frames; `scale` is the world's scene-to-simulation scale factor.
class QX_BT_MeshController {
public:
    /// An object core answering scene questions through `api` (not owned, may be null: the node
    /// is then taken to sit at the identity). Settings start at the modifier's defaults.
    explicit QX_BT_MeshController(QX_BT_MeshController_API_Interface* api);
    ~QX_BT_MeshController();

    QX_BT_MeshController(const QX_BT_MeshController&) = delete;
    QX_BT_MeshController& operator=(const QX_BT_MeshController&) = delete;

    // --- per-frame body update -----------------------------------------------------------------

    /// The bodies alive at x, in list order; counts them in activeBodyCount and stores each
    /// body's origin as its frameStartPosition.
    std::vector<QX_BT_Body*> collectActiveBodies(float x);
    /// Puts every body alive at x into its recorded state (relax: its relaxed start state) and
    /// applies the object's material, margins, damping and sleeping thresholds.
    void applyFrame(float x, bool relax, float scale);
    /// Records the simulation mesh layout and the alive bodies' states at x (onlyNew: only bodies
    /// created this frame; before: the pre-step identity or relaxed start state).
    void recordFrame(float x, bool onlyNew, bool before, float scale);
    /// Stores every alive body's current state as its relaxed start state.
    void recordRelaxed(float x, float scale);
    /// Drops every relaxed start state; rewinds to x when any body changed.
    void resetRelaxed(float x);
    /// Cuts the recorded history back to frame x, destroying bodies born after it.
    void rewindTo(float x, bool forced);
    /// Builds the output mesh for scene frame t (node-relative, unscaled object space).
    void evaluateOutput(float t);
    /// on: the captured mesh becomes a copy of the input mesh; off: it is emptied.
    void captureMesh(bool on);

    // --- preparation -----------------------------------------------------------------------------

    /// Brings simulation mesh, elements, shapes and bodies up to date with the input mesh, the
    /// node's scale and the settings; idempotent while nothing changes.
    void prepare(float x, float scale);
    /// Compares the input mesh with the simulated one; sets the mesh-built mark to 0 when they
    /// differ (by more than 0.001 in any coordinate, or in topology).
    void checkInputMesh();
    /// Replaces `list` by one new body of rigid type `type` per shape of `shapes`, placed at the
    /// node's frame-x placement.
    void createBodies(const QX_BT_Body_Shape_List& shapes, QX_BT_Body_List& list, int32_t type,
                      float x, float scale);
    /// Discards loaded results (kept blob and pending lists) and the meshes made from them.
    void ResetRunState();
    /// Rebuilds shapes and bodies from loaded records; a no-op when none are pending.
    void restorePending();

    // --- activation and demolition ---------------------------------------------------------------

    /// Wakes a Kinematic or Dead body when its activation tests say so; true when it was replaced.
    bool testActivation(QX_BT_Body& body, const std::vector<QX_BT_Box>& supportBoxes, float x,
                        bool relax, float scale);
    /// Marks the Dead bodies of `bodies` linked to the continuity gizmo as supported.
    void updateContinuity(const std::vector<QX_BT_Body*>& bodies, float x, float scale);
    /// Demolishes a Dynamic body hit hard enough; true when it was replaced.
    bool testDemolition(QX_BT_Body& body, float x, bool relax, float scale);
    /// Replaces `body` by new bodies of demolition kind `kind` (0 fragments, 1 clusters,
    /// 2 elements, 3 captured); false when no new body could be made.
    bool demolishBody(int32_t kind, QX_BT_Body& body, float x, bool relax, float scale,
                      int32_t fragmentCount, int32_t clusterCount, bool keepDepth);

    // --- data ----------------------------------------------------------------------------------

    QX_BT_Int_Settings intSettings;
    QX_BT_Float_Settings floatSettings;
    /// Simulation mesh layouts by simulation frame.
    QX_BT_Mesh_History meshHistory;
    /// The modifier's answers about its node; not owned, may be null.
    QX_BT_MeshController_API_Interface* api = nullptr;
    /// Node transform at simulation frame 0 when the bodies were last built (simulation scale).
    glm::mat4 startTransform{1.0f};
    /// Layout of the simulation mesh right after its last rebuild.
    QX_BT_Mesh_Layout baseLayout;
    /// Bodies alive in the current frame plus those added by its demolitions.
    int32_t activeBodyCount = 0;
    /// Set by the driver in quiet mode: reference changes then keep the previous output.
    uint8_t quietOutput = 0;
    /// Set by the modifier on every reference change; cleared by evaluateOutput.
    uint8_t changedMark = 0;

    /// The modifier's current input mesh (object space, unscaled).
    QX_BT_Mesh_Data inputMesh;
    /// The input mesh scaled by the node's scale; demolitions append fragments to it.
    QX_BT_Mesh_Data simulationMesh;
    /// The mesh for the last evaluated frame.
    QX_BT_Mesh_Data outputMesh;
    /// Copy of the input mesh used by "Demolish to Capture".
    QX_BT_Mesh_Data capturedMesh;

    /// Loaded results: the kept snapshot blob and its format version (-1 when nothing loaded).
    std::vector<uint8_t> keptBlob;
    float loadedVersion = -1.0f;
    /// Loaded shapes, groups and body records waiting for restorePending.
    QX_BT_Stored_Bodies pending;
    /// Data of a version 2.0 file, kept to write it back while its records are pending.
    QX_BT_Legacy_Data legacy;
    /// Whether loaded results are held (a kept blob or pending records).
    bool holdsPersistedResults() const { return !keptBlob.empty() || !pending.empty(); }

    /// Element face lists of the simulation mesh.
    QX_BT_Element_List elements;
    /// Element shapes (owned; null where no shape was built), element order first, then shapes
    /// added by demolitions.
    QX_BT_Shape_List elementShapes;
    /// Body compounds (owned); children belong to elementShapes.
    QX_BT_Body_Shape_List bodyShapes;
    /// Bodies (owned) in creation order.
    QX_BT_Body_List bodies;

    /// Cuts a body's faces into fragments; installed by the modifier. Without it fragmenting
    /// fails cleanly and demolition tries its next switch.
    QX_BT_Fragment_Operation fragmentOperation;

    /// The node transform at x with `scale` applied (identity without an API).
    glm::mat4 nodeTransform(float x, float scale) const;
    /// TranslationPart * RotationPart of the node transform: where bodies are placed.
    glm::mat4 nodePlacement(float x, float scale) const;

private:
    void rebuildSimulationMesh(const glm::mat4& n0);
    void splitToGroups(QX_BT_Body& body, QX_BT_Body_List& list, float x, int32_t groupCount,
                       float scale, bool keepDepth);
    void shatterBody(QX_BT_Body& body, QX_BT_Body_List& list, float x, int32_t count, float scale);
    void replaceByCaptured(QX_BT_Body_List& list, float x, float scale);
    void addPieces(QX_BT_Mesh_Data& piece, QX_BT_Body_List& list, float x, float scale);
    /// How many more bodies demolitions may make before the object reaches its body cap.
    int32_t bodyRoom() const;
};

/// The scale-and-shear part of M: (TranslationPart(M) * RotationPart(M))^-1 * M.
glm::mat4 ScalePart(const glm::mat4& m);

/// Translation matrix by v.
glm::mat4 Translation(const glm::vec3& v);

} // namespace Quarix
