#include "world/QX_BULLET_OBJ.h"

#include "host/Interface.h"
#include "host/Modifier.h"
#include "plugin/QX_Resources.h"
#include "world/QX_BULLET_OBJ_ClassDesc.h"
#include "world/QX_BULLET_OBJ_Icon.h"
#include "world/QX_BULLET_OBJ_Params.h"
#include "world/QX_Simulation_Driver.h"
#include "world/QX_World_Forces.h"

namespace Quarix {

namespace {

constexpr DWORD kWireframeLimits = GW_WIREFRAME | GW_Z_BUFFER; // 0x200001
constexpr int kPickMargin = 4;                                 // pixels around the cursor

Point3 ColorOf(COLORREF c) {
    return {GetRValue(c) / 255.0f, GetGValue(c) / 255.0f, GetBValue(c) / 255.0f};
}

} // namespace

QX_BULLET_OBJ::QX_BULLET_OBJ() : core_(std::make_unique<QX_BT_World>()) {
    core_->api = this;
    ReplaceReference(kWorldGizmoRef, NewDefaultMatrix3Controller());
    GetQX_BULLET_OBJ_Desc()->MakeAutoParamBlocks(this);
}

QX_BULLET_OBJ::~QX_BULLET_OBJ() {
    // The driver and the pick modes must not keep a pointer to a freed world.
    ForgetWorld(this);
    // Freed with its rollouts open: the procedures holding it close first.
    if (rolloutProcedures_ > 0)
        GetCOREInterface()->GetRollouts().CloseFor(this);
    core_->api = nullptr;
}

Class_ID QX_BULLET_OBJ::ClassID() {
    return kWorldObjectClassID;
}

void QX_BULLET_OBJ::GetClassName(MSTR& s, bool) const {
    const MCHAR* name = QX_GetString(3);
    s = name ? name : _T("");
}

BaseInterface* QX_BULLET_OBJ::GetInterface(Interface_ID id) {
    if (id == MaxSDK::Graphics::IOBJECT_DISPLAY2_INTERFACE_ID)
        return static_cast<MaxSDK::Graphics::IObjectDisplay2*>(this);
    return SimpleObject2::GetInterface(id);
}

// --- references -------------------------------------------------------------------------------

RefTargetHandle QX_BULLET_OBJ::GetReference(int i) {
    if (i == kWorldParamsRef)
        return pblock2;
    return i == kWorldGizmoRef ? gizmo_ : nullptr;
}

void QX_BULLET_OBJ::SetReference(int i, RefTargetHandle rtarg) {
    if (i == kWorldParamsRef)
        pblock2 = static_cast<IParamBlock2*>(rtarg);
    else if (i == kWorldGizmoRef)
        gizmo_ = static_cast<Control*>(rtarg);
}

bool QX_BULLET_OBJ::AcceptsReference(int i, ReferenceTarget* target) {
    if (!target)
        return i == kWorldParamsRef || i == kWorldGizmoRef;
    if (i == kWorldParamsRef)
        return dynamic_cast<IParamBlock2*>(target) != nullptr;
    return i == kWorldGizmoRef && dynamic_cast<Control*>(target) != nullptr &&
           target->SuperClassID() == CTRL_MATRIX3_CLASS_ID;
}

RefResult QX_BULLET_OBJ::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&,
                                          RefMessage message, BOOL) {
    if (message == REFMSG_CHANGE) {
        InvalidateMesh();
        if (pblock2)
            ApplyWorldFrameRules(pblock2, pblock2->LastNotifyParamID());
        PushWorldDefaults();
    }
    return REF_SUCCEED;
}

Animatable* QX_BULLET_OBJ::SubAnim(int i) {
    return i == 0 ? pblock2 : nullptr;
}

MSTR QX_BULLET_OBJ::SubAnimName(int i, bool) {
    const MCHAR* name = i == 0 ? QX_GetString(26) : nullptr;
    return name ? name : _T("");
}

ReferenceTarget* QX_BULLET_OBJ::Clone(RemapDir& remap) {
    auto* copy = new QX_BULLET_OBJ();
    copy->ReplaceReference(kWorldParamsRef, remap.CloneRef(pblock2));
    copy->ReplaceReference(kWorldGizmoRef, remap.CloneRef(gizmo_));
    BaseClone(this, copy, remap);
    return copy;
}

INode* QX_BULLET_OBJ::FindNode() {
    ULONG handle = 0;
    NotifyDependents(FOREVER, reinterpret_cast<PartID>(&handle), REFMSG_GET_NODE_HANDLE);
    return handle ? GetCOREInterface()->GetINodeByHandle(handle) : nullptr;
}

// --- geometry and viewport --------------------------------------------------------------------

