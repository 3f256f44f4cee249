#include "modifier/persist/QX_Core_Snapshot.h"
#include "modifier/persist/QX_Snapshot_Checks.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <unordered_map>

#include <glm/gtc/type_ptr.hpp>

namespace Quarix {

namespace {

/// Smallest on-disk size of the variable-length items, used to bound counts before allocating.
constexpr size_t kSettingEntryBytes = 9;   // key, value, flag
constexpr size_t kFaceInfoBytes = 20;      // five int32
constexpr size_t kChannelEntryBytes = 12;  // number, two empty array counts
constexpr size_t kHistoryEntryBytes = 8;   // frame, layout length
constexpr size_t kLayoutChannelBytes = 12; // number, two counts
constexpr size_t kShapeBytes = 8;          // kind, face count
constexpr size_t kGroupBytes = 16;         // centre, child count
constexpr size_t kTrackEntryBytes = 4 + kBodyStateBytes;

/// A float frame key as the int32 the history stores: truncated toward zero, clamped to int32.
int32_t FrameKey(float frame) {
    if (!(frame == frame))
        return 0;
    if (frame >= 2147483520.0f)
        return std::numeric_limits<int32_t>::max();
    if (frame <= -2147483648.0f)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(frame);
}

// --- writing ------------------------------------------------------------------------------------

void WriteChannel(QX_Byte_Writer& out, const QX_BT_Mesh_Channel& channel) {
    out.i32(static_cast<int32_t>(channel.faces.size()));
    out.ints(channel.faces.data(), channel.faces.size());
    out.i32(static_cast<int32_t>(channel.vertices.size()));
    out.floats(channel.vertices.data(), channel.vertices.size());
}

void WriteMeshRecord(QX_Byte_Writer& out, const QX_BT_Mesh_Data& mesh) {
    const size_t start = out.openLength();
    out.i32(static_cast<int32_t>(mesh.faceInfos.size()));
    for (const QX_BT_Face_Info& info : mesh.faceInfos) {
        out.i32(info.edgeA);
        out.i32(info.edgeB);
        out.i32(info.edgeC);
        out.i32(info.materialID);
        out.u32(info.smoothingGroup);
    }
    WriteChannel(out, mesh.geometry);
    out.i32(static_cast<int32_t>(mesh.channels.size()));
    for (const auto& [number, channel] : mesh.channels) {
        out.i32(number);
        WriteChannel(out, channel);
    }
    out.closeLength(start);
}

void WriteLayout(QX_Byte_Writer& out, const QX_BT_Mesh_Layout& layout) {
    const size_t start = out.openLength();
    out.u32(layout.vertexCount);
    out.u32(layout.cornerCount);
    out.i32(static_cast<int32_t>(layout.channels.size()));
    for (const auto& [number, counts] : layout.channels) {
        out.i32(number);
        out.i32(counts.corners);
        out.i32(counts.vertexFloats);
    }
    out.closeLength(start);
}

void WriteBodyState(QX_Byte_Writer& out, const QX_BT_Body_State& state) {
    out.floats(glm::value_ptr(state.transform), 16);
    out.floats(glm::value_ptr(state.linearVelocity), 3);
    out.floats(glm::value_ptr(state.angularVelocity), 3);
    out.i32(state.tag);
}

void WriteSettingsSection(QX_Byte_Writer& out, const QX_BT_MeshController& core) {
    size_t start = out.openLength();
    WriteSettingsTable(out, core.intSettings);
    out.closeLength(start);
    start = out.openLength();
    WriteSettingsTable(out, core.floatSettings);
    out.closeLength(start);
}

void WriteHistorySection(QX_Byte_Writer& out, const QX_BT_MeshController& core) {
    out.i32(static_cast<int32_t>(core.meshHistory.size()));
    for (const auto& [frame, layout] : core.meshHistory) {
        out.i32(FrameKey(frame));
        WriteLayout(out, layout);
    }
    WriteLayout(out, core.baseLayout);
    out.floats(glm::value_ptr(core.startTransform), 16);
}

/// Writes the element shapes that exist and returns their indices in the written list.
std::unordered_map<const btCollisionShape*, int32_t> WriteShapes(QX_Byte_Writer& out,
                                                                 const QX_BT_Shape_List& shapes) {
    std::unordered_map<const btCollisionShape*, int32_t> index;
    int32_t written = 0;
    for (const auto& shape : shapes)
        written += GetShapeExtension(shape.get()) ? 1 : 0;
    out.i32(written);
    for (const auto& shape : shapes) {
        const QX_BT_Shape_Extension_Interface* ext = GetShapeExtension(shape.get());
        if (ext == nullptr)
            continue;
        out.i32(ext->getShapeKind());
        out.i32(static_cast<int32_t>(ext->faceIndices.size()));
        out.ints(ext->faceIndices.data(), ext->faceIndices.size());
        index.emplace(shape.get(), static_cast<int32_t>(index.size()));
    }
    return index;
}

void WriteGroups(QX_Byte_Writer& out, const QX_BT_Body_Shape_List& groups,
                 const std::unordered_map<const btCollisionShape*, int32_t>& shapeIndex) {
    out.u32(static_cast<uint32_t>(groups.size()));
    std::vector<int32_t> children;
    for (const auto& group : groups) {
        children.clear();
        for (int i = 0; i < group->getNumChildShapes(); ++i) {
            auto it = shapeIndex.find(group->getChildShape(i));
            if (it != shapeIndex.end())
                children.push_back(it->second);
        }
        out.floats(glm::value_ptr(group->centre), 3);
        out.u32(static_cast<uint32_t>(children.size()));
        out.ints(children.data(), children.size());
    }
}

void WriteBodies(QX_Byte_Writer& out, const QX_BT_MeshController& core) {
    std::unordered_map<const QX_BT_CompoundShape*, int32_t> groupIndex;
    for (size_t g = 0; g < core.bodyShapes.size(); ++g)
        groupIndex.emplace(core.bodyShapes[g].get(), static_cast<int32_t>(g));
    std::unordered_map<const QX_BT_Body*, int32_t> bodyIndex;
    for (size_t b = 0; b < core.bodies.size(); ++b)
        bodyIndex.emplace(core.bodies[b].get(), static_cast<int32_t>(b));

    out.u32(static_cast<uint32_t>(core.bodies.size()));
    for (const auto& body : core.bodies) {
        auto group = groupIndex.find(body->compoundShape());
        auto parent = bodyIndex.find(body->parent);
        WriteBodyRecord(out, *body, group != groupIndex.end() ? group->second : -1,
                        parent != bodyIndex.end() ? parent->second : -1);
    }
}

size_t EstimatedSize(const QX_BT_MeshController& core) {
    size_t bytes = 4096;
    for (const auto& body : core.bodies)
        bytes += kBodyRecordBytes + body->track.size() * kTrackEntryBytes;
    for (const QX_BT_Mesh_Data* mesh : {&core.inputMesh, &core.simulationMesh, &core.capturedMesh})
        bytes += 64 + mesh->faceInfos.size() * 20 + mesh->geometry.faces.size() * 8 +
                 mesh->geometry.vertices.size() * 4;
    return bytes;
}

// --- reading ------------------------------------------------------------------------------------

/// Everything a blob holds, parsed and checked before any of it reaches the core.
struct Snapshot {
    std::map<int32_t, int32_t> ints;
    std::map<int32_t, float> floats;
    QX_BT_Mesh_Data input, simulation, captured;
    QX_BT_Mesh_History history;
    QX_BT_Mesh_Layout baseLayout;
    glm::mat4 startTransform{1.0f};
    QX_BT_Stored_Bodies stored;
};

template <typename T>
bool ReadSettingsTable(QX_Byte_Reader& in, std::map<int32_t, T>& values, const char* what) {
    size_t end = 0;
    size_t count = 0;
    if (!in.openRange(end, what) || !in.count(count, kSettingEntryBytes, "entry count"))
        return false;
    std::vector<int32_t> keys(count);
    std::vector<T> entries(count);
    if (!in.ints(keys.data(), count) || !in.raw(entries.data(), count * 4) || !in.skip(count))
        return false;
    for (size_t i = 0; i < count; ++i)
        values[keys[i]] = entries[i];
    return in.closeRange(end, what);
}

bool ReadChannel(QX_Byte_Reader& in, QX_BT_Mesh_Channel& channel) {
    size_t corners = 0;
    size_t floats = 0;
    if (!in.count(corners, 4, "face-corner count"))
        return false;
    channel.faces.resize(corners);
    if (!in.ints(channel.faces.data(), corners) || !in.count(floats, 4, "vertex-float count"))
        return false;
    channel.vertices.resize(floats);
    return in.floats(channel.vertices.data(), floats);
}

bool ReadMeshRecord(QX_Byte_Reader& in, QX_BT_Mesh_Data& mesh, const std::string& what) {
    in.section(what);
    size_t end = 0;
    size_t faces = 0;
    if (!in.openRange(end, "mesh record length") || !in.count(faces, kFaceInfoBytes, "face count"))
        return false;
    mesh.faceInfos.resize(faces);
    for (QX_BT_Face_Info& info : mesh.faceInfos) {
        if (!in.i32(info.edgeA) || !in.i32(info.edgeB) || !in.i32(info.edgeC) ||
            !in.i32(info.materialID) || !in.u32(info.smoothingGroup))
            return false;
    }
    size_t channels = 0;
    if (!ReadChannel(in, mesh.geometry) || !in.count(channels, kChannelEntryBytes, "channel count"))
        return false;
    for (size_t c = 0; c < channels; ++c) {
        int32_t number = 0;
        if (!in.i32(number))
            return false;
        if (!mesh.channels.empty() && number <= mesh.channels.rbegin()->first)
            return in.fail("channel " + std::to_string(number) + " is out of ascending order");
        if (!ReadChannel(in, mesh.channels[number]))
            return false;
    }
    if (!in.closeRange(end, "mesh record"))
        return false;
    if (std::string why = CheckMeshRecord(mesh); !why.empty())
        return in.fail(why + " (in the record ending here)");
    return true;
}

bool ReadLayout(QX_Byte_Reader& in, QX_BT_Mesh_Layout& layout) {
    size_t end = 0;
    size_t channels = 0;
    if (!in.openRange(end, "layout length") || !in.u32(layout.vertexCount) ||
        !in.u32(layout.cornerCount) || !in.count(channels, kLayoutChannelBytes, "channel count"))
        return false;
    for (size_t c = 0; c < channels; ++c) {
        int32_t number = 0;
        QX_BT_Mesh_Layout::Channel counts;
        if (!in.i32(number) || !in.i32(counts.corners) || !in.i32(counts.vertexFloats))
            return false;
        layout.channels[number] = counts;
    }
    return in.closeRange(end, "layout");
}

bool ReadHistory(QX_Byte_Reader& in, Snapshot& s) {
    in.section("mesh history");
    size_t count = 0;
    if (!in.count(count, kHistoryEntryBytes, "entry count"))
        return false;
    for (size_t i = 0; i < count; ++i) {
        int32_t frame = 0;
        QX_BT_Mesh_Layout layout;
        if (!in.i32(frame) || !ReadLayout(in, layout))
            return false;
        s.history[float(frame)] = std::move(layout);
    }
    in.section("current layout");
    if (!ReadLayout(in, s.baseLayout))
        return false;
    in.section("start transform");
    return in.matrix(glm::value_ptr(s.startTransform), "the start transform");
}

bool ReadShapes(QX_Byte_Reader& in, Snapshot& s) {
    in.section("shapes");
    size_t count = 0;
    if (!in.count(count, kShapeBytes, "shape count"))
        return false;
    const size_t meshFaces = s.simulation.faceCount();
    s.stored.elementKinds.resize(count);
    s.stored.elementFaces.resize(count);
    for (size_t i = 0; i < count; ++i) {
        in.section("shape " + std::to_string(i));
        int32_t& kind = s.stored.elementKinds[i];
        size_t faces = 0;
        if (!in.i32(kind) || !in.count(faces, 4, "face count"))
            return false;
        if (kind < QX_BT_Shape_Convex || kind > QX_BT_Shape_Concave)
            return in.fail("shape kind " + std::to_string(kind) + " is not 0, 1 or 2");
        QX_BT_Face_List& list = s.stored.elementFaces[i];
        list.resize(faces);
        if (!in.ints(list.data(), faces))
            return false;
        for (int32_t f : list) {
            if (f < 0 || size_t(f) >= meshFaces) {
                return in.fail("face index " + std::to_string(f) + " is outside the " +
                               std::to_string(meshFaces) + " faces of the simulation mesh");
            }
        }
    }
    return true;
}

bool ReadGroups(QX_Byte_Reader& in, Snapshot& s) {
    in.section("groups");
    size_t count = 0;
    if (!in.count(count, kGroupBytes, "group count", true))
        return false;
    s.stored.groups.resize(count);
    const size_t shapes = s.stored.elementKinds.size();
    for (size_t g = 0; g < count; ++g) {
        in.section("group " + std::to_string(g));
        float centre[3];
        size_t children = 0;
        if (!in.floats(centre, 3) || !in.count(children, 4, "child count", true))
            return false;
        std::vector<int32_t>& group = s.stored.groups[g];
        group.resize(children);
        if (!in.ints(group.data(), children))
            return false;
        for (int32_t child : group) {
            if (child < 0 || size_t(child) >= shapes) {
                return in.fail("shape index " + std::to_string(child) + " is outside the " +
                               std::to_string(shapes) + " shapes");
            }
        }
    }
    return true;
}

bool ReadBodyState(QX_Byte_Reader& in, QX_BT_Body_State& state, const char* what) {
    // One bounds check per state: tracks hold hundreds of thousands of them.
    uint8_t raw[kBodyStateBytes];
    if (!in.raw(raw, kBodyStateBytes))
        return false;
    std::memcpy(glm::value_ptr(state.transform), raw, 64);
    std::memcpy(glm::value_ptr(state.linearVelocity), raw + 64, 12);
    std::memcpy(glm::value_ptr(state.angularVelocity), raw + 76, 12);
    std::memcpy(&state.tag, raw + 88, 4);
    const float* m = glm::value_ptr(state.transform);
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(m[i]))
            return in.fail(std::string(what) + " holds a non-finite value (element " +
                           std::to_string(i) + " of the state ending here)");
    }
    return true;
}

