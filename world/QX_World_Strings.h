#pragma once
// The world's user-visible texts. The module's string table carries them under these ids; the
// world looks them up through its class descriptor's module and falls back to its own copy when
// the table (or the module) does not have them, so a world works before any module is loaded.

#include "host/MaxTypes.h"
#include "host/Win32.h"

#include <span>
#include <utility>

namespace Quarix {

/// One entry of the world's string table: resource id and text.
struct QX_World_String {
    UINT id;
    const MCHAR* text;
};

/// Every text the world shows, by resource id (class name, category, rollout titles, parameter
/// names, tooltips). The module registers them in its string table at load.
std::span<const QX_World_String> QX_World_StringTable();

/// The text of string `id`: from the module `instance` when it has it, else from the world's own
/// table; null when neither knows the id. The pointer stays valid until the next call.
const MCHAR* QX_World_GetString(UINT id, HINSTANCE instance = nullptr);

} // namespace Quarix
