// The modifier's scene chunks: round trips, the three save layouts, versions, version 2.0 data,
// and refusal of damaged results while the rest of the scene loads.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "PersistTestSupport.h"
#include "modifier/persist/QX_Core_Snapshot.h"
#include "tests/fixtures/QX_Test_Meshes.h"

namespace Quarix {
namespace {

using PersistTest::BlobFile;
using PersistTest::LoadChunks;
using PersistTest::SaveChunks;
using PersistTest::SimulatedObject;

template <typename Table>
void ExpectSameValuesAllUnchanged(const Table& saved, const Table& loaded) {
    ASSERT_EQ(saved.entries().size(), loaded.entries().size());
    auto j = loaded.entries().begin();
    for (const auto& [key, entry] : saved.entries()) {
        EXPECT_EQ(j->first, key);
        EXPECT_EQ(std::memcmp(&j->second.value, &entry.value, sizeof(entry.value)), 0) << key;
        EXPECT_EQ(j->second.changed, 0) << "key " << key << " loads as changed";
        ++j;
    }
}

void ExpectSameTrackBits(const QX_BT_Body_Track& a, const QX_BT_Body_Track& b) {
    ASSERT_EQ(a.size(), b.size());
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        EXPECT_EQ(std::memcmp(&i->first, &j->first, 4), 0);
        EXPECT_EQ(std::memcmp(&i->second.transform, &j->second.transform, 64), 0);
        EXPECT_EQ(std::memcmp(&i->second.linearVelocity, &j->second.linearVelocity, 12), 0);
        EXPECT_EQ(std::memcmp(&i->second.angularVelocity, &j->second.angularVelocity, 12), 0);
        EXPECT_EQ(i->second.tag, j->second.tag);
    }
}

TEST(PersistChunks, ReloadedResultsKeepEveryBitAndPlayBackWithoutSimulating) {
    SimulatedObject scene;
    QX_BT_MeshController& original = scene.core();
    for (auto& body : original.bodies) { // per-frame marks that must never come back
        body->needsRecord = true;
        body->supported = true;
    }
    const std::vector<uint8_t> file = SaveChunks(original);
    ASSERT_FALSE(file.empty());

    Fixtures::TestObject reloaded(QX_BT_Mesh_Data{});
    QX_BT_MeshController& core = *reloaded.core;
    std::string refusal;
    ASSERT_EQ(LoadChunks(file, core, &refusal), IO_OK);
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(core.loadedVersion, 2.3f);
    EXPECT_TRUE(core.bodies.empty()) << "nothing is rebuilt while loading";
    ExpectSameValuesAllUnchanged(original.intSettings, core.intSettings);
    ExpectSameValuesAllUnchanged(original.floatSettings, core.floatSettings);
    EXPECT_EQ(core.inputMesh, original.inputMesh);
    EXPECT_EQ(core.simulationMesh, original.simulationMesh);
    EXPECT_EQ(core.meshHistory, original.meshHistory);
    EXPECT_EQ(core.baseLayout, original.baseLayout);
    EXPECT_EQ(core.startTransform, original.startTransform);
    ASSERT_EQ(core.pending.records.size(), original.bodies.size());
    for (size_t b = 0; b < original.bodies.size(); ++b) {
        const QX_BT_Body_Data& r = core.pending.records[b];
        const QX_BT_Body& body = *original.bodies[b];
        ExpectSameTrackBits(r.track, body.track);
        EXPECT_FALSE(r.needsRecord);
        EXPECT_FALSE(r.supported);
        EXPECT_EQ(r.lifeStart, body.lifeStart);
        EXPECT_EQ(r.lifeEnd, body.lifeEnd);
        EXPECT_EQ(r.afterMode, body.afterMode);
        EXPECT_EQ(r.variationFactor, body.variationFactor);
    }
    EXPECT_EQ(core.pending.records[2].parentIndex, 0);

    // Saved again before anything was rebuilt: the same bytes.
    EXPECT_EQ(SaveChunks(core), file);

    // Playback rebuilds the bodies from the records and shows every frame as simulated.
    for (float f : {0.0f, 3.0f, 4.0f, 4.5f, 7.0f, 9.0f, 20.0f}) {
        original.evaluateOutput(f);
        core.evaluateOutput(f);
        EXPECT_EQ(core.outputMesh, original.outputMesh) << "frame " << f;
    }
    ASSERT_EQ(core.bodies.size(), original.bodies.size());
    EXPECT_EQ(core.bodies[3]->parent, core.bodies[0].get());
    for (size_t b = 0; b < original.bodies.size(); ++b)
        ExpectSameTrackBits(core.bodies[b]->track, original.bodies[b]->track);

    // Once rebuilt, the core writes a fresh blob of the same content.
    Fixtures::TestObject third(QX_BT_Mesh_Data{});
    ASSERT_EQ(LoadChunks(SaveChunks(core), *third.core, &refusal), IO_OK);
    EXPECT_EQ(refusal, "");
    ASSERT_EQ(third.core->pending.records.size(), original.bodies.size());
    for (size_t b = 0; b < original.bodies.size(); ++b)
        ExpectSameTrackBits(third.core->pending.records[b].track, original.bodies[b]->track);
}

TEST(PersistChunks, VersionsWithin0001Of23OrNewerParseAndOlderOnesDoNot) {
    SimulatedObject scene(6);
    const std::vector<uint8_t> blob = WriteCoreSnapshot(scene.core());
    for (float version : {2.29995f, 2.3f, 2.5f}) {
        QX_BT_MeshController core(nullptr);
        const std::vector<uint8_t> file = BlobFile(version, blob);
        ASSERT_EQ(LoadChunks(file, core), IO_OK);
        EXPECT_EQ(core.pending.records.size(), scene.core().bodies.size()) << version;
        EXPECT_EQ(core.loadedVersion, version);
        EXPECT_EQ(SaveChunks(core), file) << "written back with the version it came with";
    }
    for (float version : {2.2f, 2.0f, -1.0f}) {
        QX_BT_MeshController core(nullptr);
        std::string refusal;
        ASSERT_EQ(LoadChunks(BlobFile(version, blob), core, &refusal), IO_OK);
        EXPECT_FALSE(core.holdsPersistedResults()) << version;
        EXPECT_EQ(refusal, "");
    }
}

/// The chunks of one object inside an object chunk, followed by another chunk of the scene.
std::vector<uint8_t> SceneAround(const std::vector<uint8_t>& objectFile) {
    ChunkReader in(objectFile);
    ChunkWriter out;
    out.BeginChunk(0x0012);
    std::vector<uint8_t> payload;
    while (in.OpenChunk() == IO_OK) {
        payload.resize(size_t(in.CurChunkRemaining()));
        ULONG n = 0;
        in.Read(payload.data(), ULONG(payload.size()), &n);
        out.BeginChunk(in.CurChunkID());
        out.Write(payload.data(), ULONG(payload.size()), &n);
        out.EndChunk();
        in.CloseChunk();
    }
    out.EndChunk();
    out.BeginChunk(0x0013);
    WriteValue(out, int32_t(77));
    out.EndChunk();
    return out.Bytes();
}

TEST(PersistChunks, DamagedResultsAreRefusedAndTheRestOfTheSceneLoads) {
    SimulatedObject scene(6);
    const PersistTest::HandBlob hand = PersistTest::AssembleByHand(scene.core());
    std::vector<uint8_t> damaged = hand.bytes;
    PersistTest::Patch(damaged, hand.at.at("body 1 shape index"), int32_t(9));
    const std::vector<uint8_t> file = SceneAround(BlobFile(2.3f, damaged));

    ChunkReader in(file);
    ASSERT_EQ(in.OpenChunk(), IO_OK);
    Fixtures::TestObject object(Fixtures::MakeBox(glm::vec3(0), glm::vec3(10)));
    const QX_BT_Mesh_Data input = object.core->inputMesh;
    std::string refusal;
    ASSERT_EQ(LoadCoreChunks(&in, *object.core, PersistTest::TestConversion(), &refusal), IO_OK);
    EXPECT_NE(refusal.find("body 1"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("byte offset"), std::string::npos) << refusal;
    EXPECT_FALSE(object.core->holdsPersistedResults());
    EXPECT_EQ(object.core->loadedVersion, -1.0f);
    ASSERT_EQ(in.CloseChunk(), IO_OK);
    ASSERT_EQ(in.OpenChunk(), IO_OK);
    EXPECT_EQ(in.CurChunkID(), 0x0013);
    int32_t value = 0;
    ASSERT_EQ(ReadValue(in, value), IO_OK);
    EXPECT_EQ(value, 77);
    EXPECT_FALSE(in.Failed());

    // The object plays as if never simulated: its input passes through.
    object.core->inputMesh = input;
    object.core->checkInputMesh();
    object.core->evaluateOutput(3.0f);
    EXPECT_EQ(object.core->outputMesh, input);
}

TEST(PersistChunks, ABlobLengthThatDisagreesWithTheBlobIsRefused) {
    SimulatedObject scene(6);
    std::vector<uint8_t> blob = WriteCoreSnapshot(scene.core());
    ChunkWriter file;
    ULONG n = 0;
    const float version = 2.3f;
    const uint32_t wrongLength = uint32_t(blob.size() + 8);
    file.BeginChunk(PersistChunk::Version);
    file.Write(&version, 4, &n);
    file.EndChunk();
    file.BeginChunk(PersistChunk::BlobLength);
    file.Write(&wrongLength, 4, &n);
    file.EndChunk();
    file.BeginChunk(PersistChunk::Blob);
    file.Write(blob.data(), ULONG(blob.size()), &n);
    file.EndChunk();

    QX_BT_MeshController core(nullptr);
    std::string refusal;
    ASSERT_EQ(LoadChunks(file.Bytes(), core, &refusal), IO_OK);
    EXPECT_NE(refusal.find("chunk 21"), std::string::npos) << refusal;
    EXPECT_FALSE(core.holdsPersistedResults());
}

TEST(PersistChunks, ANeverSimulatedObjectStillShowsItsMeshAfterReload) {
    Fixtures::TestObject object(Fixtures::MakeBox(glm::vec3(0, 0, 50), glm::vec3(50)));
    const std::vector<uint8_t> file = SaveChunks(*object.core);
    Fixtures::TestObject reloaded(QX_BT_Mesh_Data{});
    ASSERT_EQ(LoadChunks(file, *reloaded.core), IO_OK);
    // The modifier hands the core its input and asks for the output, as on every evaluation.
    reloaded.core->inputMesh = object.core->inputMesh;
    reloaded.core->checkInputMesh();
    reloaded.core->evaluateOutput(0.0f);
    EXPECT_EQ(reloaded.core->outputMesh, object.core->inputMesh);
}

// --- version 2.0 -------------------------------------------------------------------------------

/// A version 2.0 file: two boxes, two elements, a settings record of `items` items, a matrix,
/// a value and body links (0, -1), (1, 0).
struct LegacyFile {
    explicit LegacyFile(size_t items = 43) {
        mesh = Fixtures::MakeBox(glm::vec3(0), glm::vec3(50));
        Fixtures::AppendElement(mesh, Fixtures::MakeBox(glm::vec3(200, 0, 0), glm::vec3(50)));
        auto push = [](std::vector<uint8_t>& out, int32_t v) {
            const auto* p = reinterpret_cast<const uint8_t*>(&v);
            out.insert(out.end(), p, p + 4);
        };
        push(elements, 2);
        for (int e = 0; e < 2; ++e) {
            push(elements, 12);
            for (int f = 0; f < 12; ++f)
                push(elements, 12 * e + f);
        }
        for (size_t i = 0; i < items; ++i) {
            const bool set = i == 38 || i == 41 || i == 42;
            push(settings, i == 38 ? 1 : i == 41 ? Kinematic : i == 42 ? 2 : int32_t(i));
            push(settings, set ? 1 : 0);
        }
        for (int32_t v : {0, -1, 1, 0})
            push(links, v);
        matrix = Translation(glm::vec3(10, 20, 30));
    }
    std::vector<uint8_t> bytes() const {
        ChunkWriter w;
        ULONG n = 0;
        auto chunk = [&](USHORT id, const void* data, size_t size) {
            w.BeginChunk(id);
            w.Write(data, ULONG(size), &n);
            w.EndChunk();
        };
        auto array = [&](USHORT lengthId, USHORT dataId, const std::vector<uint8_t>& a) {
            const int32_t length = int32_t(a.size());
            chunk(lengthId, &length, 4);
            chunk(dataId, a.data(), a.size());
        };
        const float version = 2.0f;
        chunk(PersistChunk::Version, &version, 4);
        Mesh host;
        PersistTest::TestConversion().importMesh(mesh, host);
        w.BeginChunk(PersistChunk::LegacyMesh);
        host.Save(&w);
        w.EndChunk();
        array(PersistChunk::LegacyElementsLength, PersistChunk::LegacyElements, elements);
        array(PersistChunk::LegacySettingsLength, PersistChunk::LegacySettings, settings);
        chunk(PersistChunk::LegacyMatrix, &matrix, 64);
        chunk(PersistChunk::LegacyValue, &value, 4);
        array(PersistChunk::LegacyLinksLength, PersistChunk::LegacyLinks, links);
        return w.Bytes();
    }
    QX_BT_Mesh_Data mesh;
    std::vector<uint8_t> elements, settings, links;
    glm::mat4 matrix{1.0f};
    uint32_t value = 0xDEADBEEF;
};

TEST(LegacyChunks, Version20IsReadIntoPendingListsAndWrittenBackAsItCame) {
    const LegacyFile legacy;
    const std::vector<uint8_t> file = legacy.bytes();
    Fixtures::TestObject object(QX_BT_Mesh_Data{});
    QX_BT_MeshController& core = *object.core;
    std::string refusal;
    ASSERT_EQ(LoadChunks(file, core, &refusal), IO_OK);
    ASSERT_EQ(refusal, "");
    EXPECT_EQ(core.simulationMesh, legacy.mesh);
    EXPECT_EQ(core.startTransform, legacy.matrix);
    EXPECT_TRUE(core.legacy.settingsPending);
    EXPECT_EQ(core.pending.elementKinds, (std::vector<int32_t>{2, 2})) << "Mesh Type concave";
    ASSERT_EQ(core.pending.records.size(), 2u);
    EXPECT_EQ(core.pending.records[1].parentIndex, 0);
    EXPECT_EQ(core.pending.records[1].state, Kinematic);

    EXPECT_EQ(SaveChunks(core), file) << "layout 2 writes the version 2.0 chunks back";

    const QX_Legacy_Settings s = DecodeLegacySettings(core.legacy.settingsRecord);
    EXPECT_EQ(s.rigidType, Kinematic);
    EXPECT_EQ(s.meshType, 2);
    EXPECT_EQ(s.fractionType, 2) << "fraction value 1 is Fraction Type 2";

    core.restorePending();
    ASSERT_EQ(core.bodies.size(), 2u);
    EXPECT_EQ(core.bodies[1]->parent, core.bodies[0].get());
    EXPECT_TRUE(core.pending.empty());
}

TEST(LegacyChunks, ASettingsRecordOfFewerThan43ItemsSetsNothing) {
    const QX_Legacy_Settings shortRecord = DecodeLegacySettings(LegacyFile(42).settings);
    EXPECT_FALSE(shortRecord.rigidType || shortRecord.meshType || shortRecord.fractionType);
    LegacyFile unset;
    std::memset(unset.settings.data() + 41 * 8 + 4, 0, 4); // item 41 present but not set
    const QX_Legacy_Settings s = DecodeLegacySettings(unset.settings);
    EXPECT_FALSE(s.rigidType);
    EXPECT_EQ(s.meshType, 2);

    // Loading still works and the bodies default to Dynamic, convex.
    QX_BT_MeshController core(nullptr);
    ASSERT_EQ(LoadChunks(LegacyFile(42).bytes(), core), IO_OK);
    EXPECT_EQ(core.pending.records.at(0).state, Dynamic);
    EXPECT_EQ(core.pending.elementKinds.at(0), 0);
}

TEST(LegacyChunks, DamagedVersion20DataIsRefused) {
    auto refused = [](const LegacyFile& file, const char* expected) {
        QX_BT_MeshController core(nullptr);
        std::string refusal;
        EXPECT_EQ(LoadChunks(file.bytes(), core, &refusal), IO_OK);
        EXPECT_NE(refusal.find(expected), std::string::npos) << refusal;
        EXPECT_FALSE(core.holdsPersistedResults());
        EXPECT_FALSE(core.legacy.settingsPending);
        EXPECT_EQ(core.simulationMesh, QX_BT_Mesh_Data{});
    };
    LegacyFile badFace;
    PersistTest::Patch(badFace.elements, 8, int32_t(24)); // first face of element 0
    refused(badFace, "element 0");
    LegacyFile badCount;
    PersistTest::Patch(badCount.elements, 0, int32_t(1000));
    refused(badCount, "element count");
    LegacyFile badLink;
    PersistTest::Patch(badLink.links, 8, int32_t(2)); // body 1's element
    refused(badLink, "body 1");
    LegacyFile loop;
    PersistTest::Patch(loop.links, 4, int32_t(1)); // body 0's parent is body 1, whose is body 0
    refused(loop, "leads back to itself");
    LegacyFile badMatrix;
    badMatrix.matrix[3][1] = std::nanf("");
    refused(badMatrix, "chunk 15");
}

// --- another process ----------------------------------------------------------------------------

constexpr const char* kChildFileVariable = "QX_PERSIST_CHILD_FILE";
const float kPlaybackFrames[] = {0.0f, 2.0f, 4.0f, 4.5f, 6.0f, 9.0f};

/// The output vertices of `core` at every playback frame, end to end.
std::vector<float> PlayBack(QX_BT_MeshController& core) {
    std::vector<float> out;
    for (float f : kPlaybackFrames) {
        core.evaluateOutput(f);
        out.insert(out.end(), core.outputMesh.geometry.vertices.begin(),
                   core.outputMesh.geometry.vertices.end());
    }
    return out;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Run by the test below in a fresh process: loads the scene chunks it was given and writes what
// it plays back next to them.
TEST(PersistChild, LoadAndPlayBack) {
    const char* path = std::getenv(kChildFileVariable);
    if (path == nullptr)
        GTEST_SKIP() << "only run as the child of ReloadedInAnotherProcessPlaysTheSameBits";
    Fixtures::TestObject object(QX_BT_Mesh_Data{});
    ASSERT_EQ(LoadChunks(ReadFile(path), *object.core), IO_OK);
    const std::vector<float> played = PlayBack(*object.core);
    std::ofstream out(std::string(path) + ".out", std::ios::binary);
    out.write(reinterpret_cast<const char*>(played.data()), std::streamsize(played.size() * 4));
}

TEST(PersistChunks, ReloadedInAnotherProcessPlaysTheSameBits) {
    SimulatedObject scene;
    const std::vector<uint8_t> file = SaveChunks(scene.core());
    const std::vector<float> expected = PlayBack(scene.core());

    const std::string path = ::testing::TempDir() + "qx_persist_child.chunks";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    std::remove((path + ".out").c_str());
    const std::string command = std::string(kChildFileVariable) + "='" + path + "' '" +
                                std::filesystem::read_symlink("/proc/self/exe").string() +
                                "' --gtest_filter=PersistChild.* > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);

    const std::vector<uint8_t> played = ReadFile(path + ".out");
    ASSERT_EQ(played.size(), expected.size() * 4);
    EXPECT_EQ(std::memcmp(played.data(), expected.data(), played.size()), 0);
}

} // namespace
} // namespace Quarix