bool ReadTrack(QX_Byte_Reader& in, QX_BT_Body_Track& track) {
    size_t count = 0;
    if (!in.count(count, kTrackEntryBytes, "track length"))
        return false;
    float previous = 0.0f;
    for (size_t i = 0; i < count; ++i) {
        float frame = 0.0f;
        QX_BT_Body_State state;
        if (!in.f32(frame))
            return false;
        // The track is a sorted array: keys must be finite and strictly ascending.
        if (!std::isfinite(frame) || (i > 0 && !(frame > previous))) {
            return in.fail("track frame " + std::to_string(frame) +
                           " is not finite or not after the one before");
        }
        if (!ReadBodyState(in, state, "a track transform"))
            return false;
        track.insert_or_assign(frame, state); // appends: the key is the largest so far
        previous = frame;
    }
    return true;
}

bool ReadBodyRecord(QX_Byte_Reader& in, QX_BT_Body_Data& r) {
    uint8_t reserved = 0;
    int32_t pristine = 1;
    bool ok = in.i32(r.childFlag) && in.i32(r.depth) && in.f32(r.variationFactor) &&
              in.u8(reserved) && in.i32(r.age) && in.i32(r.demolishedAs) &&
              in.floats(glm::value_ptr(r.forceVelocity), 3) && in.u8(reserved) &&
              in.floats(glm::value_ptr(r.frameStartPosition), 3) && in.i32(r.state) &&
              in.f32(r.impulseSum) && in.floats(glm::value_ptr(r.impactPoint), 3) &&
              in.f32(r.lifeStart) && in.f32(r.lifeEnd) && in.i32(r.beforeMode) &&
              in.i32(r.afterMode) && in.f32(r.pendingLifeStart) && in.f32(r.pendingLifeEnd) &&
              in.i32(r.pendingBeforeMode) && in.i32(r.pendingAfterMode) && in.i32(pristine) &&
              ReadBodyState(in, r.startState, "the start state's transform") &&
              ReadTrack(in, r.track) && in.i32(r.shapeIndex) && in.i32(r.parentIndex);
    // The two reserved flags are per-frame marks: whatever the file holds, they load as false.
    r.needsRecord = false;
    r.supported = false;
    r.pristine = pristine != 0;
    return ok;
}

