// The rigid modifier: construction, references, evaluation (mesh hand-over to the object core and
// back), the advanced-settings copies and the operations the world and driver call.

#include "modifier/QX_RIGID_MOD.h"
#include "modifier/QX_Param_Write.h"

#include <algorithm>
#include <cassert>

#include "host/Interface.h"
#include "modifier/QX_Bake_Adapter.h"
#include "modifier/QX_Body_Playback.h"
#include "modifier/QX_Mesh_Convert.h"
#include "modifier/QX_RIGID_MOD_Bake.h"
#include "modifier/QX_RIGID_MOD_Fragments.h"
#include "modifier/persist/QX_Legacy_Conversion.h"
#include "plugin/QX_Resources.h"

namespace P = QX_RigidParam;
namespace K = Quarix::ObjectKey;

namespace {

// Writes an object key without marking it changed; a change mark already pending stays.
void SetIntUnmarked(Quarix::QX_BT_Int_Settings& table, const Quarix::QX_BT_Int_Key& key,
                    int32_t value) {
    if (table.changed(key))
        table.set(key, value);
    else
        table.setQuiet(key, value);
}

TimeValue Now() {
    return GetCOREInterface()->GetTime();
}

} // namespace

// --- construction -------------------------------------------------------------------------------

QX_RIGID_MOD::QX_RIGID_MOD() {
    m_core = std::make_shared<Quarix::QX_BT_MeshController>(this);
    m_playback = std::make_unique<QX_Body_Playback>(*this);
    m_bake = std::make_unique<QX_Bake_Adapter>(*this);
    InstallFragmentOperation();
    ReplaceReference(1, NewDefaultMatrix3Controller());
    GetQXRigidModDesc()->MakeAutoParamBlocks(this);
    assert(refTarg_ParamBlock && "refTarg_ParamBlock");
}

QX_RIGID_MOD::~QX_RIGID_MOD() {
    // Freed with its rollouts open (its node deleted by "Bake", then the undo record dropped):
    // the procedures holding it close first.
    if (m_rolloutProcedures > 0)
        GetCOREInterface()->GetRollouts().CloseFor(this);
    // The core may outlive this modifier while a simulation call still holds it; from now on it
    // must not ask the modifier anything.
    m_core->api = nullptr;
    m_core->fragmentOperation = nullptr;
}

// The one place where the modifier gives its object core the means to cut fragments.
void QX_RIGID_MOD::InstallFragmentOperation() {
    m_core->fragmentOperation = MakeFragmentOperation();
}

void QX_RIGID_MOD::GetClassName(MSTR& s, bool) const {
    s = _T("Quarix Rigid");
}

// --- references ---------------------------------------------------------------------------------

RefTargetHandle QX_RIGID_MOD::GetReference(int i) {
    if (i == 0)
        return refTarg_ParamBlock;
    if (i == 1)
        return m_gizmo;
    return nullptr;
}

void QX_RIGID_MOD::SetReference(int i, RefTargetHandle rtarg) {
    if (i == 0) {
        refTarg_ParamBlock = static_cast<IParamBlock2*>(rtarg);
        if (refTarg_ParamBlock)
            refTarg_ParamBlock->SetOwner(this);
    } else if (i == 1) {
        m_gizmo = static_cast<Control*>(rtarg);
    }
}

RefResult QX_RIGID_MOD::NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&,
                                         RefMessage message, BOOL) {
    m_core->changedMark = 1;
    if (message == REFMSG_CHANGE && hTarget == refTarg_ParamBlock && refTarg_ParamBlock &&
        refTarg_ParamBlock->LastNotifyParamID() == P::Capture)
        ApplyCapture(refTarg_ParamBlock->GetInt(P::Capture, 0) != 0);
    return REF_SUCCEED;
}

// The block reports the id changed last, so later notifications of other kinds may still name
// "Capture": only a state different from the one applied last copies or empties the mesh.
void QX_RIGID_MOD::ApplyCapture(bool on) {
    const int state = on ? 1 : 0;
    if (state == m_captureState)
        return;
    m_captureState = state;
    m_core->captureMesh(on);
}

std::wstring QX_RIGID_MOD::CaptureText() const {
    return CaptureButtonText(*m_core);
}

ReferenceTarget* QX_RIGID_MOD::Clone(RemapDir& remap) {
    auto* copy = new QX_RIGID_MOD();
    copy->ReplaceReference(0, remap.CloneRef(refTarg_ParamBlock));
    copy->ReplaceReference(1, remap.CloneRef(m_gizmo));
    BaseClone(this, copy, remap);
    return copy;
}

Animatable* QX_RIGID_MOD::SubAnim(int i) {
    return GetReference(i);
}

MSTR QX_RIGID_MOD::SubAnimName(int i, bool) {
    if (i == 0)
        return _T("Quarix Rigid Node Params");
    if (i == 1) {
        const MCHAR* name = QX_GetString(48);
        return name ? name : _T("Continuity");
    }
    return {};
}

