#pragma once
// The rigid modifier: sits on every simulated object, holds its physics parameters, owns its
// object core, hands the incoming mesh to the core and writes the simulated mesh back.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/QX_BT_MeshController.h"
#include "host/ClassDesc2.h"
#include "host/Modifier.h"
#include "host/Tab.h"

class INode;
class Control;
class QX_Bake_Adapter;
class QX_Body_Playback;
struct QX_Bake_Report;

/// Class id of the rigid modifier ("Quarix Rigid", an object-space modifier).
inline constexpr Class_ID QX_RIGID_MOD_CLASS_ID(0x14EF7D31, 0x0D274686);
/// Class id of the world object; the rigid modifier is never put on it.
inline constexpr Class_ID QX_BULLET_OBJ_CLASS_ID(0x986DF9B4, 0x792CE6D7);

/// Ids of the parameters of the modifier's block "nodeParameters" (block id 0, reference 0).
namespace QX_RigidParam {
inline constexpr ParamID TransformNode = 0;
inline constexpr ParamID Convex = 4;
inline constexpr ParamID ConcaveLow = 5;
inline constexpr ParamID Static = 7;
inline constexpr ParamID Dynamic = 8;
inline constexpr ParamID Kinematic = 9;
inline constexpr ParamID Dead = 10;
inline constexpr ParamID Margin = 11;
inline constexpr ParamID ForceUpdate = 12;
inline constexpr ParamID MaterialPreset = 13;
inline constexpr ParamID Density = 14;
inline constexpr ParamID Friction = 15;
inline constexpr ParamID Variation = 16;
inline constexpr ParamID Restitution = 17;
inline constexpr ParamID ReviveByVelocity = 18;
inline constexpr ParamID ReviveByOffset = 19;
inline constexpr ParamID Continuity = 20;
inline constexpr ParamID CollisionSeparate = 21;
inline constexpr ParamID DemolishToCapture = 22;
inline constexpr ParamID Solidity = 23;     ///< "Separate Impulse" of the Properties rollout
inline constexpr ParamID StartImpulse = 24; ///< "Separate Impulse" of the Advanced rollout
inline constexpr ParamID Capture = 25;
inline constexpr ParamID DampingLinear = 26;
inline constexpr ParamID DampingAngular = 27;
inline constexpr ParamID SleepingLinear = 28;
inline constexpr ParamID SleepingAngular = 29;
inline constexpr ParamID DeactivationTime = 30;
inline constexpr ParamID Override = 31;
inline constexpr ParamID ExplodeStart = 32;
inline constexpr ParamID ExplodeEnd = 33;
inline constexpr ParamID ExplodeDel = 34;
inline constexpr ParamID ExplodeRandColors = 35;
inline constexpr ParamID ExplodeSuffix = 36;
inline constexpr ParamID ExplodeType = 37;
inline constexpr ParamID AnimInfo = 38;
inline constexpr ParamID Hidden42 = 42;
inline constexpr ParamID KtDFrame = 48;
inline constexpr ParamID EnableKTD = 49;
inline constexpr ParamID KtDForce = 50;
inline constexpr ParamID KTDByCollide = 51;
inline constexpr ParamID KtDDistance = 52;
inline constexpr ParamID ConcaveHigh = 53;
inline constexpr ParamID Solid = 54;
inline constexpr ParamID Separate = 55;
inline constexpr ParamID Clusters = 56;
inline constexpr ParamID EnableDTD = 57;
inline constexpr ParamID Amount = 58;
inline constexpr ParamID Seed = 59;
inline constexpr ParamID Percentage = 60;
inline constexpr ParamID ClusterizationDepth = 61;
inline constexpr ParamID DemolishToClusters = 62;
inline constexpr ParamID SecondaryToClusters = 63;
inline constexpr ParamID SecondaryToElements = 64;
inline constexpr ParamID Probability = 65;
inline constexpr ParamID SafeFrames = 66;
inline constexpr ParamID CopyIDTMP = 67;
inline constexpr ParamID ModifyEnable = 68;
inline constexpr ParamID FractionTMP = 69;
inline constexpr ParamID PrimaryToFragments = 70;
inline constexpr ParamID SecondaryToFragments = 71;
inline constexpr ParamID NumFragments = 72;
inline constexpr ParamID FragmentsMaterialID = 73;
inline constexpr ParamID AmountLimit = 74;
inline constexpr ParamID SizeLimit = 75;
inline constexpr ParamID FragmentationType = 76;
inline constexpr ParamID FragmentsVariation = 77;
inline constexpr ParamID DepthFade = 78;
inline constexpr ParamID EnableDTDBG = 79;
inline constexpr ParamID EnableKTDBG = 80;
inline constexpr ParamID SpeedLimit = 81;
inline constexpr ParamID BoxShapeMinSize = 82;
inline constexpr ParamID TestParamFloat = 83;
inline constexpr ParamID TestParamInt = 84;
inline constexpr ParamID HideCorrupted = 85;
inline constexpr ParamID Bias = 86;
inline constexpr ParamID RigidType = 87;
inline constexpr ParamID MeshType = 88;
inline constexpr ParamID FractionType = 89;
} // namespace QX_RigidParam