bool ReadBodies(QX_Byte_Reader& in, Snapshot& s) {
    in.section("bodies");
    size_t count = 0;
    if (!in.count(count, kBodyRecordBytes, "body count", true))
        return false;
    s.stored.records.resize(count);
    const size_t groups = s.stored.groups.size();
    // Every body owns its group: rewinding deletes a destroyed body's group with it.
    std::vector<int32_t> owner(groups, -1);
    for (size_t b = 0; b < count; ++b) {
        in.section("body " + std::to_string(b));
        QX_BT_Body_Data& r = s.stored.records[b];
        if (!ReadBodyRecord(in, r))
            return false;
        if (r.shapeIndex < -1 || r.shapeIndex >= int64_t(groups)) {
            return in.fail("group index " + std::to_string(r.shapeIndex) + " is outside the " +
                           std::to_string(groups) + " groups");
        }
        if (r.shapeIndex >= 0 && owner[size_t(r.shapeIndex)] >= 0) {
            return in.fail("group " + std::to_string(r.shapeIndex) + " is already body " +
                           std::to_string(owner[size_t(r.shapeIndex)]) + "'s");
        }
        if (r.shapeIndex >= 0)
            owner[size_t(r.shapeIndex)] = int32_t(b);
        if (r.parentIndex < -1 || r.parentIndex >= int64_t(count)) {
            return in.fail("parent index " + std::to_string(r.parentIndex) + " is outside the " +
                           std::to_string(count) + " bodies");
        }
    }
    return true;
}

