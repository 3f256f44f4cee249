#pragma once
// The world object: the scene object an artist creates to get a simulation. It owns the world
// parameter block (reference 0), the gravity gizmo's transform controller (reference 1) and the
// world core with its settings store, and it answers the core's questions about force and support
// nodes. Its only geometry is a viewport icon.

#include "core/QX_BT_World.h"
#include "host/CommandModes.h"
#include "host/Control.h"
#include "host/IQXWorldControl.h"
#include "host/ObjectDisplay.h"
#include "host/Viewport.h"
#include "host/Win32.h"

#include <memory>
#include <string>

namespace Quarix {

/// Scene-file chunk ids of the world object.
constexpr USHORT kWorldVersionChunk = 0;    ///< float file version
constexpr USHORT kWorldBlobLengthChunk = 1; ///< uint32 length of the settings blob
constexpr USHORT kWorldBlobChunk = 2;       ///< the settings blob
/// The file version the world writes; loading needs at least this to restore the settings.
constexpr float kWorldFileVersion = 2.3f;

/// References of the world object.
constexpr int kWorldGizmoRef = 1;

class QX_BULLET_OBJ : public SimpleObject2,
                      public MaxSDK::Graphics::IObjectDisplay2,
                      public QX_BT_World_API_Interface,
                      public IQXWorldControl {
public:
    /// A world with the parameter defaults, a gizmo at the identity and a fresh world core that
    /// points at this object for forces and support boxes.
    QX_BULLET_OBJ();
    ~QX_BULLET_OBJ() override;

    // --- identity -------------------------------------------------------------------------
    Class_ID ClassID() override;
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    BaseInterface* GetInterface(Interface_ID id) override;
    /// Answers I_QX_WORLD_CONTROL with this world's start requests (QX_World_Control.cpp).
    void* GetInterface(ULONG id) override;

    // --- start requests without the rollout (QX_World_Control.cpp) ------------------------
    /// The driver's start request for this world; request 3 (Relax) resets the results first,
    /// as the "Relax" button does. False outside 0..4.
    bool StartSimulation(int request) override;
    /// Stops the driver when it drives this world.
    void StopSimulation() override;
    /// True while the driver's timer runs for this world.
    bool IsRunning() override;
    /// The driver's frame counter.
    int CurrentFrame() override;

    // --- references -----------------------------------------------------------------------
    int NumRefs() override { return 2; }
    RefTargetHandle GetReference(int i) override;
    void SetReference(int i, RefTargetHandle rtarg) override;
    bool AcceptsReference(int i, ReferenceTarget* target) override;
    /// Keeps the frame parameters consistent after a change and pushes the world's advanced
    /// values into every simulated object; always answers success.
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;
    int NumSubs() override { return 1; }
    Animatable* SubAnim(int i) override;
    MSTR SubAnimName(int i, bool localized = true) override;
    ReferenceTarget* Clone(RemapDir& remap) override;

    // --- persistence ----------------------------------------------------------------------
    /// Writes the version, the blob length and the world core's settings blob.
    IOResult Save(ISave* isave) override;
    /// Reads the three chunks; restores the settings store when the version is at least 2.3 and
    /// the blob is well formed. A malformed blob is refused (LastLoadMessage says which chunk
    /// and offset) and the store keeps its defaults; the load itself goes on.
    IOResult Load(ILoad* iload) override;
    /// Why the last Load refused the settings blob; empty when it did not.
    const std::string& LastLoadMessage() const { return loadMessage_; }

    // --- geometry and viewport ------------------------------------------------------------
    /// The world renders nothing: its mesh in the pipeline is empty.
    void BuildMesh(TimeValue t) override;
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE) override;
    void GetWorldBoundBox(TimeValue t, INode* inode, ViewExp* vpt, Box3& box) override;
    void GetLocalBoundBox(TimeValue t, INode* inode, ViewExp* vpt, Box3& box) override;
    int Display(TimeValue t, INode* inode, ViewExp* vpt, int flags) override;
    bool PrepareDisplay(MaxSDK::Graphics::UpdateDisplayContext& ctx) override;
    int HitTest(TimeValue t, INode* inode, int type, int crossing, int flags, IPoint2* p,
                ViewExp* vpt) override;
    void Snap(TimeValue t, INode* inode, SnapInfo* snap, IPoint2* p, ViewExp* vpt) override;
    CreateMouseCallBack* GetCreateMouseCallBack() override;
    /// Rebuilds the icon mesh for the current host time and returns it.
    const Mesh& RebuildIcon();
    /// The icon as last rebuilt.
    const Mesh& IconMesh() const { return iconMesh_; }
    /// The wire colour the legacy display last saw (components 0..1).
    const Point3& WireColor() const { return wireColor_; }

    // --- the "Gravity" sub-object level ---------------------------------------------------
    int NumSubObjTypes() override { return 1; }
    ISubObjType* GetSubObjType(int i) override;
    void BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev) override;
    void EndEditParams(IObjParam* ip, ULONG flags, Animatable* next) override;
    void ActivateSubobjSel(int level, XFormModes& modes) override;
    void GetSubObjectCenters(SubObjAxisCallback* cb, TimeValue t, INode* node,
                             ModContext* mc) override;
    void GetSubObjectTMs(SubObjAxisCallback* cb, TimeValue t, INode* node, ModContext* mc) override;
    /// Turns the gravity gizmo; the only transform the level accepts.
    void Rotate(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Quat& val,
                BOOL localOrigin = FALSE) override;
    /// The gizmo transform reported to the transform tools at t.
    Matrix3 GizmoTransform(TimeValue t, INode* node, ModContext* mc) const;
    /// The gizmo controller's value at t (identity without a controller).
    Matrix3 GizmoValue(TimeValue t) const;
    Control* GizmoController() const { return gizmo_; }

    // --- the core's questions -------------------------------------------------------------
    void ComputeForces(float frameOffset, const glm::vec3& position, int& forceIndex,
                       glm::vec3& fieldForce, glm::vec3& blastForce, glm::vec3& blastSpin) override;
    std::vector<QX_BT_Box> GetSupportBoxes(float scale) override;

    /// The world core (settings store and simulation).
    QX_BT_World& Core() { return *core_; }
    /// The parameter block "params" (reference 0); null only while the object is assembled.
    IParamBlock2* Params() const { return pblock2; }
    /// The scene node of this world (host node-handle query), or null.
    INode* FindNode();
    /// The main rollout's window as last seen by its dialog procedure (null: never opened).
    HWND mainRolloutWindow = nullptr;
    /// Rollout procedures holding this world: +1 when one is made, -1 when it goes.
    void CountRolloutProcedure(int delta) { rolloutProcedures_ += delta; }

private:
    /// Pushes the world's advanced values into every simulated object's world copy.
    void PushWorldDefaults();

    Point3 wireColor_;
    Mesh iconMesh_;
    Control* gizmo_ = nullptr;
    std::unique_ptr<QX_BT_World> core_;
    std::string loadMessage_;
    int rolloutProcedures_ = 0;
    std::unique_ptr<MoveModBoxCMode> moveMode_;
    std::unique_ptr<RotateModBoxCMode> rotateMode_;
    std::unique_ptr<UScaleModBoxCMode> uscaleMode_;
    std::unique_ptr<NUScaleModBoxCMode> nuscaleMode_;
    std::unique_ptr<SquashModBoxCMode> squashMode_;
};

} // namespace Quarix