/// Number of parameters of "nodeParameters".
inline constexpr int QX_RIGID_PARAM_COUNT = 78;

/// Advanced values the world pushes into every simulated modifier, and the copy a modifier keeps
/// of its own values while "override" is on. Both copies start zeroed and invalid.
struct QX_RIGID_MOD_AdvancedSettings {
    float solidity = 0.0f;        ///< world: "GlobalSolidity"; override copy: always 1.0
    float margin = 0.0f;          ///< collision margin, scene units
    float impulse = 0.0f;         ///< start impulse factor
    bool hideCorrupted = false;   ///< hide meshes that fail to build
    float dampingLinear = 0.0f;   ///< Bullet linear damping
    float dampingAngular = 0.0f;  ///< Bullet angular damping
    int32_t deactivationTime = 0; ///< milliseconds
    float sleepingLinear = 0.0f;  ///< linear sleeping threshold
    float sleepingAngular = 0.0f; ///< angular sleeping threshold
    bool valid = false;           ///< false until the record is first filled
};

/// A material preset of the "Material Preset" combo box.
struct QX_Material_Preset {
    float density;
    float friction;
    float restitution;
    float solidity; ///< "Separate Impulse" (label "Solidity :")
};
/// Number of material presets (0 "Heavy Metal" .. 9 "Wood").
inline constexpr int QX_MATERIAL_PRESET_COUNT = 10;
/// The preset at `index` (0..9), or null for any other index.
const QX_Material_Preset* GetMaterialPreset(int index);

/// Key 4 of the object core (how many groups the object's elements are split into): one group per
/// element (2147483647) when "Separate" is off, one group for "One Object" (fraction type 2),
/// otherwise "Amount".
int32_t QX_RigidGroupCount(bool separate, int fractionType, int amount);

/// The rigid modifier's class descriptor; it owns the block description "nodeParameters".
class QX_RIGID_MOD_ClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL loading = FALSE) override;
    const MCHAR* ClassName() override { return _T("Quarix Rigid"); }
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override { return QX_RIGID_MOD_CLASS_ID; }
    const MCHAR* Category() override { return _T("MAX ADDITIONAL"); }
    const MCHAR* InternalName() override { return _T("Quarix_Rigid_Mod"); }
    HINSTANCE HInstance() override;
};

/// The module's single rigid-modifier descriptor (with its block description registered).
QX_RIGID_MOD_ClassDesc* GetQXRigidModDesc();

/// The rigid modifier. References: 0 the parameter block, 1 the continuity gizmo controller.
///
/// Core lifetime: the modifier owns its object core through a shared pointer. Whoever steps the
/// core in a Bullet world (the world object during a simulation call) holds a ShareCore() copy
/// for the duration of the call, so deleting the modifier (its node) in the middle of a run never
/// frees a core whose bodies a Bullet world still holds; the destructor cuts the core loose from
/// the modifier (no API, no fragment operation), so a core that outlives it asks no dead object.
class QX_RIGID_MOD : public Modifier, public Quarix::QX_BT_MeshController_API_Interface {
public:
    /// Builds the gizmo controller, the object core and the automatic parameter block.
    QX_RIGID_MOD();
    ~QX_RIGID_MOD() override;

