// The rigid modifier's answers about its node (the mesh controller API) and the continuity gizmo
// sub-object: its box, display, centres, transforms and edits.

#include <cfloat>
#include <climits>
#include <cmath>

#include <glm/glm.hpp>

#include "host/Interface.h"
#include "modifier/QX_RIGID_MOD.h"
#include "modifier/QX_RIGID_MOD_Node.h"
#include "plugin/QX_Resources.h"

namespace P = QX_RigidParam;

namespace {

constexpr float kGizmoHalfSize = 10.0f;

// Corner i of the gizmo box: bit 0 picks +x, bit 1 +y, bit 2 +z.
Point3 GizmoCorner(int i) {
    return Point3((i & 1) ? kGizmoHalfSize : -kGizmoHalfSize,
                  (i & 2) ? kGizmoHalfSize : -kGizmoHalfSize,
                  (i & 4) ? kGizmoHalfSize : -kGizmoHalfSize);
}

constexpr int kGizmoFaces[12][3] = {{0, 2, 3}, {3, 1, 0}, {4, 5, 7}, {7, 6, 4},
                                    {0, 1, 5}, {5, 4, 0}, {1, 3, 7}, {7, 5, 1},
                                    {3, 2, 6}, {6, 7, 3}, {2, 0, 4}, {4, 6, 2}};

// Stateless command modes offered at the gizmo level; the host's own modes move the gizmo
// through Move, Rotate and Scale.
class GizmoCommandMode : public CommandMode {
public:
    explicit GizmoCommandMode(int kind) : m_kind(kind) {}
    int Class() const override { return m_kind; }

private:
    int m_kind;
};

const GizmoCommandMode kMoveMode(1), kRotateMode(2), kUScaleMode(3), kScaleMode(4), kSquashMode(5);

TimeValue Now() {
    return GetCOREInterface()->GetTime();
}

} // namespace

glm::mat4 QX_ToPhysicsMatrix(const Matrix3& m, float scale) {
    glm::mat4 out(1.0f);
    for (int c = 0; c < 4; ++c) {
        const Point3& row = m.GetRow(c);
        out[c] = glm::vec4(scale * row.x, scale * row.y, scale * row.z, c == 3 ? 1.0f : 0.0f);
    }
    return out;
}

TimeValue QX_FrameToTick(int startFrame, float frame, int ticksPerFrame) {
    const float time = static_cast<float>(ticksPerFrame) * (static_cast<float>(startFrame) + frame);
    // Truncation toward zero; times the tick type cannot hold are pinned to its ends.
    if (std::isnan(time))
        return 0;
    if (time >= static_cast<float>(INT_MAX))
        return INT_MAX;
    if (time <= static_cast<float>(INT_MIN))
        return INT_MIN;
    return static_cast<TimeValue>(time);
}

// --- mesh controller API ------------------------------------------------------------------------

void QX_RIGID_MOD::GetNodeTransform(glm::mat4& out, float frame, float scale) {
    out = glm::mat4(1.0f);
    const int start = refTarg_ParamBlock ? refTarg_ParamBlock->GetInt(P::ExplodeStart, Now()) : 0;
    const TimeValue tick = QX_FrameToTick(start, frame, GetTicksPerFrame());
    INode* node = GetModifierNode();
    if (!node)
        return;
    out = QX_ToPhysicsMatrix(node->GetObjectTM(tick), scale);
}

float QX_RIGID_MOD::GetGizmoBounds(float frame, float scale, glm::vec3& min, glm::vec3& max) {
    Matrix3 gizmo;
    if (GetModifierNode())
        gizmo = GizmoValue(Now());
    glm::mat4 node;
    QX_BT_MeshController_API_Interface& api = *this;
    api.GetNodeTransform(node, frame, scale);
    const glm::mat4 m = node * QX_ToPhysicsMatrix(gizmo, 1.0f);
    min = glm::vec3(FLT_MAX);
    max = glm::vec3(-FLT_MAX);
    for (int i = 0; i < 8; ++i) {
        const Point3 c = GizmoCorner(i);
        const glm::vec3 p = glm::vec3(m * glm::vec4(c.x, c.y, c.z, 1.0f));
        min = glm::min(min, p);
        max = glm::max(max, p);
    }
    return max.z;
}

bool QX_RIGID_MOD::HasNodeMoved(float scale) {
    const glm::mat4& stored = m_core->startTransform;
    glm::mat4 current;
    QX_BT_MeshController_API_Interface& api = *this;
    api.GetNodeTransform(current, 0.0f, scale);
    for (int i = 0; i < 4; ++i) {
        if (glm::length(stored[i] - current[i]) > FLT_EPSILON)
            return true;
    }
    return false;
}

// --- continuity gizmo ---------------------------------------------------------------------------

Matrix3 QX_RIGID_MOD::GizmoValue(TimeValue t) {
    Matrix3 value;
    if (m_gizmo) {
        Interval valid = FOREVER;
        m_gizmo->GetValue(t, &value, valid, CTRL_ABSOLUTE);
    }
    return value;
}