void QX_BULLET_OBJ::BuildMesh(TimeValue) {
    mesh.FreeAll();
    ivalid = FOREVER;
}

Matrix3 QX_BULLET_OBJ::GizmoValue(TimeValue t) const {
    Matrix3 tm;
    if (gizmo_) {
        Interval valid = FOREVER;
        gizmo_->GetValue(t, &tm, valid, CTRL_ABSOLUTE);
    }
    return tm;
}

const Mesh& QX_BULLET_OBJ::RebuildIcon() {
    const TimeValue now = GetCOREInterface()->GetTime();
    const float size = pblock2 ? pblock2->GetFloat(WorldParam::Size, now) : 0.0f;
    BuildWorldIcon(iconMesh_, size, GizmoValue(now));
    return iconMesh_;
}

void QX_BULLET_OBJ::GetDeformBBox(TimeValue, Box3& box, Matrix3* tm, BOOL) {
    RebuildIcon();
    box = iconMesh_.getBoundingBox(tm);
}

void QX_BULLET_OBJ::GetWorldBoundBox(TimeValue t, INode* inode, ViewExp*, Box3& box) {
    RebuildIcon();
    const Matrix3 tm = inode ? inode->GetObjectTM(t) : Matrix3();
    box = iconMesh_.getBoundingBox(&tm);
}

void QX_BULLET_OBJ::GetLocalBoundBox(TimeValue, INode*, ViewExp*, Box3& box) {
    RebuildIcon();
    box = iconMesh_.getBoundingBox();
}

int QX_BULLET_OBJ::Display(TimeValue t, INode* inode, ViewExp* vpt, int) {
    if (!vpt || !vpt->IsAlive() || !inode)
        return 0;
    wireColor_ = ColorOf(inode->GetWireColor());
    GraphicsWindow* gw = vpt->getGW();
    gw->setTransform(inode->GetObjectTM(t));
    const DWORD limits = gw->getRndLimits();
    gw->setRndLimits(kWireframeLimits);
    if (inode->Selected())
        gw->setColor(LINE_COLOR, GetUIColor(COLOR_SELECTION));
    else if (!inode->IsFrozen() && !inode->Dependent())
        gw->setColor(LINE_COLOR, wireColor_);
    RebuildIcon();
    iconMesh_.render(gw, gw->getMaterial(), nullptr, COMP_ALL, 1);
    gw->setRndLimits(limits);
    return 0;
}

bool QX_BULLET_OBJ::PrepareDisplay(MaxSDK::Graphics::UpdateDisplayContext& ctx) {
    // The icon is drawn as last rebuilt; the current viewports do not rebuild it.
    MaxSDK::Graphics::GenerateMeshRenderItemsContext gen;
    gen.GenerateDefaultContext(ctx);
    MaxSDK::Graphics::PrepareMeshDisplay(iconMesh_, gen);
    return true;
}

int QX_BULLET_OBJ::HitTest(TimeValue t, INode* inode, int type, int crossing, int flags, IPoint2* p,
                           ViewExp* vpt) {
    if (!vpt || !vpt->IsAlive() || !inode)
        return 0;
    HitRegion region;
    MakeHitRegion(region, type, crossing, kPickMargin, p);
    GraphicsWindow* gw = vpt->getGW();
    const DWORD limits = gw->getRndLimits();
    gw->setTransform(inode->GetObjectTM(t));
    gw->setRndLimits(kWireframeLimits);
    gw->setHitRegion(&region);
    gw->clearHitCode();
    RebuildIcon();
    const int hit = iconMesh_.select(gw, gw->getMaterial(), &region, flags & HIT_ABORTONHIT);
    gw->setRndLimits(limits);
    return hit;
}

void QX_BULLET_OBJ::Snap(TimeValue t, INode* inode, SnapInfo* snap, IPoint2* p, ViewExp* vpt) {
    if (!vpt || !vpt->IsAlive() || !inode)
        return;
    RebuildIcon();
    iconMesh_.snap(vpt->getGW(), snap, p, inode->GetObjectTM(t));
}

// --- the core's questions ---------------------------------------------------------------------

void QX_BULLET_OBJ::ComputeForces(float frameOffset, const glm::vec3& position, int& forceIndex,
                                  glm::vec3& fieldForce, glm::vec3& blastForce,
                                  glm::vec3& blastSpin) {
    const int startFrame = core_->intSettings.get(WorldKey::StartFrame);
    ComputeWorldForces(pblock2, startFrame, frameOffset, position, forceIndex, fieldForce,
                       blastForce, blastSpin);
}

std::vector<QX_BT_Box> QX_BULLET_OBJ::GetSupportBoxes(float scale) {
    return ComputeSupportBoxes(pblock2, scale);
}

} // namespace Quarix
