#include "host/INode.h"

#include "host/Hold.h"
#include "host/Interface.h"
#include "host/Modifier.h"

#include <algorithm>

namespace {

constexpr USHORT kNameChunk = 0x0600;
constexpr USHORT kHandleChunk = 0x0601;
constexpr USHORT kWireColorChunk = 0x0602;
constexpr USHORT kFlagsChunk = 0x0603;
constexpr USHORT kOffsetChunk = 0x0604;
constexpr USHORT kParentChunk = 0x0605;

constexpr BYTE kFlagHidden = 1;
constexpr BYTE kFlagFrozen = 2;
constexpr BYTE kFlagSelected = 4;

IOResult WritePoint(ISave& isave, const Point3& p) {
    IOResult res = WriteValue(isave, p.x);
    res = res == IO_OK ? WriteValue(isave, p.y) : res;
    return res == IO_OK ? WriteValue(isave, p.z) : res;
}

IOResult ReadPoint(ILoad& iload, Point3& p) {
    IOResult res = ReadValue(iload, p.x);
    res = res == IO_OK ? ReadValue(iload, p.y) : res;
    return res == IO_OK ? ReadValue(iload, p.z) : res;
}

} // namespace

INode::INode() {
    SetAutoDelete(false);
    ReplaceReference(0, NewDefaultMatrix3Controller());
}

INode::~INode() {
    UnlinkParent();
    for (INode* child : m_children)
        child->m_parent = nullptr;
}

void INode::GetClassName(MSTR& s, bool) const {
    s = _T("Node");
}

void INode::SetName(const MCHAR* name) {
    m_name = name ? name : _T("");
    NotifyDependents(FOREVER, PART_ALL, REFMSG_NODE_NAMECHANGE);
}

INode* INode::GetChildNode(int i) const {
    return i >= 0 && i < NumberOfChildren() ? m_children[static_cast<size_t>(i)] : nullptr;
}

void INode::LinkParent(INode* parent) {
    UnlinkParent();
    m_parent = parent;
    if (parent)
        parent->m_children.push_back(this);
}

void INode::UnlinkParent() {
    if (!m_parent)
        return;
    auto& siblings = m_parent->m_children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    m_parent = nullptr;
}

void INode::AttachChild(INode* child, int keepTM) {
    if (!child || child == this || child->m_isRoot)
        return;
    // Refuse cycles: this node must not be below the child.
    for (INode* up = this; up; up = up->m_parent) {
        if (up == child)
            return;
    }
    TimeValue t = GetCOREInterface()->GetTime();
    Matrix3 world = child->GetNodeTM(t);
    child->LinkParent(this);
    if (keepTM) {
        SuspendAnimate();
        child->SetNodeTM(t, world);
        ResumeAnimate();
    }
    child->NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}

void INode::Detach(TimeValue t, int keepTM) {
    if (m_isRoot)
        return;
    Matrix3 world = GetNodeTM(t);
    INode* root = GetCOREInterface()->GetRootNode();
    LinkParent(root);
    if (keepTM) {
        SuspendAnimate();
        SetNodeTM(t, world);
        ResumeAnimate();
    }
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}

namespace {

/// A node's object before a change (a modifier stack put under it, say). Both objects are held,
/// so the one not in use lives on while the record does.
class ObjectRefRestore final : public RestoreObj {
public:
    ObjectRefRestore(INode* node, Object* before) {
        m_refs.Add(node);
        m_refs.Add(before);
    }
    void Restore(int) override { Swap(); }
    void Redo() override { Swap(); }

private:
    void Swap() {
        auto* node = static_cast<INode*>(m_refs.Get(0));
        if (!node)
            return;
        Object* other = static_cast<Object*>(m_refs.Get(1));
        m_refs.ReplaceReference(1, node->GetObjectRef(), FALSE);
        node->SetObjectRef(other);
    }

    HeldRefs m_refs; // 0 the node, 1 the object not in use
};

} // namespace

