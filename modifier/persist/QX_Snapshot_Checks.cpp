#include "modifier/persist/QX_Snapshot_Checks.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace Quarix {

namespace {

/// Highest host map channel a mesh record may carry; -1 (explicit normals) is the lowest.
constexpr int32_t kMaxMapChannel = 99;

std::string CheckChannel(const QX_BT_Mesh_Channel& channel, size_t corners, const char* name) {
    if (channel.faces.size() != corners) {
        return std::string(name) + " has " + std::to_string(channel.faces.size()) +
               " face corners for " + std::to_string(corners / 3) + " faces";
    }
    if (channel.vertices.size() % 3 != 0) {
        return std::string(name) + " has " + std::to_string(channel.vertices.size()) +
               " vertex floats, not a multiple of 3";
    }
    const size_t vertices = channel.vertexCount();
    for (int32_t v : channel.faces) {
        if (v < 0 || size_t(v) >= vertices) {
            return std::string(name) + " uses vertex " + std::to_string(v) + " of " +
                   std::to_string(vertices);
        }
    }
    return {};
}

/// Largest index among the first k corners of a face array, for every k: lets every layout of
/// the history be checked against the mesh in constant time.
struct PrefixMax {
    std::vector<int32_t> max;
    explicit PrefixMax(const std::vector<int32_t>& corners) : max(corners.size()) {
        int32_t m = -1;
        for (size_t i = 0; i < corners.size(); ++i)
            max[i] = m = std::max(m, corners[i]);
    }
    /// Whether the first `corners` corners all index fewer than `vertices` vertices.
    bool fits(size_t corners, size_t vertices) const {
        return corners == 0 || size_t(max[corners - 1]) < vertices;
    }
};

/// Checks that cutting the (well-formed) simulation mesh back to a layout, as rewinding does,
/// leaves a well-formed record: whole faces, every channel still matching the geometry's faces
/// and no index past the vertices that remain.
class LayoutChecker {
public:
    explicit LayoutChecker(const QX_BT_Mesh_Data& mesh)
        : mesh_(mesh), geometry_(mesh.geometry.faces) {
        for (const auto& [number, channel] : mesh.channels)
            channels_.emplace(number, PrefixMax(channel.faces));
    }
    std::string check(const QX_BT_Mesh_Layout& layout) const {
        const size_t corners = std::min<size_t>(mesh_.geometry.faces.size(), layout.cornerCount);
        const size_t floats =
            std::min<size_t>(mesh_.geometry.vertices.size(), size_t(layout.vertexCount) * 3);
        if (corners % 3 != 0)
            return "layout cuts the geometry inside a face (" + std::to_string(corners) +
                   " corners)";
        if (!geometry_.fits(corners, floats / 3))
            return "layout keeps faces whose vertices it cuts away";
        for (const auto& [number, channel] : mesh_.channels) {
            size_t channelCorners = channel.faces.size();
            size_t channelFloats = channel.vertices.size();
            if (auto it = layout.channels.find(number); it != layout.channels.end()) {
                channelCorners = std::min(channelCorners, size_t(std::max(it->second.corners, 0)));
                channelFloats =
                    std::min(channelFloats, size_t(std::max(it->second.vertexFloats, 0)));
            }
            if (channelCorners != corners || channelFloats % 3 != 0 ||
                !channels_.at(number).fits(channelCorners, channelFloats / 3))
                return "layout leaves channel " + std::to_string(number) +
                       " out of step with the geometry";
        }
        return {};
    }

private:
    const QX_BT_Mesh_Data& mesh_;
    PrefixMax geometry_;
    std::map<int32_t, PrefixMax> channels_;
};

} // namespace

std::optional<QX_Check_Failure> CheckLayoutCuts(const QX_BT_Mesh_Data& simulation,
                                                const QX_BT_Mesh_History& history,
                                                const QX_BT_Mesh_Layout& base) {
    const LayoutChecker checker(simulation);
    for (const auto& [frame, layout] : history) {
        if (std::string why = checker.check(layout); !why.empty())
            return QX_Check_Failure{
                "mesh history", "entry at frame " + std::to_string(int64_t(frame)) + ": " + why};
    }
    if (std::string why = checker.check(base); !why.empty())
        return QX_Check_Failure{"current layout", why};
    return std::nullopt;
}

