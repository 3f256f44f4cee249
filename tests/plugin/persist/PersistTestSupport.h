#pragma once

// Shared pieces of the persistence tests: a simulated object in centimetres with a demolition
// (so that the blob has fragments, mesh history, parents and map channels), a blob assembled
// field by field from the documented layout, and scene-chunk round trips.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/QX_BT_World.h"
#include "host/ChunkFile.h"
#include "modifier/persist/QX_RIGID_MOD_Persist.h"
#include "tests/fixtures/QX_Test_Fragmenter.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix::PersistTest {

/// Two 1 m boxes (centimetres) with map channel 1, simulated under cm gravity for `frames`
/// frames; at frame 4 the first body is cut into two fragments, which live on.
struct SimulatedObject {
    explicit SimulatedObject(int frames = 10);
    QX_BT_MeshController& core() { return *object->core; }

    QX_BT_World world;
    Fixtures::PlaneFragmenter fragmenter;
    std::unique_ptr<Fixtures::TestObject> object;
};

/// A blob written field by field from the documented layout (not through the library), with the
/// byte offsets of the fields the bad-input tests damage.
struct HandBlob {
    std::vector<uint8_t> bytes;
    std::map<std::string, size_t> at;
};
HandBlob AssembleByHand(const QX_BT_MeshController& core);

/// Plain host-mesh conversions for the version 2.0 chunk: geometry, face infos, map channels.
QX_Mesh_Conversion TestConversion();

/// The chunks SaveCoreChunks writes, as a scene container.
std::vector<uint8_t> SaveChunks(QX_BT_MeshController& core);
/// Loads a container written by SaveChunks into `core`; `refusal` receives the refusal message.
IOResult LoadChunks(const std::vector<uint8_t>& file, QX_BT_MeshController& core,
                    std::string* refusal = nullptr);
/// A container with one chunk 9 (version) and, unless empty, chunks 21/22 for `blob`.
std::vector<uint8_t> BlobFile(float version, const std::vector<uint8_t>& blob);

/// Overwrites 4 bytes at `offset` with the bit pattern of `value`.
template <typename T>
void Patch(std::vector<uint8_t>& bytes, size_t offset, T value) {
    static_assert(sizeof(T) == 4);
    std::memcpy(bytes.data() + offset, &value, 4);
}

} // namespace Quarix::PersistTest
