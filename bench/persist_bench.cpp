#include "bench/bench.h"
#include "bench/benchmarks.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <glm/gtc/type_ptr.hpp>

#include "core/QX_BT_World.h"
#include "host/ChunkFile.h"
#include "modifier/persist/QX_RIGID_MOD_Persist.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix::Bench {

namespace {

constexpr int kColumns = 40;
constexpr int kRows = 25; // 1,000 bricks, one body each
constexpr int kFrames = 200;
constexpr int kRepeats = 5;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// An object of 1,000 brick bodies (centimetres) with 200 recorded frames each. The bodies are
// built by one simulated frame; the remaining states are written directly, as a long run would
// leave them, so the benchmark measures saving and loading rather than stepping Bullet.
void RecordFrames(QX_BT_MeshController& core) {
    for (const auto& body : core.bodies) {
        QX_BT_Body_State state = body->track.begin()->second;
        for (int f = 1; f < kFrames; ++f) {
            state.transform[3].z -= 0.5f * float(f);
            state.linearVelocity.z -= 49.0f;
            state.angularVelocity.x += 0.01f;
            state.tag = f;
            body->track.insert_or_assign(float(f), state);
        }
    }
}

/// The least any save and load must do: copy every recorded state out to a flat buffer and back.
double CopyTracks(const QX_BT_MeshController& core, std::vector<uint8_t>& buffer) {
    constexpr size_t kEntry = 4 + 92;
    Stopwatch watch;
    uint8_t* at = buffer.data();
    for (const auto& body : core.bodies) {
        for (const auto& [frame, state] : body->track) {
            std::memcpy(at, &frame, 4);
            std::memcpy(at + 4, glm::value_ptr(state.transform), 64);
            std::memcpy(at + 68, glm::value_ptr(state.linearVelocity), 12);
            std::memcpy(at + 80, glm::value_ptr(state.angularVelocity), 12);
            std::memcpy(at + 92, &state.tag, 4);
            at += kEntry;
        }
    }
    std::vector<QX_BT_Body_Track> back(core.bodies.size());
    at = buffer.data();
    for (QX_BT_Body_Track& track : back) {
        for (int f = 0; f < kFrames; ++f) {
            float frame;
            QX_BT_Body_State state;
            std::memcpy(&frame, at, 4);
            std::memcpy(glm::value_ptr(state.transform), at + 4, 64);
            std::memcpy(glm::value_ptr(state.linearVelocity), at + 68, 12);
            std::memcpy(glm::value_ptr(state.angularVelocity), at + 80, 12);
            std::memcpy(&state.tag, at + 92, 4);
            track.insert_or_assign(frame, state);
            at += kEntry;
        }
    }
    return watch.ms();
}

} // namespace

std::string BlobRoundtrip() {
    QX_BT_World world;
    Fixtures::ConfigureWorld(world, 5, 1470.0f, true);
    Fixtures::TestObject object(Fixtures::MakeBoxWall(kColumns, kRows, 10.0f));
    QX_BT_MeshController& core = *object.core;
    Fixtures::Simulate(world, {&core}, 1);
    RecordFrames(core);
    const size_t bodies = core.bodies.size();

    std::vector<double> save, load, restore, copy;
    std::vector<uint8_t> file;
    std::vector<uint8_t> buffer(bodies * kFrames * (4 + 92));
    const QX_Mesh_Conversion noMeshes;
    bool ok = true;
    for (int r = 0; r < kRepeats; ++r) {
        copy.push_back(CopyTracks(core, buffer));

        Stopwatch watch;
        ChunkWriter writer;
        ok = ok && SaveCoreChunks(&writer, core, noMeshes) == IO_OK;
        save.push_back(watch.ms());
        file = writer.Bytes();

        QX_BT_MeshController loaded(nullptr);
        watch.restart();
        ChunkReader reader(file);
        std::string refusal;
        ok = ok && LoadCoreChunks(&reader, loaded, noMeshes, &refusal) == IO_OK && refusal.empty();
        load.push_back(watch.ms());
        ok = ok && loaded.pending.records.size() == bodies;

        watch.restart();
        loaded.restorePending();
        restore.push_back(watch.ms());
        ok = ok && loaded.bodies.size() == bodies;
    }
    const double bodyFrames = double(bodies) * kFrames;
    JsonObject json;
    json.add("benchmark", std::string("blob_roundtrip"))
        .add("bodies", static_cast<long long>(bodies))
        .add("frames", static_cast<long long>(kFrames))
        .add("save_ms", Median(save))
        .add("load_ms", Median(load))
        .add("restore_ms", Median(restore))
        .add("copy_ms", Median(copy))
        .add("save_load_vs_copy", (Median(save) + Median(load)) / Median(copy))
        .add("bytes", static_cast<long long>(file.size()))
        .add("bytes_per_body_frame", double(file.size()) / bodyFrames)
        .add("ok", static_cast<long long>(ok ? 1 : 0));
    return json.str();
}

} // namespace Quarix::Bench
