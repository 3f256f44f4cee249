#pragma once

// The core snapshot blob (format version 2.3): everything an object core needs to play its
// simulated results back without simulating again, as one flat little-endian byte array.
//
// Sections, in order and without padding: integer settings, float settings (each a length-
// prefixed settings table), input mesh, simulation mesh, captured mesh (each a length-prefixed
// mesh record), mesh history, base layout, start transform, element shapes, groups, bodies.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/QX_BT_MeshController.h"
#include "modifier/persist/QX_Byte_Stream.h"

namespace Quarix {

/// Bytes of one body state on disk: 16 transform floats, 3 + 3 velocity floats, uint32 tag.
constexpr size_t kBodyStateBytes = 92;
/// Bytes of a body record with an empty track.
constexpr size_t kBodyRecordBytes = 206;

/// Writes a settings table: int32 count, the keys ascending, the 4-byte values, one changed-flag
/// byte per entry (not length-prefixed).
template <typename T>
void WriteSettingsTable(QX_Byte_Writer& out, const QX_BT_Setting_Table<T>& table) {
    static_assert(sizeof(T) == 4);
    const auto& entries = table.entries();
    out.i32(static_cast<int32_t>(entries.size()));
    for (const auto& [key, entry] : entries)
        out.i32(key);
    for (const auto& [key, entry] : entries)
        out.raw(&entry.value, 4);
    for (const auto& [key, entry] : entries)
        out.u8(entry.changed ? 1 : 0);
}

/// Writes one body record: the persisted fields of `body` (the two reserved flags as 0), its
/// track, and the given group and parent indices (-1 for none).
void WriteBodyRecord(QX_Byte_Writer& out, const QX_BT_Body_Data& body, int32_t shapeIndex,
                     int32_t parentIndex);

/// The snapshot blob of a live object core. Loaded records must not be pending (run
/// restorePending first): the blob describes the core's live shapes, groups and bodies.
/// Element shapes that were never built are left out and group children renumbered.
std::vector<uint8_t> WriteCoreSnapshot(const QX_BT_MeshController& core);

/// Parses a snapshot blob into `core`: both settings tables (every entry unchanged), the three
/// meshes, mesh history, base layout, start transform, and the shapes, groups and bodies as
/// pending lists. Every count, index and length is checked against the blob and every mesh
/// against its own arrays before anything is stored; on failure `core` is untouched, false is
/// returned and `error` (may be null) names the section and byte offset. Bytes after the last
/// section (written by a newer version) are ignored. Does not touch the kept blob or version.
bool ReadCoreSnapshot(std::span<const uint8_t> blob, QX_BT_MeshController& core,
                      std::string* error);

/// Why `mesh` is not a well-formed record (face infos, geometry and channels describing the same
/// faces, every index inside its own vertex array, channels numbered -1..99), or empty when it
/// is. The core relies on these without checking; records from files are checked with this.
std::string CheckMeshRecord(const QX_BT_Mesh_Data& mesh);

} // namespace Quarix
