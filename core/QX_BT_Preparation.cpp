// Object preparation: rebuilding the simulation mesh, elements, shapes and bodies when the input
// mesh, the node's scale or the settings change, and the body factory shared with demolition.

#include <cmath>

#include "core/QX_BT_Math.h"
#include "core/QX_BT_MeshController.h"

namespace Quarix {

namespace {

/// Largest per-axis difference (object units) at which an input vertex still counts as the one
/// that was simulated; absorbs the round trip through the node's scale.
constexpr float kInputMeshTolerance = 0.001f;

} // namespace

void QX_BT_MeshController::rebuildSimulationMesh(const glm::mat4& n0) {
    simulationMesh = inputMesh;
    simulationMesh.TransformVertices(ScalePart(n0));
    baseLayout = QX_BT_Mesh_Layout::Of(simulationMesh);
}

void QX_BT_MeshController::prepare(float x, float scale) {
    restorePending();
    const glm::mat4 n0 = nodeTransform(0.0f, scale);

    bool meshRebuilt;
    if (intSettings.get(ObjectKey::MeshBuilt) != 0 &&
        intSettings.get(ObjectKey::ScaleUnchanged) != 0) {
        meshRebuilt = elements.empty();
    } else {
        rebuildSimulationMesh(n0);
        meshHistory.clear();
        intSettings.setQuiet(ObjectKey::MeshBuilt, 1);
        meshRebuilt = true;
    }

    const bool typeChanged = intSettings.changed(ObjectKey::MeshType);
    const bool groupChanged = intSettings.changed(ObjectKey::GroupCount) ||
                              intSettings.changed(ObjectKey::Seed) ||
                              intSettings.changed(ObjectKey::Percentage) || bodyShapes.empty();
    const bool rigidChanged = intSettings.changed(ObjectKey::RigidType);

    if (meshRebuilt)
        elements = ExtractElements(simulationMesh.geometry.faces);
    startTransform = n0;

    const bool keepShapes = !typeChanged && !elementShapes.empty() && !meshRebuilt;
    if (!keepShapes) {
        // The old compounds point at the old element shapes: they go first.
        bodies.clear();
        bodyShapes.clear();
        elementShapes = BuildElementShapes(
            simulationMesh.geometry.vertices, simulationMesh.geometry.faces, elements,
            intSettings.get(ObjectKey::MeshType), true, {}, &decompositions, scale);
    }
    if (!keepShapes || groupChanged) {
        bodies.clear();
        GroupElementShapes(
            ShapePointers(elementShapes), bodyShapes, intSettings.get(ObjectKey::GroupCount),
            float(intSettings.get(ObjectKey::Percentage)), intSettings.get(ObjectKey::Seed));
    }
    if (keepShapes && !rigidChanged && !bodies.empty() && !groupChanged)
        return;
    restorePending();
    createBodies(bodyShapes, bodies, intSettings.get(ObjectKey::RigidType), x, scale);
}

void QX_BT_MeshController::checkInputMesh() {
    intSettings.setQuiet(ObjectKey::MeshBuilt, 1);
    const QX_BT_Mesh_Channel& in = inputMesh.geometry;
    const QX_BT_Mesh_Channel& sim = simulationMesh.geometry;
    if (sim.vertexCount() < in.vertexCount() || sim.faces.size() < in.faces.size() ||
        simulationMesh.channels.size() != inputMesh.channels.size()) {
        intSettings.setQuiet(ObjectKey::MeshBuilt, 0);
        return;
    }
    const glm::mat4 q = glm::inverse(ScalePart(startTransform));
    for (size_t i = 0; i < in.vertexCount(); ++i) {
        const glm::vec3 p = in.vertex(int32_t(i));
        const glm::vec3 back = TransformPoint(q, sim.vertex(int32_t(i)));
        // Written so that a NaN on either side fails the comparison and forces a rebuild.
        if (!(std::fabs(p.x - back.x) <= kInputMeshTolerance) ||
            !(std::fabs(p.y - back.y) <= kInputMeshTolerance) ||
            !(std::fabs(p.z - back.z) <= kInputMeshTolerance)) {
            intSettings.setQuiet(ObjectKey::MeshBuilt, 0);
            return;
        }
    }
    for (size_t j = 0; j < in.faces.size(); ++j) {
        if (in.faces[j] != sim.faces[j]) {
            intSettings.setQuiet(ObjectKey::MeshBuilt, 0);
            return;
        }
    }
}

void QX_BT_MeshController::createBodies(const QX_BT_Body_Shape_List& shapes, QX_BT_Body_List& list,
                                        int32_t type, float x, float scale) {
    list.clear();
    list.reserve(shapes.size());
    const glm::mat4 placement = nodePlacement(x, scale);
    for (const auto& shape : shapes) {
        auto body =
            std::make_unique<QX_BT_Body>(shape.get(), placement * Translation(shape->centre), this);
        SetRigidType(*body, type);
        list.push_back(std::move(body));
    }
}

void QX_BT_MeshController::ResetRunState() {
    if (!holdsPersistedResults())
        return;
    keptBlob.clear();
    loadedVersion = -1.0f;
    pending = QX_BT_Stored_Bodies{};
    legacy = QX_BT_Legacy_Data{};
    simulationMesh = QX_BT_Mesh_Data{};
    outputMesh = QX_BT_Mesh_Data{};
}

void QX_BT_MeshController::restorePending() {
    if (pending.empty())
        return;
    RebuildBodies(pending, simulationMesh.geometry.vertices, simulationMesh.geometry.faces, this,
                  elementShapes, bodyShapes, bodies, &decompositions);
    elements = ExtractElements(inputMesh.geometry.faces);
}

} // namespace Quarix