    // --- identity and stack -------------------------------------------------------------------
    Class_ID ClassID() override { return QX_RIGID_MOD_CLASS_ID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    MSTR GetObjectName() override { return _T("Quarix Rigid"); }
    ChannelMask ChannelsUsed() override { return 0x9F; }
    ChannelMask ChannelsChanged() override { return 0x9F; }
    Class_ID InputType() override { return defObjectClassID; }
    /// Hands the incoming mesh to the core and writes the simulated mesh for t back; the result
    /// holds for the single instant [t, t].
    void ModifyObject(TimeValue t, ModContext& mc, ObjectState* os, INode* node) override;

    // --- references, sub-animatables, parameter blocks ------------------------------------------
    int NumRefs() override { return 2; }
    RefTargetHandle GetReference(int i) override;
    void SetReference(int i, RefTargetHandle rtarg) override;
    /// Every change marks the core changed (quiet simulation keeps its output until then).
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;
    /// A new modifier with a fresh, empty core; both references cloned, no simulation data.
    ReferenceTarget* Clone(RemapDir& remap) override;
    int NumSubs() override { return 2; }
    Animatable* SubAnim(int i) override;
    MSTR SubAnimName(int i, bool localized = true) override;
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? refTarg_ParamBlock : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override {
        return id == 0 ? refTarg_ParamBlock : nullptr;
    }
    using Modifier::GetInterface;
    /// I_QX_BODY_PLAYBACK: the recorded bodies one by one (an IQXBodyPlayback the modifier owns);
    /// I_QX_BAKE: the "Bake" button's work (an IQXBake the modifier owns); other numbers as for
    /// any modifier.
    void* GetInterface(ULONG id) override;

    // --- persistence ----------------------------------------------------------------------------
    /// Writes the object core's simulation results (the parameter block and the gizmo controller
    /// are references, stored by the host).
    IOResult Save(ISave* isave) override;
    /// Reads what Save wrote; damaged results are refused and the object plays as never
    /// simulated, the rest of the scene still loads.
    IOResult Load(ILoad* iload) override;
    /// Why the last Load refused the stored results (what and where); empty when it took them.
    const std::string& LoadRefusal() const { return m_loadRefusal; }

    // --- editing and the continuity gizmo -------------------------------------------------------
    /// Opens the five rollouts with their procedures (QX_RIGID_MOD_Rollouts.cpp) and tells the
    /// dependents the modifier is being edited.
    void BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev) override;
    /// Closes the rollouts and ends the edit.
    void EndEditParams(IObjParam* ip, ULONG flags, Animatable* next) override;
    /// Whether the modifier's rollouts are open (between BeginEditParams and EndEditParams).
    bool IsBeingEdited() const { return m_beingEdited; }
    /// Rollout procedures holding this modifier: +1 when one is made, -1 when it goes.
    void CountRolloutProcedure(int delta) { m_rolloutProcedures += delta; }
    int Display(TimeValue t, INode* inode, ViewExp* vpt, int flags, ModContext* mc) override;
    void GetWorldBoundBox(TimeValue t, INode* inode, ViewExp* vpt, Box3& box,
                          ModContext* mc) override;
    int NumSubObjTypes() override { return 1; }
    ISubObjType* GetSubObjType(int i) override;
    void ActivateSubobjSel(int level, XFormModes& modes) override;
    void GetSubObjectCenters(SubObjAxisCallback* cb, TimeValue t, INode* node,
                             ModContext* mc) override;
    void GetSubObjectTMs(SubObjAxisCallback* cb, TimeValue t, INode* node, ModContext* mc) override;
    void Move(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Point3& val,
              BOOL localOrigin = FALSE) override;
    void Rotate(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Quat& val,
                BOOL localOrigin = FALSE) override;
    void Scale(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Point3& val,
               BOOL localOrigin = FALSE) override;

    // --- mesh controller API (the core's questions about the node) ------------------------------
    void GetNodeTransform(glm::mat4& out, float frame, float scale) override;
    float GetGizmoBounds(float frame, float scale, glm::vec3& min, glm::vec3& max) override;
    bool HasNodeMoved(float scale) override;

    // --- operations offered to the world, the driver and the application ------------------------
    /// Writes the parameter values at t into the core's settings; a key is marked changed only
    /// when its value differs.
    void PushSettingsToCore(TimeValue t);
    /// Shows the effective advanced values (the world's, or the object's own while "override" is
    /// on) in the parameter block.
    void SyncAdvancedSettings();
    /// Sets "Explode End" from the number of recorded frames (exact: start + span; otherwise the
    /// end only grows).
    void UpdatePlaybackEnd(bool exact);
    /// Makes the host evaluate the modifier and its object again.
    void ForceReevaluation();
    /// The first scene node that references the modifier, or null.
    INode* GetModifierNode();
    /// Writes a material preset's four values at t (each only when it differs); false for an
    /// index outside 0..9.
    bool ApplyMaterialPreset(int preset, TimeValue t);

