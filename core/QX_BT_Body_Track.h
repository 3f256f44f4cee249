#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include <glm/glm.hpp>

namespace Quarix {

/// A body's recorded state at one simulation frame.
struct QX_BT_Body_State {
    /// Body transform relative to its node's animated position (column-major, translation in
    /// column 3), in simulation units.
    glm::mat4 transform{1.0f};
    /// Linear velocity, simulation units per second.
    glm::vec3 linearVelocity{0.0f};
    /// Angular velocity, radians per second.
    glm::vec3 angularVelocity{0.0f};
    /// The body's age (frames simulated since creation) at that frame.
    int32_t tag = 0;

    bool operator==(const QX_BT_Body_State&) const = default;
};

/// A body's recorded motion: states keyed by simulation frame, in ascending frame order.
///
/// Behaves like an ordered map from float frame to state, but stores its entries in one sorted
/// array: a body records one state per frame, almost always appended at the end, and a map node
/// per frame would cost more memory than the 92-byte state itself.
class QX_BT_Body_Track {
public:
    using value_type = std::pair<float, QX_BT_Body_State>;
    using iterator = std::vector<value_type>::iterator;
    using const_iterator = std::vector<value_type>::const_iterator;

    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear() { entries_.clear(); }
    /// Releases spare capacity (after loading or trimming a long track).
    void shrink_to_fit() { entries_.shrink_to_fit(); }
    /// Bytes held by the entries, spare capacity included.
    size_t capacityBytes() const { return entries_.capacity() * sizeof(value_type); }

    /// First entry whose frame is not less than `frame`.
    iterator lower_bound(float frame) {
        return std::lower_bound(entries_.begin(), entries_.end(), frame, KeyLess{});
    }
    const_iterator lower_bound(float frame) const {
        return std::lower_bound(entries_.begin(), entries_.end(), frame, KeyLess{});
    }
    /// First entry whose frame is greater than `frame`.
    iterator upper_bound(float frame) {
        return std::upper_bound(entries_.begin(), entries_.end(), frame, KeyGreater{});
    }
    const_iterator upper_bound(float frame) const {
        return std::upper_bound(entries_.begin(), entries_.end(), frame, KeyGreater{});
    }
    /// upper_bound for sampling: a track holds one state per simulated frame, so the entry after
    /// `frame` usually sits at the frame's distance from the first entry. That place is checked
    /// first and the search runs only when it is not the answer; playing back many bodies then
    /// touches two entries of each track instead of a binary search's scattered ones.
    const_iterator upper_bound_guessed(float frame) const;
    /// The entry recorded at exactly `frame`, or end().
    iterator find(float frame) {
        auto it = lower_bound(frame);
        return (it != end() && it->first == frame) ? it : end();
    }
    const_iterator find(float frame) const {
        auto it = lower_bound(frame);
        return (it != end() && it->first == frame) ? it : end();
    }
    /// Whether a state is recorded at exactly `frame`.
    bool contains(float frame) const { return find(frame) != end(); }

    /// The state at `frame`, inserting a default state when none is recorded there.
    QX_BT_Body_State& operator[](float frame) {
        auto it = lower_bound(frame);
        if (it == end() || it->first != frame)
            it = entries_.insert(it, value_type(frame, QX_BT_Body_State{}));
        return it->second;
    }
    /// Records `state` at `frame`, replacing what was there.
    void insert_or_assign(float frame, const QX_BT_Body_State& state) { (*this)[frame] = state; }

    /// Removes one entry; returns the entry after it.
    iterator erase(iterator it) { return entries_.erase(it); }
    /// Removes a range of entries; returns the entry after them.
    iterator erase(iterator first, iterator last) { return entries_.erase(first, last); }

    bool operator==(const QX_BT_Body_Track& other) const { return entries_ == other.entries_; }

private:
    struct KeyLess {
        bool operator()(const value_type& e, float frame) const { return e.first < frame; }
    };
    struct KeyGreater {
        bool operator()(float frame, const value_type& e) const { return frame < e.first; }
    };

    std::vector<value_type> entries_;
};

/// Samples a track at a (possibly fractional) frame: an empty track gives the identity with zero
/// velocities and tag 0; before the first key the first state, at or after the last key the last
/// state; in between the transform columns (xyz only, no re-orthonormalisation) and velocities are
/// blended linearly and the tag is the earlier state's.
QX_BT_Body_State SampleTrack(const QX_BT_Body_Track& track, float frame);

} // namespace Quarix
