// The core snapshot blob: byte layout, and refusal of damaged blobs without touching the core.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "PersistTestSupport.h"
#include "modifier/persist/QX_Core_Snapshot.h"

namespace Quarix {
namespace {

using PersistTest::AssembleByHand;
using PersistTest::Patch;
using PersistTest::SimulatedObject;

std::vector<uint8_t> Le(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> out;
    for (uint32_t w : words) {
        for (int i = 0; i < 4; ++i)
            out.push_back(uint8_t(w >> (8 * i)));
    }
    return out;
}

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

TEST(CoreSnapshotLayout, SettingsTableOfThreeEntriesTakes31Bytes) {
    QX_BT_Float_Settings table;
    table.set(40, 0.25f);
    table.setQuiet(QX_BT_Float_Key{3, 0.0f}, -1.5f);
    table.set(7, 2.0f);
    QX_Byte_Writer out;
    WriteSettingsTable(out, table);

    std::vector<uint8_t> expected =
        Le({3, 3, 7, 40, Bits(-1.5f), Bits(2.0f), Bits(0.25f)}); // count, keys, values
    expected.insert(expected.end(), {0, 1, 1});                  // changed flags
    EXPECT_EQ(out.bytes().size(), 31u);
    EXPECT_EQ(out.bytes(), expected);
}

TEST(CoreSnapshotLayout, BodyRecordWithEmptyTrackTakes206BytesWithItsStartState) {
    QX_BT_Body_Data body; // pristine: the start state is the identity, and still written
    body.childFlag = 1;
    body.depth = 2;
    body.needsRecord = true;
    body.supported = true;
    body.state = Kinematic;
    QX_Byte_Writer out;
    WriteBodyRecord(out, body, 4, -1);
    const std::vector<uint8_t>& b = out.bytes();
    ASSERT_EQ(b.size(), kBodyRecordBytes);
    auto i32At = [&](size_t at) {
        int32_t v;
        std::memcpy(&v, b.data() + at, 4);
        return v;
    };
    EXPECT_EQ(i32At(0), 1);
    EXPECT_EQ(i32At(4), 2);
    EXPECT_EQ(b[12], 0) << "needsRecord is reserved and written as 0";
    EXPECT_EQ(b[33], 0) << "supported is reserved and written as 0";
    EXPECT_EQ(i32At(46), Kinematic);
    EXPECT_EQ(i32At(98), 1) << "pristine";
    for (int column = 0; column < 4; ++column) { // identity start transform at byte 102
        for (int row = 0; row < 4; ++row)
            EXPECT_EQ(uint32_t(i32At(102 + 4 * size_t(4 * column + row))),
                      Bits(column == row ? 1.0f : 0.0f));
    }
    EXPECT_EQ(i32At(194), 0) << "empty track";
    EXPECT_EQ(i32At(198), 4) << "group index";
    EXPECT_EQ(i32At(202), -1) << "parent index";

    body.track.insert_or_assign(1.0f, QX_BT_Body_State{});
    body.track.insert_or_assign(2.0f, QX_BT_Body_State{});
    QX_Byte_Writer two;
    WriteBodyRecord(two, body, 0, 0);
    EXPECT_EQ(two.size(), kBodyRecordBytes + 2 * (4 + kBodyStateBytes));
}

TEST(CoreSnapshotLayout, BlobOfASimulatedObjectEqualsOneAssembledFromTheLayout) {
    SimulatedObject scene;
    const QX_BT_MeshController& core = scene.core();
    // The scene must exercise what the layout has: fragments with a parent, a mesh that grew,
    // a map channel and more than one body.
    ASSERT_EQ(core.bodies.size(), 4u);
    ASSERT_EQ(core.bodies[2]->parent, core.bodies[0].get());
    ASSERT_GT(core.simulationMesh.faceCount(), core.inputMesh.faceCount());
    ASSERT_NE(core.meshHistory.begin()->second, core.meshHistory.rbegin()->second);
    ASSERT_TRUE(core.simulationMesh.channels.count(1));

    EXPECT_EQ(AssembleByHand(core).bytes, WriteCoreSnapshot(core));
}

/// A core as LoadCoreChunks meets it: freshly made.
struct FreshCore {
    QX_BT_MeshController core{nullptr};
    bool untouched() const {
        QX_BT_MeshController pristine(nullptr);
        auto sameTable = [](const auto& a, const auto& b) {
            if (a.entries().size() != b.entries().size())
                return false;
            for (auto i = a.entries().begin(), j = b.entries().begin(); i != a.entries().end();
                 ++i, ++j) {
                if (i->first != j->first || i->second.value != j->second.value ||
                    i->second.changed != j->second.changed)
                    return false;
            }
            return true;
        };
        return core.pending.empty() && core.simulationMesh == QX_BT_Mesh_Data{} &&
               core.inputMesh == QX_BT_Mesh_Data{} && core.meshHistory.empty() &&
               core.startTransform == glm::mat4(1.0f) &&
               sameTable(core.intSettings, pristine.intSettings) &&
               sameTable(core.floatSettings, pristine.floatSettings);
    }
};

TEST(CoreSnapshotRead, EveryTruncatedBlobIsRefusedAndLeavesTheCoreUntouched) {
    SimulatedObject scene;
    const std::vector<uint8_t> blob = WriteCoreSnapshot(scene.core());
    std::vector<size_t> lengths;
    for (size_t n = 0; n < blob.size(); n += (n < 600 ? 1 : 37))
        lengths.push_back(n);
    lengths.push_back(blob.size() - 1);
    for (size_t n : lengths) {
        FreshCore fresh;
        std::string error;
        ASSERT_FALSE(ReadCoreSnapshot(std::span(blob.data(), n), fresh.core, &error)) << n;
        EXPECT_NE(error.find("byte offset"), std::string::npos) << error;
        EXPECT_TRUE(fresh.untouched()) << "after a blob cut to " << n << " bytes";
    }
    FreshCore whole;
    std::string error;
    EXPECT_TRUE(ReadCoreSnapshot(blob, whole.core, &error)) << error;
}

TEST(CoreSnapshotRead, DamagedFieldsAreRefusedNamingSectionAndOffset) {
    SimulatedObject scene;
    const PersistTest::HandBlob hand = AssembleByHand(scene.core());
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    struct Damage {
        const char* what;
        std::string field;
        size_t plus;
        uint32_t bits;
        const char* section;
    };
    const size_t translationX = 4 + 12 * 4; // frame, then columns 0..2
    const std::vector<Damage> cases = {
        {"negative entry count", "int settings", 4, uint32_t(-1), "integer settings"},
        {"history count past the end", "history count", 0, 0x7fffffff, "mesh history"},
        {"mesh corner past its vertices", "simulation corner 0", 0, 100000, "simulation mesh"},
        {"map channel 150", "simulation channel number", 0, 150, "simulation mesh"},
        {"layout cutting a face in two", "history count", 16, 5, "mesh history"},
        {"layout cutting away used vertices", "history count", 12, 1, "mesh history"},
        {"NaN start transform", "start transform", 20, Bits(kNaN), "start transform"},
        {"shape face out of range", "shape 1 face 0", 0, 5000, "shape 1"},
        {"group child out of range", "group 1 child 0", 0, 17, "group 1"},
        {"body count past the end", "body count", 0, 0xffffffffu, "bodies"},
        {"track length past the end", "body 0 track count", 0, 0x40000000, "body 0"},
        {"infinite track translation", "body 1 track 2", translationX, Bits(kInf), "body 1"},
        {"track frames out of order", "body 1 track 3", 0, Bits(0.0f), "body 1"},
        {"group index out of range", "body 3 shape index", 0, 4000, "body 3"},
        {"two bodies sharing one group", "body 1 shape index", 0, 0, "body 1"},
        {"a fragment's shape left to no body", "body 3 shape index", 0, uint32_t(-1),
         "no body uses"},
        {"parent index past the bodies", "body 2 parent index", 0, 4, "body 2"},
        {"parent index below -1", "body 3 parent index", 0, uint32_t(-2), "body 3"},
        {"a body its own parent", "body 1 parent index", 0, 1, "leads back to itself"},
        {"two bodies each other's parent", "body 0 parent index", 0, 2, "leads back to itself"},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        ASSERT_TRUE(hand.at.count(d.field)) << d.field;
        std::vector<uint8_t> blob = hand.bytes;
        Patch(blob, hand.at.at(d.field) + d.plus, d.bits);
        FreshCore fresh;
        std::string error;
        EXPECT_FALSE(ReadCoreSnapshot(blob, fresh.core, &error));
        EXPECT_NE(error.find(d.section), std::string::npos) << error;
        EXPECT_NE(error.find("byte offset"), std::string::npos) << error;
        EXPECT_TRUE(fresh.untouched());
    }

    // The last history entry made as small as the first: consistent on its own, but the
    // fragments born at frame 4 would outlive a rewind to it and move vertices cut away.
    std::vector<uint8_t> blob = hand.bytes;
    const size_t entries = hand.at.at("history count") + 4;
    const size_t entryBytes = 4 + 4 + 24; // frame, length, layout with one channel
    const size_t last = scene.core().meshHistory.size() - 1;
    std::memcpy(blob.data() + entries + last * entryBytes + 8, blob.data() + entries + 8, 24);
    FreshCore fresh;
    std::string error;
    EXPECT_FALSE(ReadCoreSnapshot(blob, fresh.core, &error));
    EXPECT_NE(error.find("body 2"), std::string::npos) << error;
    EXPECT_TRUE(fresh.untouched());
}

// Relax stores the state of every body alive at its frame, fragments included, and relaxed
// bodies outlive every rewind. Rewinding to before the fragments were born must neither make the
// saved blob unreadable nor, once the relaxed state is reset, cut the fragments' faces away.
TEST(CoreSnapshotRead, RelaxedFragmentsOutlivingARewindSaveAndReloadWhole) {
    SimulatedObject scene(8);
    QX_BT_MeshController& core = scene.core();
    ASSERT_EQ(core.bodies.size(), 4u) << "two boxes, the first split at frame 4";
    const size_t corners = core.simulationMesh.geometry.faces.size();
    core.recordRelaxed(6.0f, 1.0f);
    core.rewindTo(1.0f, true);
    core.rewindTo(-1.0f, true);
    EXPECT_EQ(core.bodies.size(), 4u) << "relaxed bodies survive";
    EXPECT_EQ(core.simulationMesh.geometry.faces.size(), corners);

    QX_BT_MeshController reloaded(nullptr);
    std::string error;
    ASSERT_TRUE(ReadCoreSnapshot(WriteCoreSnapshot(core), reloaded, &error)) << error;

    core.resetRelaxed(5.0f);
    ASSERT_EQ(core.bodies.size(), 4u) << "the fragments were born before frame 5";
    EXPECT_EQ(core.simulationMesh.geometry.faces.size(), corners)
        << "the fragments' faces belong to the layout of frame 5";
    core.evaluateOutput(5.0f);
    EXPECT_EQ(core.outputMesh.geometry.faces.size(), corners);
}

TEST(CoreSnapshotRead, BytesAfterTheLastSectionAreIgnored) {
    SimulatedObject scene(6);
    std::vector<uint8_t> blob = WriteCoreSnapshot(scene.core());
    blob.insert(blob.end(), {1, 2, 3, 4, 5});
    QX_BT_MeshController core(nullptr);
    std::string error;
    EXPECT_TRUE(ReadCoreSnapshot(blob, core, &error)) << error;
    EXPECT_EQ(core.pending.records.size(), scene.core().bodies.size());
}

} // namespace
} // namespace Quarix