/// Records a consistency failure in the reader; true when there is none.
bool Passes(QX_Byte_Reader& in, const std::optional<QX_Check_Failure>& failure) {
    if (!failure)
        return true;
    in.section(failure->section);
    return in.fail(failure->problem);
}

bool ParseSnapshot(QX_Byte_Reader& in, Snapshot& s) {
    in.section("integer settings");
    if (!ReadSettingsTable(in, s.ints, "integer settings table"))
        return false;
    in.section("float settings");
    if (!ReadSettingsTable(in, s.floats, "float settings table"))
        return false;
    return ReadMeshRecord(in, s.input, "input mesh") &&
           ReadMeshRecord(in, s.simulation, "simulation mesh") &&
           ReadMeshRecord(in, s.captured, "captured mesh") && ReadHistory(in, s) &&
           Passes(in, CheckLayoutCuts(s.simulation, s.history, s.baseLayout)) &&
           ReadShapes(in, s) && ReadGroups(in, s) && ReadBodies(in, s) &&
           Passes(in, CheckParentChains(s.stored)) &&
           Passes(in, CheckBodiesFitLayouts(s.simulation, s.history, s.baseLayout, s.stored));
}

} // namespace

void WriteBodyRecord(QX_Byte_Writer& out, const QX_BT_Body_Data& body, int32_t shapeIndex,
                     int32_t parentIndex) {
    out.i32(body.childFlag);
    out.i32(body.depth);
    out.f32(body.variationFactor);
    out.u8(0); // needsRecord: a per-frame mark, never stored
    out.i32(body.age);
    out.i32(body.demolishedAs);
    out.floats(glm::value_ptr(body.forceVelocity), 3);
    out.u8(0); // supported: recomputed every frame, never stored
    out.floats(glm::value_ptr(body.frameStartPosition), 3);
    out.i32(body.state);
    out.f32(body.impulseSum);
    out.floats(glm::value_ptr(body.impactPoint), 3);
    out.f32(body.lifeStart);
    out.f32(body.lifeEnd);
    out.i32(body.beforeMode);
    out.i32(body.afterMode);
    out.f32(body.pendingLifeStart);
    out.f32(body.pendingLifeEnd);
    out.i32(body.pendingBeforeMode);
    out.i32(body.pendingAfterMode);
    out.i32(body.pristine ? 1 : 0);
    WriteBodyState(out, body.startState);
    out.i32(static_cast<int32_t>(body.track.size()));
    for (const auto& [frame, state] : body.track) {
        out.f32(frame);
        WriteBodyState(out, state);
    }
    out.i32(shapeIndex);
    out.i32(parentIndex);
}

