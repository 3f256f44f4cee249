#include "modifier/QX_Body_Playback.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>

#include "host/Interface.h"
#include "modifier/QX_Mesh_Convert.h"
#include "modifier/QX_RIGID_MOD.h"
#include "modifier/QX_RIGID_MOD_Node.h"

namespace {

using Quarix::QX_BT_Body;

// The host form of a core matrix at scale 1 (columns become rows).
Matrix3 ToHostMatrix(const glm::mat4& m) {
    return Matrix3(Point3(m[0].x, m[0].y, m[0].z), Point3(m[1].x, m[1].y, m[1].z),
                   Point3(m[2].x, m[2].y, m[2].z), Point3(m[3].x, m[3].y, m[3].z));
}

// The uniform factor of a scale part: the cube root of its volume change (1 when degenerate).
float UniformScale(const glm::mat4& scalePart) {
    const float det = glm::determinant(glm::mat3(scalePart));
    return det > 0.0f && std::isfinite(det) ? std::cbrt(det) : 1.0f;
}

} // namespace

const QX_BT_Body* QX_Body_Playback::Body(int i) {
    Quarix::QX_BT_MeshController& core = m_owner.GetCore();
    core.restorePending();
    if (i < 0 || static_cast<size_t>(i) >= core.bodies.size())
        return nullptr;
    return core.bodies[static_cast<size_t>(i)].get();
}

int QX_Body_Playback::StartFrame() {
    IParamBlock2* pb = m_owner.refTarg_ParamBlock;
    return pb ? pb->GetInt(QX_RigidParam::ExplodeStart, GetCOREInterface()->GetTime()) : 0;
}

int QX_Body_Playback::BodyCount() {
    Quarix::QX_BT_MeshController& core = m_owner.GetCore();
    core.restorePending();
    return static_cast<int>(core.bodies.size());
}

int QX_Body_Playback::RecordedFrameCount() {
    return static_cast<int>(m_owner.GetCore().meshHistory.size());
}

int QX_Body_Playback::FirstFrame() {
    const Quarix::QX_BT_Mesh_History& history = m_owner.GetCore().meshHistory;
    const float first = history.empty() ? 0.0f : history.begin()->first;
    return StartFrame() + static_cast<int>(std::floor(first));
}

bool QX_Body_Playback::GetBodyMesh(int i, Mesh& mesh) {
    const QX_BT_Body* body = Body(i);
    Quarix::QX_BT_CompoundShape* compound = body ? body->compoundShape() : nullptr;
    if (!compound)
        return false;
    Quarix::QX_BT_Face_List faces;
    for (int c = 0; c < compound->getNumChildShapes(); ++c) {
        if (auto* child = Quarix::GetShapeExtension(compound->getChildShape(c)))
            faces.insert(faces.end(), child->faceIndices.begin(), child->faceIndices.end());
    }
    Quarix::QX_BT_MeshController& core = m_owner.GetCore();
    Quarix::QX_BT_Mesh_Data piece;
    core.simulationMesh.ExtractFaces(piece, faces);
    const float k = UniformScale(Quarix::ScalePart(core.startTransform));
    glm::mat4 toPiece = glm::scale(glm::mat4(1.0f), glm::vec3(1.0f / k));
    toPiece = toPiece * Quarix::Translation(-compound->centre);
    piece.TransformVertices(toPiece);
    QX_Mesh_Convert::ImportMesh(piece, mesh);
    return true;
}

bool QX_Body_Playback::GetBodyTM(int i, float frame, Matrix3& tm) {
    const QX_BT_Body* body = Body(i);
    Quarix::QX_BT_CompoundShape* compound = body ? body->compoundShape() : nullptr;
    if (!compound)
        return false;
    const float x = frame - static_cast<float>(StartFrame());
    if (Quarix::LifeCode(*body, x) != 0)
        return false;
    Quarix::QX_BT_MeshController& core = m_owner.GetCore();
    const Quarix::QX_BT_Body_State s =
        body->track.empty() ? body->startState : Quarix::SampleTrack(body->track, x);
    const glm::mat4 scalePart = Quarix::ScalePart(core.startTransform);
    const float k = UniformScale(scalePart);
    // The piece, scaled back into simulation units, follows the recorded motion about its centre
    // and leaves the simulation's scale: the evaluated object's placement in object space.
    const glm::mat4 local = glm::inverse(scalePart) * Quarix::Translation(compound->centre) *
                            s.transform * glm::scale(glm::mat4(1.0f), glm::vec3(k));
    tm = ToHostMatrix(local);
    if (INode* node = m_owner.GetModifierNode())
        tm = tm * node->GetObjectTM(QX_FrameToTick(0, frame, GetTicksPerFrame()));
    return true;
}

bool QX_Body_Playback::GetBodyLife(int i, float& birth, float& death) {
    const QX_BT_Body* body = Body(i);
    if (!body)
        return false;
    const float start = static_cast<float>(StartFrame());
    const float first = static_cast<float>(FirstFrame());
    const float last = first + static_cast<float>(RecordedFrameCount());
    birth = body->beforeMode == 0 || body->lifeStart <= -Quarix::kLifeUnbounded
                ? first
                : start + body->lifeStart;
    death = body->afterMode == 0 || body->lifeEnd >= Quarix::kLifeUnbounded ? last
                                                                            : start + body->lifeEnd;
    return true;
}
