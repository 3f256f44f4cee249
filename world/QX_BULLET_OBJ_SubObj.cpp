// The "Gravity" sub-object level: the gravity gizmo shown to the transform tools. Only rotation
// changes it; the gizmo's direction is the gravity direction of the next simulation step.

#include "world/QX_BULLET_OBJ.h"

#include "host/INode.h"
#include "host/Modifier.h"
#include "plugin/QX_Resources.h"
#include "world/QX_BULLET_OBJ_ClassDesc.h"

namespace Quarix {

ISubObjType* QX_BULLET_OBJ::GetSubObjType(int i) {
    static GenSubObjType gravity(QX_GetString(44), _T("SubObjectIcons"), 1);
    return i == 0 ? &gravity : nullptr;
}

void QX_BULLET_OBJ::ActivateSubobjSel(int level, XFormModes& modes) {
    if (level != 1)
        return;
    modes.move = moveMode_.get();
    modes.rotate = rotateMode_.get();
    modes.scale = nuscaleMode_.get();
    modes.uscale = uscaleMode_.get();
    modes.squash = squashMode_.get();
    modes.select = nullptr;
}

Matrix3 QX_BULLET_OBJ::GizmoTransform(TimeValue t, INode* node, ModContext* mc) const {
    Matrix3 tm = GizmoValue(t);
    if (mc && mc->tm)
        tm = tm * Inverse(*mc->tm);
    if (node)
        tm = tm * node->GetObjTMBeforeWSM(t);
    return tm;
}

void QX_BULLET_OBJ::GetSubObjectCenters(SubObjAxisCallback* cb, TimeValue t, INode* node,
                                        ModContext* mc) {
    if (cb)
        cb->Center(GizmoTransform(t, node, mc).GetTrans(), 0);
}

void QX_BULLET_OBJ::GetSubObjectTMs(SubObjAxisCallback* cb, TimeValue t, INode* node,
                                    ModContext* mc) {
    if (cb)
        cb->TM(GizmoTransform(t, node, mc), 0);
}

void QX_BULLET_OBJ::Rotate(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Quat& val,
                           BOOL localOrigin) {
    if (!gizmo_)
        return;
    SetXFormPacket packet(AngAxis(val), localOrigin, partm, tmAxis);
    gizmo_->SetValue(t, &packet, TRUE, CTRL_RELATIVE);
}

} // namespace Quarix
