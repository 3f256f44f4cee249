// The recorded bodies of a rigid modifier as exporters read them (host/IQXBodyPlayback.h): piece
// meshes about their body centres and world transforms per frame, from the object core's
// tracks.

#include "modifier/QX_Mesh_Convert.h"
#include "modifier/QX_RIGID_MOD.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>

using namespace Quarix;

namespace {

/// A core matrix (column vectors, translation in column 3) as a host transform (row vectors).
Matrix3 ToHostMatrix(const glm::mat4& m) {
    return Matrix3(Point3(m[0][0], m[0][1], m[0][2]), Point3(m[1][0], m[1][1], m[1][2]),
                   Point3(m[2][0], m[2][1], m[2][2]), Point3(m[3][0], m[3][1], m[3][2]));
}

/// Body i of a core whose loaded records were brought up to date, or null.
const QX_BT_Body* BodyAt(QX_BT_MeshController& core, int i) {
    core.restorePending();
    return i >= 0 && size_t(i) < core.bodies.size() ? core.bodies[size_t(i)].get() : nullptr;
}

/// The world's size scale the bodies were built at (simulation units per scene unit): the scale
/// of the stored start placement over the node's own scale.
float SimulationScale(const QX_BT_MeshController& core) {
    const float built = glm::length(glm::vec3(core.startTransform[0]));
    const float node = glm::length(glm::vec3(core.nodeTransform(0.0f, 1.0f)[0]));
    return built > 0.0f && node > 0.0f ? built / node : 1.0f;
}

glm::vec3 BodyCentre(const QX_BT_Body& body) {
    const QX_BT_CompoundShape* shape = body.compoundShape();
    return shape ? shape->centre : glm::vec3(0.0f);
}

} // namespace

void* QX_RIGID_MOD::GetInterface(ULONG id) {
    if (id == I_QX_BODY_PLAYBACK)
        return static_cast<IQXBodyPlayback*>(this);
    return Modifier::GetInterface(id);
}

int QX_RIGID_MOD::RecordedFrameCount() {
    QX_BT_MeshController& core = GetCore();
    core.restorePending();
    float last = -1.0f;
    for (const auto& body : core.bodies) {
        if (!body->track.empty())
            last = std::max(last, (body->track.end() - 1)->first);
    }
    return last < 0.0f ? 0 : static_cast<int>(std::floor(last)) + 1;
}

int QX_RIGID_MOD::BodyCount() {
    return RecordedFrameCount() > 0 ? static_cast<int>(GetCore().bodies.size()) : 0;
}

int QX_RIGID_MOD::FirstFrame() {
    return GetParamBlock(0) ? GetParamBlock(0)->GetInt(QX_RigidParam::ExplodeStart, 0) : 0;
}

bool QX_RIGID_MOD::GetBodyMesh(int i, Mesh& mesh) {
    QX_BT_MeshController& core = GetCore();
    const QX_BT_Body* body = BodyAt(core, i);
    if (!body)
        return false;
    QX_BT_Mesh_Data piece;
    core.simulationMesh.ExtractFaces(piece, CollectBodyFaces(*body));
    // Simulation units back to scene units, about the body's centre.
    const glm::vec3 centre = BodyCentre(*body);
    const float toScene = 1.0f / SimulationScale(core);
    for (size_t v = 0; v < piece.geometry.vertexCount(); ++v)
        piece.geometry.setVertex(int32_t(v),
                                 (piece.geometry.vertex(int32_t(v)) - centre) * toScene);
    QX_Mesh_Convert::ImportMesh(piece, mesh);
    return true;
}

bool QX_RIGID_MOD::GetBodyTM(int i, float frame, Matrix3& tm) {
    QX_BT_MeshController& core = GetCore();
    const QX_BT_Body* body = BodyAt(core, i);
    const float x = frame - static_cast<float>(FirstFrame());
    if (!body || !IsAlive(*body, x))
        return false;
    const QX_BT_Body_State state =
        body->track.empty() ? body->startState : SampleTrack(body->track, x);
    // Placement x (centre and recorded state, simulation units brought back to scene units).
    const float k = SimulationScale(core);
    const glm::mat4 toScene = glm::scale(glm::mat4(1.0f), glm::vec3(1.0f / k));
    const glm::mat4 toSimulation = glm::scale(glm::mat4(1.0f), glm::vec3(k));
    tm = ToHostMatrix(core.nodePlacement(x, 1.0f) * toScene * Translation(BodyCentre(*body)) *
                      state.transform * toSimulation);
    return true;
}

bool QX_RIGID_MOD::GetBodyLife(int i, float& birth, float& death) {
    const QX_BT_Body* body = BodyAt(GetCore(), i);
    if (!body)
        return false;
    const float start = static_cast<float>(FirstFrame());
    birth = body->beforeMode == 0 ? -kLifeUnbounded : body->lifeStart + start;
    death = body->afterMode == 0 ? kLifeUnbounded : body->lifeEnd + start;
    return true;
}
