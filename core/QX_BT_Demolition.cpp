// Demolition: replacing a Dynamic body hit hard enough by new bodies made of its parts.
//
// A demolished body stays in the body list with its life ending at the demolition frame, so
// playback before that frame still shows it; its replacements are born at that frame, placed
// where the parent's parts were and moving as the parent moved. The world core then simulates the
// frame again with them.

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/QX_BT_Math.h"
#include "core/QX_BT_MeshController.h"

namespace Quarix {

namespace {

/// Odd multipliers (from the golden ratio and a hash finaliser) spreading parent and child
/// indices over the seed range of a child's variation factor.
constexpr uint32_t kSeedMixParent = 0x9E3779B1u;
constexpr uint32_t kSeedMixChild = 0x85EBCA77u;

/// Truncates towards zero into an int, saturating at the int range; NaN gives 0.
int32_t TruncateSaturated(float v) {
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0f)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0f)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

glm::vec3 Origin(const QX_BT_Body& body) {
    const btVector3& o = body.getWorldTransform().getOrigin();
    return {o.x(), o.y(), o.z()};
}

glm::vec3 Centre(const QX_BT_Body& body) {
    const QX_BT_CompoundShape* shape = body.compoundShape();
    return shape ? shape->centre : glm::vec3(0.0f);
}

/// Whether a record keeps the mesh invariants: one face info per face, every index of the
/// geometry and of every channel in range, every channel with as many faces as the geometry.
bool IsWellFormed(const QX_BT_Mesh_Data& mesh) {
    const size_t corners = mesh.geometry.faces.size();
    if (corners % 3 != 0 || mesh.faceInfos.size() * 3 != corners)
        return false;
    auto indicesInRange = [](const QX_BT_Mesh_Channel& channel) {
        const size_t count = channel.vertexCount();
        return channel.vertices.size() % 3 == 0 &&
               std::all_of(channel.faces.begin(), channel.faces.end(),
                           [count](int32_t v) { return v >= 0 && size_t(v) < count; });
    };
    if (!indicesInRange(mesh.geometry))
        return false;
    for (const auto& [number, channel] : mesh.channels) {
        if (channel.faces.size() != corners || !indicesInRange(channel))
            return false;
    }
    return true;
}

/// Makes `piece` carry exactly the channels of `target`, so that appending it keeps every face
/// array of `target` describing the same faces. Channels `target` lacks are dropped (explicit
/// normals among them); channels the piece lacks get one zero vertex used by all its faces.
void MatchChannels(QX_BT_Mesh_Data& piece, const QX_BT_Mesh_Data& target) {
    std::erase_if(piece.channels,
                  [&](const auto& entry) { return target.channels.count(entry.first) == 0; });
    for (const auto& [number, unused] : target.channels) {
        if (piece.channels.count(number) != 0)
            continue;
        QX_BT_Mesh_Channel& filler = piece.channels[number];
        filler.vertices.assign(3, 0.0f);
        filler.faces.assign(piece.geometry.faces.size(), 0);
    }
}

} // namespace

int32_t FragmentCountLimit(int32_t wanted, size_t triangles, size_t triangleRoom,
                           int32_t bodyRoom) {
    const size_t surface = kCutTrianglesPerPieceTriangle * triangles;
    if (wanted <= 0 || bodyRoom <= 0 || triangleRoom <= surface)
        return 0;
    const size_t fits = (triangleRoom - surface) / kCutTrianglesPerPiece;
    return int32_t(std::min<size_t>({size_t(wanted), size_t(bodyRoom), fits}));
}

int32_t QX_BT_MeshController::bodyRoom() const {
    const int64_t most = int64_t(demolitionBudget.maxRecordedBytesPerFrame / kRecordedBytesPerBody);
    // The demolished body itself makes way for one of its replacements.
    const int64_t room = most - int64_t(activeBodyCount) + 1;
    return int32_t(std::clamp<int64_t>(room, 0, std::numeric_limits<int32_t>::max()));
}

