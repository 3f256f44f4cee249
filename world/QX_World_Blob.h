#pragma once
// The world's settings blob as read from a scene file: checked section by section before the
// world core's settings store is replaced by it.

#include "core/QX_BT_World.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Quarix {

/// Replaces `core`'s settings store by the one in `blob` (chunk 2 of a world). A blob whose three
/// sections do not fill it exactly, or that the core refuses, changes nothing: the answer is
/// false and `message` names chunk 2 and the byte offset of the faulty section.
bool RestoreWorldSettings(QX_BT_World& core, const std::vector<uint8_t>& blob,
                          std::string& message);

} // namespace Quarix
