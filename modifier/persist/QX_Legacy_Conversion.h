#pragma once

// Version 2.0 scene data: the element lists, settings record and body links an older file stored
// in separate chunks, turned into the object core's pending lists.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/QX_BT_MeshController.h"

namespace Quarix {

/// The three parameters a version 2.0 settings record sets, each empty when the record does not
/// set it: "Rigid Type" (item 41), "Mesh Type" (item 42) and "Fraction Type" mapped from the
/// fraction value of item 38 (0 -> 0, 1 -> 2, 2 -> 1; other values set nothing). A record of
/// fewer than 43 items sets none of them: it predates these settings.
struct QX_Legacy_Settings {
    std::optional<int32_t> rigidType;
    std::optional<int32_t> meshType;
    std::optional<int32_t> fractionType;
};

/// Decodes a version 2.0 settings record (8-byte items: int32 value, int32 flag, non-zero = set;
/// a trailing partial item is ignored).
QX_Legacy_Settings DecodeLegacySettings(const std::vector<uint8_t>& record);

/// Turns version 2.0 data into pending lists for a simulation mesh of `meshFaces` faces: one
/// element shape per stored element list (convex, or concave when the record's "Mesh Type" is
/// concave), one group per element, and one body record per body link (int32 element index,
/// int32 parent body index or -1), or one per element when there are no links. Bodies take the
/// record's "Rigid Type" (Dynamic when unset) and start with no recorded motion.
/// False, with `error` naming what and where, when a count runs past its data or an index is
/// out of range; `out` is then unspecified.
bool ConvertLegacyData(const QX_BT_Legacy_Data& legacy, size_t meshFaces, QX_BT_Stored_Bodies& out,
                       std::string& error);

} // namespace Quarix
