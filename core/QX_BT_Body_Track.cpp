#include "core/QX_BT_Body_Track.h"

namespace Quarix {

QX_BT_Body_Track::const_iterator QX_BT_Body_Track::upper_bound_guessed(float frame) const {
    const size_t n = entries_.size();
    if (n == 0 || !(frame >= entries_.front().first) || !(frame < entries_.back().first))
        return upper_bound(frame);
    const size_t guess = static_cast<size_t>(frame - entries_.front().first) + 1;
    if (guess < n && entries_[guess - 1].first <= frame && frame < entries_[guess].first)
        return entries_.begin() + static_cast<std::ptrdiff_t>(guess);
    return upper_bound(frame);
}

QX_BT_Body_State SampleTrack(const QX_BT_Body_Track& track, float frame) {
    if (track.empty())
        return QX_BT_Body_State{};
    if (track.size() == 1)
        return track.begin()->second;

    // U: first record after the frame; L: the record before it. Past the last key both are the
    // last record, before the first key both are the first, so the blend returns that record.
    auto upper = track.upper_bound_guessed(frame);
    auto lower = upper;
    float t = 0.0f;
    if (upper == track.end()) {
        lower = upper = std::prev(track.end());
    } else if (upper == track.begin()) {
        t = 1.0f;
    } else {
        lower = std::prev(upper);
        const float span = upper->first - lower->first;
        if (span > 0.0f)
            t = (frame - lower->first) / span;
    }

    const QX_BT_Body_State& a = lower->second;
    const QX_BT_Body_State& b = upper->second;
    const float s = 1.0f - t;
    QX_BT_Body_State result;
    for (int c = 0; c < 4; ++c) {
        const glm::vec3 blended = glm::vec3(a.transform[c]) * s + glm::vec3(b.transform[c]) * t;
        result.transform[c] = glm::vec4(blended, c == 3 ? 1.0f : 0.0f);
    }
    result.linearVelocity = a.linearVelocity * s + b.linearVelocity * t;
    result.angularVelocity = a.angularVelocity * s + b.angularVelocity * t;
    result.tag = a.tag;
    return result;
}

} // namespace Quarix
