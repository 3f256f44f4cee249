#include "core/QX_BT_Body_Track.h"

#include <cmath>

#include <gtest/gtest.h>

namespace Quarix {
namespace {

QX_BT_Body_State MakeState(float x, float vx, int32_t tag) {
    QX_BT_Body_State s;
    s.transform[3] = glm::vec4(x, 2 * x, 3 * x, 1);
    s.transform[0] = glm::vec4(1, x, 0, 0);
    s.linearVelocity = glm::vec3(vx, 0, 0);
    s.angularVelocity = glm::vec3(0, 0, -vx);
    s.tag = tag;
    return s;
}

TEST(QX_BT_Body_Track, KeepsFramesOrderedWhateverTheInsertOrder) {
    QX_BT_Body_Track track;
    track[5.0f] = MakeState(5, 0, 5);
    track[1.0f] = MakeState(1, 0, 1);
    track.insert_or_assign(3.0f, MakeState(3, 0, 3));
    track[3.0f].tag = 33; // overwriting keeps one entry
    ASSERT_EQ(track.size(), 3u);
    std::vector<float> keys;
    for (const auto& [frame, state] : track)
        keys.push_back(frame);
    EXPECT_EQ(keys, (std::vector<float>{1, 3, 5}));
    EXPECT_EQ(track.find(3.0f)->second.tag, 33);
    EXPECT_EQ(track.find(2.0f), track.end());
    track.erase(track.upper_bound(1.0f), track.end());
    EXPECT_EQ(track.size(), 1u);
}

TEST(QX_BT_Body_Track, SampleEmptyAndSingleRecord) {
    QX_BT_Body_Track track;
    EXPECT_EQ(SampleTrack(track, 4.0f), QX_BT_Body_State{});
    track[2.0f] = MakeState(2, 7, 9);
    EXPECT_EQ(SampleTrack(track, -100.0f), MakeState(2, 7, 9));
    EXPECT_EQ(SampleTrack(track, 100.0f), MakeState(2, 7, 9));
}

TEST(QX_BT_Body_Track, SampleClampsOutsideAndBlendsInside) {
    QX_BT_Body_Track track;
    track[0.0f] = MakeState(0, 0, 1);
    track[2.0f] = MakeState(4, 8, 2);
    track[3.0f] = MakeState(10, 2, 3);
    EXPECT_EQ(SampleTrack(track, -1.0f), track.begin()->second);
    EXPECT_EQ(SampleTrack(track, 3.0f), MakeState(10, 2, 3));
    EXPECT_EQ(SampleTrack(track, 50.0f), MakeState(10, 2, 3));
    EXPECT_EQ(SampleTrack(track, 2.0f), MakeState(4, 8, 2));

    const QX_BT_Body_State mid = SampleTrack(track, 1.0f);
    EXPECT_EQ(mid.transform[3], glm::vec4(2, 4, 6, 1));
    EXPECT_EQ(mid.transform[0], glm::vec4(1, 2, 0, 0)); // blended, not re-orthonormalised
    EXPECT_EQ(mid.linearVelocity, glm::vec3(4, 0, 0));
    EXPECT_EQ(mid.angularVelocity, glm::vec3(0, 0, -4));
    EXPECT_EQ(mid.tag, 1); // the earlier record's tag

    const QX_BT_Body_State quarter = SampleTrack(track, 2.25f);
    EXPECT_FLOAT_EQ(quarter.transform[3].x, 5.5f);
    EXPECT_EQ(quarter.tag, 2);
}

TEST(QX_BT_Body_Track, GuessedUpperBoundAgreesWithTheSearchOnIrregularTracks) {
    // One entry per frame from 5 on, a demolition's extra entry at 7.5, a gap after 9.
    QX_BT_Body_Track track;
    for (float f : {5.0f, 6.0f, 7.0f, 7.5f, 8.0f, 9.0f, 14.0f, 15.0f, 15.25f})
        track[f] = MakeState(f, 0, 0);
    for (float x = 3.0f; x < 17.0f; x += 0.125f)
        EXPECT_EQ(track.upper_bound_guessed(x), track.upper_bound(x)) << x;
    for (float x : {-INFINITY, INFINITY, NAN, 1e30f, -1e30f, 15.25f, 15.2499f})
        EXPECT_EQ(track.upper_bound_guessed(x), track.upper_bound(x)) << x;
    const QX_BT_Body_Track empty;
    EXPECT_EQ(empty.upper_bound_guessed(1.0f), empty.end());
}

TEST(QX_BT_Body_Track, EntryStaysCompact) {
    // The recorded state is 92 bytes; the frame key adds 4. Anything more per frame is overhead.
    EXPECT_EQ(sizeof(QX_BT_Body_State), 92u);
    EXPECT_EQ(sizeof(QX_BT_Body_Track::value_type), 96u);
}

} // namespace
} // namespace Quarix