    /// "Bake" of the Animation rollout: the pending records of a loaded, not yet rebuilt
    /// simulation, else the live bodies, become new animated nodes appended to `made`; then, with
    /// "ExplodeDel" on and at least one node made, the new nodes are selected and the modifier's
    /// node is deleted in one undo record "Delete After Explode". The modifier may be gone when
    /// this returns true (its node deleted): callers use nothing of it afterwards. `made` and
    /// `report` may be null. Returns true when the source node was deleted.
    bool Bake(Tab<INode*>* made = nullptr, QX_Bake_Report* report = nullptr);
    /// The "Capture" button's text: "Captured: N faces", or "Capture<NONE>" with no captured mesh.
    std::wstring CaptureText() const;
    /// "Capture" pressed in (the core's input mesh becomes its captured mesh) or out (the captured
    /// mesh is emptied). Applying the state already applied does nothing.
    void SetCapture(bool on) { ApplyCapture(on); }

    /// The world's advanced values (written by the world object).
    void SetWorldSettings(const QX_RIGID_MOD_AdvancedSettings& settings) {
        m_worldSettings = settings;
    }
    const QX_RIGID_MOD_AdvancedSettings& WorldSettings() const { return m_worldSettings; }
    /// The object's own advanced values, captured while "override" stays on.
    const QX_RIGID_MOD_AdvancedSettings& OverrideSettings() const { return m_overrideSettings; }

    /// The object core (never null during the modifier's life).
    Quarix::QX_BT_MeshController& GetCore() { return *m_core; }
    /// A shared hold on the object core: keep it while a Bullet world holds the core's bodies.
    std::shared_ptr<Quarix::QX_BT_MeshController> ShareCore() { return m_core; }

    /// The continuity gizmo's controller (reference 1; may be null after a failed load).
    Control* GizmoController() const { return m_gizmo; }
    /// Current sub-object level: 0 object, 1 continuity gizmo.
    int SubObjectLevel() const { return m_subObjectLevel; }
    /// The gizmo box as last rebuilt for display (in the gizmo controller's space).
    const Mesh& GizmoMesh() const { return m_gizmoMesh; }

    /// The rigid modifier on an object's stack (the first one found walking down through nested
    /// derived objects, top first), or null.
    static QX_RIGID_MOD* FindRigidModifier(Object* object);
    /// The rigid modifier on a node's object, or null (null node: null).
    static QX_RIGID_MOD* FindRigidModifier(INode* node);
    /// Puts a new rigid modifier on a node's object unless it has one. False for a node without
    /// an object or carrying the world object; true when the node has a rigid modifier afterwards.
    static bool AttachRigidModifier(INode* node);

    /// Reference 0, the parameter block "nodeParameters".
    IParamBlock2* refTarg_ParamBlock = nullptr;

private:
    void ApplyLegacySettings(IParamBlock2& pb);
    void CaptureOverrideSettings(IParamBlock2& pb);
    void InstallFragmentOperation();
    void ApplyCapture(bool on);
    void RebuildGizmoMesh(TimeValue t);
    Matrix3 GizmoValue(TimeValue t);
    Matrix3 GizmoWorldTM(TimeValue t, INode* node, ModContext* mc);

    Mesh m_gizmoMesh;
    Control* m_gizmo = nullptr;
    bool m_previousOverride = false;
    bool m_beingEdited = false;
    int m_rolloutProcedures = 0;
    int m_captureState = -1; // "Capture" as last applied to the core: -1 none yet, 0 off, 1 on
    QX_RIGID_MOD_AdvancedSettings m_worldSettings;
    QX_RIGID_MOD_AdvancedSettings m_overrideSettings;
    std::shared_ptr<Quarix::QX_BT_MeshController> m_core;
    int32_t m_subObjectLevel = 0;
    std::string m_loadRefusal;
    std::unique_ptr<QX_Body_Playback> m_playback;
    std::unique_ptr<QX_Bake_Adapter> m_bake;
};