void INode::SetObjectRef(Object* obj) {
    if (obj != m_object && theHold.Holding())
        theHold.Put(new ObjectRefRestore(this, m_object));
    ReplaceReference(1, obj);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

BOOL INode::SetTMController(Control* control) {
    if (!control || control->SuperClassID() != CTRL_MATRIX3_CLASS_ID)
        return FALSE;
    ReplaceReference(0, control);
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
    return TRUE;
}

void INode::SetVisController(Control* control) {
    ReplaceReference(2, control);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

float INode::GetVisibility(TimeValue t, Interval* valid) {
    if (!m_visControl)
        return 1.0f;
    Interval iv = FOREVER;
    float v = 1.0f;
    if (m_visControl->SuperClassID() == CTRL_FLOAT_CLASS_ID)
        m_visControl->GetValue(t, &v, iv);
    if (valid)
        *valid &= iv;
    return v;
}

Matrix3 INode::GetParentTM(TimeValue t) {
    return m_parent && !m_parent->m_isRoot ? m_parent->GetNodeTM(t) : Matrix3();
}

Matrix3 INode::GetNodeTM(TimeValue t, Interval* valid) {
    if (m_isRoot)
        return Matrix3();
    Interval iv = FOREVER;
    Matrix3 tm;
    if (m_parent && !m_parent->m_isRoot)
        tm = m_parent->GetNodeTM(t, &iv);
    if (m_tmControl)
        m_tmControl->GetValue(t, &tm, iv, CTRL_RELATIVE);
    if (valid)
        *valid &= iv;
    return tm;
}

void INode::SetNodeTM(TimeValue t, const Matrix3& tm) {
    if (m_isRoot || !m_tmControl)
        return;
    SetXFormPacket packet(tm, GetParentTM(t));
    m_tmControl->SetValue(t, &packet);
}

Matrix3 INode::OffsetTM() const {
    AffineParts parts;
    parts.t = m_offsetPos;
    parts.q = m_offsetRot;
    parts.s = m_offsetScale;
    return ComposeAffine(parts);
}

Matrix3 INode::GetObjectTM(TimeValue t, Interval* valid) {
    return OffsetTM() * GetNodeTM(t, valid);
}

Matrix3 INode::GetObjTMBeforeWSM(TimeValue t, Interval* valid) {
    return GetObjectTM(t, valid);
}

Matrix3 INode::GetObjTMAfterWSM(TimeValue t, Interval* valid) {
    return GetObjectTM(t, valid);
}

void INode::SetObjOffsetPos(const Point3& p) {
    m_offsetPos = p;
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}

void INode::SetObjOffsetRot(const Quat& q) {
    m_offsetRot = q;
    m_offsetRot.Normalize();
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}

void INode::SetObjOffsetScale(const Point3& s) {
    m_offsetScale = s;
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}

void INode::SetWireColor(COLORREF color) {
    m_wireColor = color & 0x00FFFFFFu;
    NotifyDependents(FOREVER, PART_DISPLAY, REFMSG_CHANGE);
}

int INode::Selected() const {
    return GetCOREInterface()->IsNodeSelected(this) ? 1 : 0;
}

BOOL INode::IsHidden(DWORD, BOOL) const {
    return m_hidden ? TRUE : FALSE;
}

void INode::Hide(BOOL onOff) {
    m_hidden = onOff != FALSE;
    NotifyDependents(FOREVER, PART_DISPLAY, REFMSG_CHANGE);
}

const ObjectState& INode::EvalWorldState(TimeValue t, BOOL evalHidden) {
    m_worldState = ObjectState();
    if (!m_object || (!evalHidden && m_hidden))
        return m_worldState;
    if (m_object->SuperClassID() == GEN_DERIVOB_CLASS_ID)
        m_worldState = static_cast<IDerivedObject*>(m_object)->EvalForNode(t, this);
    else
        m_worldState = m_object->Eval(t);
    Interval tmValid = FOREVER;
    m_worldStateTM = GetObjTMAfterWSM(t, &tmValid);
    m_worldState.tm = m_worldStateTM.IsIdentity() ? nullptr : &m_worldStateTM;
    m_worldState.tmValid = tmValid;
    return m_worldState;
}

RefTargetHandle INode::GetReference(int i) {
    switch (i) {
    case 0:
        return m_tmControl;
    case 1:
        return m_object;
    case 2:
        return m_visControl;
    default:
        return nullptr;
    }
}

void INode::SetReference(int i, RefTargetHandle rtarg) {
    switch (i) {
    case 0:
        m_tmControl = static_cast<Control*>(rtarg);
        break;
    case 1:
        m_object = static_cast<Object*>(rtarg);
        m_worldState = ObjectState();
        break;
    case 2:
        m_visControl = static_cast<Control*>(rtarg);
        break;
    default:
        break;
    }
}

bool INode::AcceptsReference(int i, ReferenceTarget* target) {
    if (!target)
        return true;
    switch (i) {
    case 0:
        return dynamic_cast<Control*>(target) && target->SuperClassID() == CTRL_MATRIX3_CLASS_ID;
    case 1:
        return dynamic_cast<Object*>(target) != nullptr;
    case 2:
        return dynamic_cast<Control*>(target) && target->SuperClassID() == CTRL_FLOAT_CLASS_ID;
    default:
        return false;
    }
}

RefResult INode::NotifyRefChanged(const Interval&, RefTargetHandle, PartID& partID,
                                  RefMessage message, BOOL) {
    if (message == REFMSG_GET_NODE_HANDLE) {
        if (partID)
            *reinterpret_cast<ULONG*>(partID) = m_handle;
        return REF_STOP;
    }
    return REF_SUCCEED;
}

IOResult INode::Save(ISave* isave) {
    isave->BeginChunk(kNameChunk);
    IOResult res = isave->WriteWString(m_name);
    isave->EndChunk();
    isave->BeginChunk(kHandleChunk);
    res = res == IO_OK ? WriteValue(*isave, m_handle) : res;
    isave->EndChunk();
    isave->BeginChunk(kWireColorChunk);
    res = res == IO_OK ? WriteValue(*isave, m_wireColor) : res;
    isave->EndChunk();
    isave->BeginChunk(kFlagsChunk);
    BYTE flags = static_cast<BYTE>((m_hidden ? kFlagHidden : 0) | (m_frozen ? kFlagFrozen : 0) |
                                   (Selected() ? kFlagSelected : 0));
    res = res == IO_OK ? WriteValue(*isave, flags) : res;
    isave->EndChunk();
    isave->BeginChunk(kOffsetChunk);
    res = res == IO_OK ? WritePoint(*isave, m_offsetPos) : res;
    res = res == IO_OK ? WriteValue(*isave, m_offsetRot.x) : res;
    res = res == IO_OK ? WriteValue(*isave, m_offsetRot.y) : res;
    res = res == IO_OK ? WriteValue(*isave, m_offsetRot.z) : res;
    res = res == IO_OK ? WriteValue(*isave, m_offsetRot.w) : res;
    res = res == IO_OK ? WritePoint(*isave, m_offsetScale) : res;
    isave->EndChunk();
    isave->BeginChunk(kParentChunk);
    ULONG parent = m_parent ? m_parent->m_handle : 0;
    res = res == IO_OK ? WriteValue(*isave, parent) : res;
    isave->EndChunk();
    return res;
}

IOResult INode::Load(ILoad* iload) {
    IOResult res;
    while ((res = iload->OpenChunk()) == IO_OK) {
        switch (iload->CurChunkID()) {
        case kNameChunk:
            res = iload->ReadWString(m_name);
            break;
        case kHandleChunk:
            res = ReadValue(*iload, m_handle);
            break;
        case kWireColorChunk:
            res = ReadValue(*iload, m_wireColor);
            m_wireColor &= 0x00FFFFFFu;
            break;
        case kFlagsChunk: {
            BYTE flags = 0;
            res = ReadValue(*iload, flags);
            m_hidden = (flags & kFlagHidden) != 0;
            m_frozen = (flags & kFlagFrozen) != 0;
            m_loadedSelected = (flags & kFlagSelected) != 0;
            break;
        }
        case kOffsetChunk:
            res = ReadPoint(*iload, m_offsetPos);
            res = res == IO_OK ? ReadValue(*iload, m_offsetRot.x) : res;
            res = res == IO_OK ? ReadValue(*iload, m_offsetRot.y) : res;
            res = res == IO_OK ? ReadValue(*iload, m_offsetRot.z) : res;
            res = res == IO_OK ? ReadValue(*iload, m_offsetRot.w) : res;
            res = res == IO_OK ? ReadPoint(*iload, m_offsetScale) : res;
            m_offsetRot.Normalize();
            break;
        case kParentChunk:
            res = ReadValue(*iload, m_loadedParent);
            break;
        default:
            break;
        }
        if (res != IO_OK || iload->CloseChunk() != IO_OK)
            return IO_ERROR;
    }
    return res == IO_END ? IO_OK : IO_ERROR;
}