void* QX_RIGID_MOD::GetInterface(ULONG id) {
    if (id == I_QX_BODY_PLAYBACK)
        return static_cast<IQXBodyPlayback*>(m_playback.get());
    if (id == I_QX_BAKE)
        return static_cast<IQXBake*>(m_bake.get());
    return Modifier::GetInterface(id);
}

// --- evaluation ---------------------------------------------------------------------------------

void QX_RIGID_MOD::ApplyLegacySettings(IParamBlock2& pb) {
    Quarix::QX_BT_Legacy_Data& legacy = m_core->legacy;
    if (!legacy.settingsPending)
        return;
    legacy.settingsPending = false;
    const Quarix::QX_Legacy_Settings values = Quarix::DecodeLegacySettings(legacy.settingsRecord);
    if (values.rigidType)
        pb.SetValue(P::RigidType, 0, *values.rigidType);
    if (values.meshType)
        pb.SetValue(P::MeshType, 0, *values.meshType);
    if (values.fractionType)
        pb.SetValue(P::FractionType, 0, *values.fractionType);
}

void QX_RIGID_MOD::CaptureOverrideSettings(IParamBlock2& pb) {
    QX_RIGID_MOD_AdvancedSettings& s = m_overrideSettings;
    s.solidity = 1.0f;
    s.margin = pb.GetFloat(P::Margin, 0);
    s.impulse = pb.GetFloat(P::StartImpulse, 0);
    s.hideCorrupted = pb.GetInt(P::HideCorrupted, 0) != 0;
    s.dampingLinear = pb.GetFloat(P::DampingLinear, 0);
    s.dampingAngular = pb.GetFloat(P::DampingAngular, 0);
    s.deactivationTime = pb.GetInt(P::DeactivationTime, 0);
    s.sleepingLinear = pb.GetFloat(P::SleepingLinear, 0);
    s.sleepingAngular = pb.GetFloat(P::SleepingAngular, 0);
    s.valid = true;
}

void QX_RIGID_MOD::SyncAdvancedSettings() {
    if (!refTarg_ParamBlock)
        return;
    IParamBlock2& pb = *refTarg_ParamBlock;
    const QX_RIGID_MOD_AdvancedSettings& s =
        pb.GetInt(P::Override, 0) ? m_overrideSettings : m_worldSettings;
    if (!s.valid)
        return;
    const TimeValue t = Now();
    SetFloatIfDifferent(pb, P::Margin, t, s.margin);
    SetFloatIfDifferent(pb, P::StartImpulse, t, s.impulse);
    SetIntIfDifferent(pb, P::HideCorrupted, t, s.hideCorrupted ? 1 : 0);
    SetFloatIfDifferent(pb, P::DampingLinear, t, s.dampingLinear);
    SetFloatIfDifferent(pb, P::DampingAngular, t, s.dampingAngular);
    SetIntIfDifferent(pb, P::DeactivationTime, t, s.deactivationTime);
    SetFloatIfDifferent(pb, P::SleepingLinear, t, s.sleepingLinear);
    SetFloatIfDifferent(pb, P::SleepingAngular, t, s.sleepingAngular);
}

namespace {

// Runs the core on `input` (exported into the core's input mesh) and writes its output for time
// t into `output`.
void EvaluateThroughCore(Quarix::QX_BT_MeshController& core, const Mesh& input, Mesh& output,
                         TimeValue t) {
    QX_Mesh_Convert::ExportMesh(input, core.inputMesh);
    core.checkInputMesh();
    core.evaluateOutput(static_cast<float>(t) / static_cast<float>(GetTicksPerFrame()));
    QX_Mesh_Convert::ImportMesh(core.outputMesh, output);
}

} // namespace

void QX_RIGID_MOD::ModifyObject(TimeValue t, ModContext&, ObjectState* os, INode*) {
    IParamBlock2* pb = refTarg_ParamBlock;
    if (!pb || !os || !os->obj)
        return;
    ApplyLegacySettings(*pb);
    SetIntUnmarked(m_core->intSettings, K::ExplodeStart, pb->GetInt(P::ExplodeStart, t));
    SetIntUnmarked(m_core->intSettings, K::ExplodeEnd, pb->GetInt(P::ExplodeEnd, t));
    const bool overrideOn = pb->GetInt(P::Override, 0) != 0;
    if (overrideOn && m_previousOverride)
        CaptureOverrideSettings(*pb);
    m_previousOverride = overrideOn;
    SyncAdvancedSettings();

    Object* obj = os->obj;
    if (!obj->CanConvertToType(triObjectClassID))
        return;
    if (obj->IsSubClassOf(triObjectClassID)) {
        Mesh& mesh = static_cast<TriObject*>(obj)->GetMesh();
        EvaluateThroughCore(*m_core, mesh, mesh, t);
    } else if (obj->IsSubClassOf(polyObjectClassID)) {
        MNMesh& poly = static_cast<PolyObject*>(obj)->GetMesh();
        Mesh tri;
        poly.OutToTri(tri);
        EvaluateThroughCore(*m_core, tri, tri, t);
        poly.Clear();
        poly.AddTri(tri);
        poly.FillInMesh();
    } else {
        // Any other object that can become a triangle mesh is replaced by its triangle form
        // carrying the simulated mesh; the pipeline frees the object it replaces.
        Object* converted = obj->ConvertToType(t, triObjectClassID);
        if (!converted || !converted->IsSubClassOf(triObjectClassID)) {
            if (converted && converted != obj)
                converted->DeleteThis();
            return;
        }
        Mesh& mesh = static_cast<TriObject*>(converted)->GetMesh();
        EvaluateThroughCore(*m_core, mesh, mesh, t);
        os->obj = obj = converted;
    }
    obj->UpdateValidity(GEOM_CHAN_NUM, Interval(t, t));
    obj->UpdateValidity(TOPO_CHAN_NUM, Interval(t, t));
}