size_t QX_BT_MeshController::triangleRoom() const {
    const size_t used = simulationMesh.faceCount();
    return used < demolitionBudget.maxMeshTriangles ? demolitionBudget.maxMeshTriangles - used : 0;
}

bool QX_BT_MeshController::testDemolition(QX_BT_Body& body, float x, bool relax, float scale) {
    const int32_t probability = intSettings.get(ObjectKey::Probability);
    const int32_t numFragments = intSettings.get(ObjectKey::NumFragments);
    const int32_t fragmentsVariation = intSettings.get(ObjectKey::FragmentsVariation);
    const int32_t amount = intSettings.get(ObjectKey::Amount);
    const int32_t depthLimit = intSettings.get(ObjectKey::ClusterizationDepth);
    const int32_t safeFrames = intSettings.get(ObjectKey::SafeFrames);
    const int32_t amountLimit = intSettings.get(ObjectKey::AmountLimit);
    const float f = body.variationFactor;

    // Fragment count: varied per body, faded per generation.
    int32_t count =
        TruncateSaturated((float(fragmentsVariation) * f * 0.01f + 1.0f) * float(numFragments));
    const float fade = body.depth != 0
                           ? std::pow(floatSettings.get(ObjectKey::DepthFade), float(body.depth))
                           : 1.0f;
    count = TruncateSaturated(float(count) * fade);

    btVector3 boxMin, boxMax;
    body.getAabb(boxMin, boxMax);
    const float size = (boxMax - boxMin).length();

    // A body's variation factor decides once and for all whether it can be demolished.
    if (float(100 - int64_t(probability)) > f * 100.0f)
        return false;
    const QX_BT_CompoundShape* shape = body.compoundShape();
    if (shape == nullptr || !(shape->volume > 0.0f))
        return false;
    // A strength that cannot be measured (a zero, negative or infinite scale) never demolishes;
    // dividing by it would give an infinite strength that breaks every body touched.
    const float measure = shape->volume * scale;
    if (!(measure > 0.0f) || !std::isfinite(measure))
        return false;
    const float strength = body.impulseSum / measure;
    if (!(strength >= floatSettings.get(ObjectKey::Solidity)))
        return false;
    if (int64_t(body.depth) >= int64_t(depthLimit) + 1)
        return false;
    // Children must live "Timde Delay" frames before they can break again.
    if (body.age < safeFrames && body.depth != 0)
        return false;
    if (activeBodyCount > amountLimit)
        return false;
    const float sizeLimit = scale * floatSettings.get(ObjectKey::SizeLimit);
    if (sizeLimit != 0.0f && size < sizeLimit)
        return false;
    const float speedLimit = scale * floatSettings.get(ObjectKey::SpeedLimit);
    if (speedLimit != 0.0f && glm::length(body.frameStartPosition - Origin(body)) < speedLimit)
        return false;

    const bool singleChild = shape->getNumChildShapes() == 1;
    const bool captureOn = intSettings.get(ObjectKey::DemolishToCapture) != 0;
    auto attempt = [&](int32_t kind) {
        return demolishBody(kind, body, x, relax, scale, count, amount, false);
    };
    const bool primary = body.depth == 0;
    // With "Demolish to Capture" on, what replaced a body is final and never breaks again.
    if (!primary && captureOn)
        return false;
    if (primary && captureOn && attempt(DemolitionKind::Captured))
        return true;
    const QX_BT_Int_Key toElements =
        primary ? ObjectKey::PrimaryToElements : ObjectKey::SecondaryToElements;
    const QX_BT_Int_Key toClusters =
        primary ? ObjectKey::PrimaryToClusters : ObjectKey::SecondaryToClusters;
    const QX_BT_Int_Key toFragments =
        primary ? ObjectKey::PrimaryToFragments : ObjectKey::SecondaryToFragments;
    if (intSettings.get(toElements) != 0 && attempt(DemolitionKind::Elements))
        return true;
    if (intSettings.get(toClusters) != 0 && attempt(DemolitionKind::Clusters))
        return true;
    if (intSettings.get(toFragments) != 0 && singleChild && count > 1 &&
        attempt(DemolitionKind::Fragments))
        return true;
    return false;
}

