#pragma once

// The rigid modifier's scene-file chunks: what its object core simulated, so that a reloaded
// scene plays back without simulating again. The modifier's Save and Load hand their ISave /
// ILoad and their core to SaveCoreChunks / LoadCoreChunks; the parameter block and the gizmo
// controller are references and stored by the host.
//
// Chunks: 9 format version (float32); 21 blob length (uint32) and 22 the core snapshot blob
// (version 2.3); 10 host mesh, 11/12 element lists, 13/14 settings record, 15 matrix, 18 a 4-byte
// value, 19/20 body links (version 2.0). Other ids are skipped on load.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/QX_BT_MeshController.h"
#include "host/ISave.h"
#include "host/Mesh.h"
#include "modifier/persist/QX_Legacy_Conversion.h"

namespace Quarix {

/// Chunk ids of the modifier's data.
namespace PersistChunk {
constexpr USHORT Version = 9;
constexpr USHORT LegacyMesh = 10;
constexpr USHORT LegacyElementsLength = 11;
constexpr USHORT LegacyElements = 12;
constexpr USHORT LegacySettingsLength = 13;
constexpr USHORT LegacySettings = 14;
constexpr USHORT LegacyMatrix = 15;
constexpr USHORT LegacyValue = 18;
constexpr USHORT LegacyLinksLength = 19;
constexpr USHORT LegacyLinks = 20;
constexpr USHORT BlobLength = 21;
constexpr USHORT Blob = 22;
} // namespace PersistChunk

/// Format version of the core snapshot blob.
constexpr float kSnapshotVersion = 2.3f;
/// Format version of the older multi-chunk layout.
constexpr float kLegacyVersion = 2.0f;

/// The modifier's mesh conversions, which the version 2.0 chunk needs: a host mesh into a core
/// mesh record (export) and a core record into a host mesh (import). Either may be empty when
/// no version 2.0 data is ever met; the chunk is then skipped on load and left out on save.
struct QX_Mesh_Conversion {
    std::function<void(const Mesh& host, QX_BT_Mesh_Data& out)> exportMesh;
    std::function<void(const QX_BT_Mesh_Data& data, Mesh& host)> importMesh;
};

/// Writes the core's chunks, in one of three layouts: no loaded records pending -> version 2.3
/// with a blob of the live core (after restorePending); records pending from a version 2.0 file
/// -> the version 2.0 chunks again; records pending from a blob -> the kept blob byte for byte
/// with its loaded version. Returns the first failing write's result, else IO_OK.
IOResult SaveCoreChunks(ISave* isave, QX_BT_MeshController& core, const QX_Mesh_Conversion& meshes);

/// Reads the chunks of the current level into `core` (a freshly made one). A version 2.3 (or
/// newer: within 0.0001 of 2.3 or above) blob is parsed into the core with its shapes, groups
/// and bodies pending and the blob kept; older files with element data are converted into
/// pending lists with the legacy-settings flag set. Nothing is rebuilt here.
/// Damaged data (a blob shorter than its sections, counts past the end, indices out of range,
/// non-finite transforms, length chunks that disagree with their data) refuses only the
/// results: the core stays as if never simulated, IO_OK is returned and `refusal` (may be null)
/// receives what was wrong, where. A chunk the host cannot read returns that read's result.
IOResult LoadCoreChunks(ILoad* iload, QX_BT_MeshController& core, const QX_Mesh_Conversion& meshes,
                        std::string* refusal = nullptr);

} // namespace Quarix