namespace {

/// How much of the simulation mesh something needs or a layout keeps: geometry face corners and
/// vertices.
struct Extent {
    size_t corners = 0;
    size_t vertices = 0;
    bool within(const Extent& room) const {
        return corners <= room.corners && vertices <= room.vertices;
    }
    Extent least(const Extent& other) const {
        return {std::min(corners, other.corners), std::min(vertices, other.vertices)};
    }
    Extent most(const Extent& other) const {
        return {std::max(corners, other.corners), std::max(vertices, other.vertices)};
    }
};
constexpr Extent kUnbounded{SIZE_MAX, SIZE_MAX};

/// What a layout keeps of the mesh after a cut.
Extent Kept(const QX_BT_Mesh_Data& mesh, const QX_BT_Mesh_Layout& layout) {
    return {std::min<size_t>(mesh.geometry.faces.size(), layout.cornerCount),
            std::min<size_t>(mesh.geometry.vertexCount(), layout.vertexCount)};
}

/// What each stored shape needs of the mesh: up to its last face and that face's vertices.
std::vector<Extent> ShapeNeeds(const QX_BT_Mesh_Data& mesh, const QX_BT_Stored_Bodies& stored) {
    std::vector<Extent> needs;
    for (const QX_BT_Face_List& faces : stored.elementFaces) {
        Extent need;
        for (int32_t f : faces) {
            need.corners = std::max(need.corners, 3 * size_t(f) + 3);
            for (size_t k = 0; k < 3; ++k) {
                const size_t v = size_t(mesh.geometry.faces[3 * size_t(f) + k]);
                need.vertices = std::max(need.vertices, v + 1);
            }
        }
        needs.push_back(need);
    }
    return needs;
}

/// The layouts a rewind can cut the mesh to: per history entry the smallest from it on, and
/// the base layout used before the history starts.
class RewindLayouts {
public:
    RewindLayouts(const QX_BT_Mesh_Data& mesh, const QX_BT_Mesh_History& history,
                  const QX_BT_Mesh_Layout& base)
        : base_(Kept(mesh, base)), smallestFrom_(history.size()) {
        for (const auto& [frame, layout] : history)
            frames_.push_back(frame);
        Extent smallest = kUnbounded;
        size_t i = history.size();
        for (auto it = history.rbegin(); it != history.rend(); ++it)
            smallestFrom_[--i] = smallest = smallest.least(Kept(mesh, it->second));
    }
    /// The least a body born at `lifeStart` can be left with: every entry from the one a rewind
    /// to lifeStart uses on, and the base layout when it is born before the history.
    Extent roomFor(float lifeStart) const {
        const bool beforeHistory = frames_.empty() || !(lifeStart >= frames_.front());
        Extent room = beforeHistory ? base_ : kUnbounded;
        if (!frames_.empty()) {
            const size_t from =
                beforeHistory ? 0
                              : size_t(std::upper_bound(frames_.begin(), frames_.end(), lifeStart) -
                                       frames_.begin()) -
                                    1;
            room = room.least(smallestFrom_[from]);
        }
        return room;
    }
    /// The smallest layout of all.
    Extent least() const { return frames_.empty() ? base_ : base_.least(smallestFrom_[0]); }

private:
    Extent base_;
    std::vector<float> frames_;
    std::vector<Extent> smallestFrom_;
};

} // namespace

// Rewinding to a frame keeps every body born at or before it and cuts the simulation mesh back
// to the layout of that frame (the base layout before the history starts). A body whose faces
// reach past such a layout would move vertices that are no longer there. Shapes of no body are
// never removed by rewinding, so they must fit the smallest layout of all.
std::optional<QX_Check_Failure> CheckBodiesFitLayouts(const QX_BT_Mesh_Data& mesh,
                                                      const QX_BT_Mesh_History& history,
                                                      const QX_BT_Mesh_Layout& base,
                                                      const QX_BT_Stored_Bodies& stored) {
    const std::vector<Extent> needs = ShapeNeeds(mesh, stored);
    const RewindLayouts layouts(mesh, history, base);
    std::vector<bool> owned(needs.size(), false);
    for (size_t b = 0; b < stored.records.size(); ++b) {
        const QX_BT_Body_Data& r = stored.records[b];
        if (r.shapeIndex < 0)
            continue;
        Extent need;
        for (int32_t shape : stored.groups[size_t(r.shapeIndex)]) {
            owned[size_t(shape)] = true;
            need = need.most(needs[size_t(shape)]);
        }
        if (!need.within(layouts.roomFor(r.lifeStart))) {
            return QX_Check_Failure{"body " + std::to_string(b),
                                    "its faces reach past a mesh layout it can be rewound to"};
        }
    }
    for (size_t shape = 0; shape < needs.size(); ++shape) {
        if (!owned[shape] && !needs[shape].within(layouts.least())) {
            return QX_Check_Failure{"shape " + std::to_string(shape),
                                    "no body uses it and its faces reach past a mesh layout"};
        }
    }
    return std::nullopt;
}

std::string CheckMeshRecord(const QX_BT_Mesh_Data& mesh) {
    const size_t corners = mesh.geometry.faces.size();
    if (corners != mesh.faceInfos.size() * 3) {
        return "geometry has " + std::to_string(corners) + " face corners for " +
               std::to_string(mesh.faceInfos.size()) + " face infos";
    }
    if (std::string why = CheckChannel(mesh.geometry, corners, "geometry"); !why.empty())
        return why;
    for (const auto& [number, channel] : mesh.channels) {
        const std::string name = "channel " + std::to_string(number);
        if (number < kNormalChannel || number > kMaxMapChannel)
            return name + " is not a map channel (0..99) nor the normals (-1)";
        if (std::string why = CheckChannel(channel, corners, name.c_str()); !why.empty())
            return why;
    }
    return {};
}

// Colours each body once: 0 unvisited, 1 on the chain being walked, 2 known to end at a root.
// Linear in the number of bodies however the chains are shaped.
std::optional<QX_Check_Failure> CheckParentChains(const QX_BT_Stored_Bodies& stored) {
    const std::vector<QX_BT_Body_Data>& records = stored.records;
    std::vector<uint8_t> state(records.size(), 0);
    std::vector<size_t> chain;
    for (size_t start = 0; start < records.size(); ++start) {
        chain.clear();
        int64_t b = int64_t(start);
        while (b >= 0 && state[size_t(b)] == 0) {
            state[size_t(b)] = 1;
            chain.push_back(size_t(b));
            b = records[size_t(b)].parentIndex;
        }
        if (b >= 0 && state[size_t(b)] == 1) {
            return QX_Check_Failure{"body " + std::to_string(b),
                                    "its chain of parents leads back to itself"};
        }
        for (size_t c : chain)
            state[c] = 2;
    }
    return std::nullopt;
}

} // namespace Quarix
