#include "host/CommandModes.h"

#include "host/INode.h"

namespace {

// Collects what an object reports to the transform gizmo.
class AxisCollector : public SubObjAxisCallback {
public:
    void Center(Point3 c, int) override { centers.push_back(c); }
    void TM(Matrix3 tm, int) override { tms.push_back(tm); }
    std::vector<Point3> centers;
    std::vector<Matrix3> tms;
};

} // namespace

std::vector<Point3> TransformModBoxCMode::Centers(TimeValue t, INode* node, ModContext* mc) const {
    AxisCollector cb;
    if (m_obj)
        m_obj->GetSubObjectCenters(&cb, t, node, mc);
    return cb.centers;
}

Matrix3 TransformModBoxCMode::AxisFrame(TimeValue t, INode* node, ModContext* mc) const {
    AxisCollector cb;
    if (m_obj)
        m_obj->GetSubObjectTMs(&cb, t, node, mc);
    return cb.tms.empty() ? ParentFrame(t, node) : cb.tms.front();
}

Matrix3 TransformModBoxCMode::ParentFrame(TimeValue t, INode* node) {
    return node ? node->GetObjectTM(t) : Matrix3();
}

void MoveModBoxCMode::Apply(TimeValue t, INode* node, const Point3& delta, ModContext* mc) {
    if (!m_obj)
        return;
    Matrix3 partm = ParentFrame(t, node);
    Matrix3 axis = AxisFrame(t, node, mc);
    Point3 val = delta;
    m_obj->Move(t, partm, axis, val, FALSE);
}

void RotateModBoxCMode::Apply(TimeValue t, INode* node, const Quat& rotation, BOOL localOrigin,
                              ModContext* mc) {
    if (!m_obj)
        return;
    Matrix3 partm = ParentFrame(t, node);
    Matrix3 axis = AxisFrame(t, node, mc);
    Quat val = rotation;
    m_obj->Rotate(t, partm, axis, val, localOrigin);
}

void ScaleModBoxCModeBase::Apply(TimeValue t, INode* node, const Point3& factors, BOOL localOrigin,
                                 ModContext* mc) {
    if (!m_obj)
        return;
    Matrix3 partm = ParentFrame(t, node);
    Matrix3 axis = AxisFrame(t, node, mc);
    Point3 val = factors;
    m_obj->Scale(t, partm, axis, val, localOrigin);
}