bool QX_BT_MeshController::demolishBody(int32_t kind, QX_BT_Body& body, float x, bool relax,
                                        float scale, int32_t fragmentCount, int32_t clusterCount,
                                        bool keepDepth) {
    restorePending();
    QX_BT_Body_List made;
    switch (kind) {
    case DemolitionKind::Fragments:
        shatterBody(body, made, x, fragmentCount, scale);
        break;
    case DemolitionKind::Clusters:
        splitToGroups(body, made, x, clusterCount, scale, keepDepth);
        break;
    case DemolitionKind::Captured:
        replaceByCaptured(made, x, scale);
        break;
    default:
        splitToGroups(body, made, x, kOneGroupPerElement, scale, keepDepth);
        break;
    }
    if (made.empty())
        return false;

    // Fragments and captured meshes bring faces of their own, so the parent's faces vanish
    // (code 1); splits reuse the parent's faces, which the children carry on (code 2).
    const bool ownFaces = kind == DemolitionKind::Fragments || kind == DemolitionKind::Captured;
    const int32_t code = ownFaces ? 1 : 2;
    body.lifeEnd = x;
    body.afterMode = code;

    const QX_BT_Body_State s = relax ? body.startState : SampleTrack(body.track, x);
    const glm::vec3 parentCentre = Centre(body);
    const glm::mat4 world = nodePlacement(x, scale) * Translation(parentCentre) * s.transform;
    const btVector3 linear(s.linearVelocity.x, s.linearVelocity.y, s.linearVelocity.z);
    const btVector3 angular(s.angularVelocity.x, s.angularVelocity.y, s.angularVelocity.z);
    // Children take their variation from their parent's place in the body list and their own
    // among its replacements instead of the process-wide counter: re-simulating after a rewind
    // then remakes them with the same masses, materials and demolition chances.
    const auto parentSlot = std::find_if(bodies.begin(), bodies.end(),
                                         [&](const auto& owned) { return owned.get() == &body; });
    const uint32_t parentIndex = uint32_t(parentSlot - bodies.begin());
    uint32_t childIndex = 0;
    for (auto& child : made) {
        child->variationFactor =
            DrawVariationFactor(parentIndex * kSeedMixParent + childIndex++ * kSeedMixChild);
        child->needsRecord = true;
        child->lifeStart = x;
        child->beforeMode = code;
        child->childFlag = ownFaces ? 1 : 0;
        child->depth = body.depth + (keepDepth ? 0 : 1);
        const btTransform placed =
            ToBulletTransform(world * Translation(Centre(*child) - parentCentre));
        child->setWorldTransform(placed);
        child->setCenterOfMassTransform(placed);
        child->setLinearVelocity(linear);
        child->setAngularVelocity(angular);
        child->parent = &body;
    }
    body.demolishedAs = kind == DemolitionKind::Fragments ? 1 : 0;
    activeBodyCount += int32_t(made.size()) - 1;
    for (auto& child : made)
        bodies.push_back(std::move(child));
    return true;
}

void QX_BT_MeshController::splitToGroups(QX_BT_Body& body, QX_BT_Body_List& list, float x,
                                         int32_t groupCount, float scale, bool keepDepth) {
    QX_BT_CompoundShape* compound = body.compoundShape();
    if (compound == nullptr)
        return;
    const int m = compound->getNumChildShapes();
    if ((m < 2 && !keepDepth) || m < 1)
        return;
    std::vector<btCollisionShape*> children;
    children.reserve(size_t(m));
    for (int i = 0; i < m; ++i)
        children.push_back(compound->getChildShape(i));
    QX_BT_Body_Shape_List groups;
    GroupElementShapes(children, groups, groupCount, float(intSettings.get(ObjectKey::Percentage)),
                       intSettings.get(ObjectKey::Seed));
    // A demolition that regroups every child into one cluster would replace the body by a copy
    // of itself, one generation deeper, and restart the frame for nothing. Activation (keeping
    // the depth) is the one case where a single replacement is the point: it changes the type.
    if (groups.empty() || (groups.size() < 2 && !keepDepth))
        return;
    createBodies(groups, list, Dynamic, x, scale);
    // The children now belong to the old compound and to the new ones; the element-shape list
    // keeps owning them.
    for (auto& group : groups)
        bodyShapes.push_back(std::move(group));
}