// --- operations for the world and the driver ----------------------------------------------------

bool QX_RIGID_MOD::Bake(Tab<INode*>* made, QX_Bake_Report* report) {
    INode* source = GetModifierNode();
    Tab<INode*> local;
    Tab<INode*>& out = made ? *made : local;
    const int before = out.Count();
    // A loaded simulation not rebuilt yet bakes from its stored records.
    const bool deleteSource = m_core->pending.empty() ? BakeToNodes(*this, out, report)
                                                      : BakeToNodesFromRecords(*this, out, report);
    Tab<INode*> fresh;
    for (int i = before; i < out.Count(); ++i)
        fresh.Append(1, &out[i]);
    // Deleting the source may delete this modifier: nothing of it is used from here on.
    return DeleteAfterExplode(source, fresh, deleteSource);
}

void QX_RIGID_MOD::UpdatePlaybackEnd(bool exact) {
    if (!refTarg_ParamBlock)
        return;
    IParamBlock2& pb = *refTarg_ParamBlock;
    const double n = static_cast<double>(m_core->meshHistory.size());
    const double span = std::max(1.0, n - 1.0);
    const double start = pb.GetInt(P::ExplodeStart, 0);
    const double end = pb.GetInt(P::ExplodeEnd, 0);
    const double newEnd = exact ? start + span : std::max(start + span, end);
    pb.SetValue(P::ExplodeEnd, Now(), static_cast<int>(newEnd));
}

void QX_RIGID_MOD::ForceReevaluation() {
    if (!refTarg_ParamBlock)
        return;
    const TimeValue t = Now();
    const int v = refTarg_ParamBlock->GetInt(P::ForceUpdate, t);
    refTarg_ParamBlock->SetValue(P::ForceUpdate, t, v + 1);
    refTarg_ParamBlock->SetValue(P::ForceUpdate, t, v);
}

INode* QX_RIGID_MOD::GetModifierNode() {
    ULONG handle = 0;
    NotifyDependents(FOREVER, reinterpret_cast<PartID>(&handle), REFMSG_GET_NODE_HANDLE, NOTIFY_ALL,
                     TRUE);
    return handle ? GetCOREInterface()->GetINodeByHandle(handle) : nullptr;
}

// --- finding and attaching ----------------------------------------------------------------------

QX_RIGID_MOD* QX_RIGID_MOD::FindRigidModifier(Object* object) {
    while (object && object->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* derived = static_cast<IDerivedObject*>(object);
        for (int i = 0; i < derived->NumModifiers(); ++i) {
            Modifier* mod = derived->GetModifier(i);
            if (mod && mod->ClassID() == QX_RIGID_MOD_CLASS_ID)
                return static_cast<QX_RIGID_MOD*>(mod);
        }
        object = derived->GetObjRef();
    }
    return nullptr;
}

QX_RIGID_MOD* QX_RIGID_MOD::FindRigidModifier(INode* node) {
    return node ? FindRigidModifier(node->GetObjectRef()) : nullptr;
}

bool QX_RIGID_MOD::AttachRigidModifier(INode* node) {
    Object* object = node ? node->GetObjectRef() : nullptr;
    if (!object)
        return false;
    if (FindRigidModifier(object))
        return true;
    // The world object never simulates itself, not even beneath modifiers of its own.
    Object* base = object;
    while (base && base->SuperClassID() == GEN_DERIVOB_CLASS_ID)
        base = static_cast<IDerivedObject*>(base)->GetObjRef();
    if (!base || base->ClassID() == QX_BULLET_OBJ_CLASS_ID)
        return false;
    auto* mod = static_cast<Modifier*>(static_cast<Animatable*>(
        GetCOREInterface()->CreateInstance(OSM_CLASS_ID, QX_RIGID_MOD_CLASS_ID)));
    if (!mod)
        return false;
    auto* mc = new ModContext(new Matrix3(), nullptr, nullptr);
    if (object->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        static_cast<IDerivedObject*>(object)->AddModifier(mod, mc);
        return true;
    }
    IDerivedObject* derived = CreateDerivedObject();
    object->TransferReferences(derived);
    derived->ReferenceObject(object);
    derived->AddModifier(mod, mc);
    return true;
}