Matrix3 QX_RIGID_MOD::GizmoWorldTM(TimeValue t, INode* node, ModContext* mc) {
    Matrix3 tm = GizmoValue(t);
    if (mc && mc->tm)
        tm = tm * Inverse(*mc->tm);
    if (node)
        tm = tm * node->GetObjTMBeforeWSM(t);
    return tm;
}

void QX_RIGID_MOD::RebuildGizmoMesh(TimeValue t) {
    const Matrix3 tm = GizmoValue(t);
    m_gizmoMesh.setNumVerts(8);
    m_gizmoMesh.setNumFaces(12);
    for (int i = 0; i < 8; ++i)
        m_gizmoMesh.setVert(i, tm.PointTransform(GizmoCorner(i)));
    for (int f = 0; f < 12; ++f) {
        Face& face = m_gizmoMesh.faces[static_cast<size_t>(f)];
        face.setVerts(kGizmoFaces[f][0], kGizmoFaces[f][1], kGizmoFaces[f][2]);
        face.setSmGroup(2);
        face.setEdgeVisFlags(TRUE, TRUE, FALSE);
    }
    m_gizmoMesh.InvalidateGeomCache();
    m_gizmoMesh.EnableEdgeList(1);
}

int QX_RIGID_MOD::Display(TimeValue t, INode* inode, ViewExp* vpt, int, ModContext*) {
    if (m_subObjectLevel != 1 || !inode || !vpt || !vpt->IsAlive())
        return 0;
    RebuildGizmoMesh(t);
    GraphicsWindow* gw = vpt->getGW();
    gw->setTransform(inode->GetObjectTM(t));
    if (inode->Selected()) {
        gw->setColor(0, GetUIColor(COLOR_SELECTION));
    } else {
        const COLORREF wire = inode->GetWireColor();
        gw->setColor(0, GetRValue(wire) / 255.0f, GetGValue(wire) / 255.0f,
                     GetBValue(wire) / 255.0f);
    }
    gw->DrawMesh(m_gizmoMesh);
    return 0;
}

void QX_RIGID_MOD::GetWorldBoundBox(TimeValue t, INode* inode, ViewExp* vpt, Box3& box,
                                    ModContext* mc) {
    box.Init();
    if (!vpt || !vpt->IsAlive())
        return;
    const Matrix3 tm = GizmoWorldTM(t, inode, mc);
    for (int i = 0; i < 8; ++i)
        box += tm.PointTransform(GizmoCorner(i));
}

ISubObjType* QX_RIGID_MOD::GetSubObjType(int i) {
    static GenSubObjType continuity(_T("Continuity"), _T("SubObjectIcons"), 1);
    if (i != 0)
        return nullptr;
    if (const MCHAR* name = QX_GetString(48))
        continuity.SetName(name);
    return &continuity;
}

void QX_RIGID_MOD::ActivateSubobjSel(int level, XFormModes& modes) {
    m_subObjectLevel = level;
    if (level == 1) {
        modes.move = const_cast<GizmoCommandMode*>(&kMoveMode);
        modes.rotate = const_cast<GizmoCommandMode*>(&kRotateMode);
        modes.uscale = const_cast<GizmoCommandMode*>(&kUScaleMode);
        modes.scale = const_cast<GizmoCommandMode*>(&kScaleMode);
        modes.squash = const_cast<GizmoCommandMode*>(&kSquashMode);
    }
    NotifyDependents(FOREVER, PART_DISPLAY, REFMSG_CHANGE);
}

void QX_RIGID_MOD::GetSubObjectCenters(SubObjAxisCallback* cb, TimeValue t, INode* node,
                                       ModContext* mc) {
    if (cb)
        cb->Center(GizmoWorldTM(t, node, mc).GetTrans(), 0);
}

void QX_RIGID_MOD::GetSubObjectTMs(SubObjAxisCallback* cb, TimeValue t, INode* node,
                                   ModContext* mc) {
    if (cb)
        cb->TM(GizmoWorldTM(t, node, mc), 0);
}

void QX_RIGID_MOD::Move(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Point3& val, BOOL) {
    if (!m_gizmo)
        return;
    SetXFormPacket packet(val, partm, tmAxis);
    m_gizmo->SetValue(t, &packet, 1, CTRL_RELATIVE);
}

void QX_RIGID_MOD::Rotate(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Quat& val,
                          BOOL localOrigin) {
    if (!m_gizmo)
        return;
    SetXFormPacket packet(AngAxis(val), localOrigin, partm, tmAxis);
    m_gizmo->SetValue(t, &packet, 1, CTRL_RELATIVE);
}

void QX_RIGID_MOD::Scale(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Point3& val,
                         BOOL localOrigin) {
    if (!m_gizmo)
        return;
    SetXFormPacket packet(val, localOrigin, partm, tmAxis);
    m_gizmo->SetValue(t, &packet, 1, CTRL_RELATIVE);
}