void QX_BT_MeshController::shatterBody(QX_BT_Body& body, QX_BT_Body_List& list, float x,
                                       int32_t count, float scale) {
    if (!fragmentOperation)
        return;
    const QX_BT_CompoundShape* compound = body.compoundShape();
    const QX_BT_Face_List faces = CollectBodyFaces(body);
    if (compound == nullptr || faces.empty())
        return;
    count = FragmentCountLimit(count, faces.size(), triangleRoom(), bodyRoom());
    if (count < 2)
        return;
    QX_BT_Mesh_Data piece;
    simulationMesh.ExtractFaces(piece, faces);

    // The fragment operation cuts the piece as it lies in the world, about the body's origin, so
    // that the impact point (relative to that origin) lands where the body was hit.
    const glm::vec3 centre = compound->centre;
    const glm::mat4 rotation = RotationPart(FromBulletTransform(body.getWorldTransform()));
    const glm::mat4 toBody = rotation * Translation(-centre);
    piece.TransformVertices(toBody);
    const glm::vec3 impact = body.impactPoint - Origin(body);
    const bool cut = fragmentOperation(piece, count, floatSettings.get(ObjectKey::Bias),
                                       intSettings.get(ObjectKey::FragmentsMaterialID), impact);
    piece.TransformVertices(Translation(centre) * glm::transpose(rotation));
    if (!cut)
        return;
    MatchChannels(piece, simulationMesh);
    if (!IsWellFormed(piece))
        return;
    addPieces(piece, list, x, scale);
}

void QX_BT_MeshController::replaceByCaptured(QX_BT_Body_List& list, float x, float scale) {
    if (capturedMesh.faceCount() == 0)
        return;
    // The captured mesh is a copy of the unscaled input; the simulation mesh carries the node's
    // scale, so the copy must too or the replacement would come out at the wrong size.
    QX_BT_Mesh_Data copy = capturedMesh;
    copy.TransformVertices(ScalePart(startTransform));
    MatchChannels(copy, simulationMesh);
    if (!IsWellFormed(copy))
        return;
    addPieces(copy, list, x, scale);
}

void QX_BT_MeshController::addPieces(QX_BT_Mesh_Data& piece, QX_BT_Body_List& list, float x,
                                     float scale) {
    QX_BT_Element_List elements = ExtractElements(piece.geometry.faces);
    if (elements.empty() || elements.size() > size_t(bodyRoom()) ||
        piece.faceCount() > triangleRoom())
        return;
    const QX_BT_Mesh_Layout before = QX_BT_Mesh_Layout::Of(simulationMesh);
    const int32_t offset = simulationMesh.AppendMesh(piece.faceInfos, piece);
    for (QX_BT_Face_List& element : elements) {
        for (int32_t& face : element)
            face += offset;
    }
    QX_BT_Shape_List shapes = BuildElementShapes(
        simulationMesh.geometry.vertices, simulationMesh.geometry.faces, elements,
        intSettings.get(ObjectKey::MeshType), false, {}, &decompositions, scale);
    QX_BT_Body_Shape_List groups;
    GroupElementShapes(ShapePointers(shapes), groups, kOneGroupPerElement,
                       float(intSettings.get(ObjectKey::Percentage)),
                       intSettings.get(ObjectKey::Seed));
    if (groups.empty()) {
        // Not one piece gave a shape: leave no faces behind that no body would ever move.
        before.cut(simulationMesh);
        return;
    }
    createBodies(groups, list, Dynamic, x, scale);
    for (auto& shape : shapes) {
        if (shape)
            elementShapes.push_back(std::move(shape));
    }
    for (auto& group : groups)
        bodyShapes.push_back(std::move(group));
}

} // namespace Quarix