std::vector<uint8_t> WriteCoreSnapshot(const QX_BT_MeshController& core) {
    assert(core.pending.empty() && "restorePending must run before a snapshot is written");
    QX_Byte_Writer out;
    out.reserve(EstimatedSize(core));
    WriteSettingsSection(out, core);
    WriteMeshRecord(out, core.inputMesh);
    WriteMeshRecord(out, core.simulationMesh);
    WriteMeshRecord(out, core.capturedMesh);
    WriteHistorySection(out, core);
    const auto shapeIndex = WriteShapes(out, core.elementShapes);
    WriteGroups(out, core.bodyShapes, shapeIndex);
    WriteBodies(out, core);
    return std::move(out.bytes());
}

bool ReadCoreSnapshot(std::span<const uint8_t> blob, QX_BT_MeshController& core,
                      std::string* error) {
    QX_Byte_Reader in(blob, "core snapshot");
    Snapshot s;
    if (!ParseSnapshot(in, s)) {
        if (error)
            *error = in.error();
        return false;
    }
    core.intSettings.assign(s.ints);
    core.floatSettings.assign(s.floats);
    core.inputMesh = std::move(s.input);
    core.simulationMesh = std::move(s.simulation);
    core.capturedMesh = std::move(s.captured);
    core.meshHistory = std::move(s.history);
    core.baseLayout = std::move(s.baseLayout);
    core.startTransform = s.startTransform;
    core.pending = std::move(s.stored);
    return true;
}

} // namespace Quarix
