#include "world/QX_World_Blob.h"

#include <cstring>

namespace Quarix {

namespace {

// Bytes per entry of the int, float and vector sections: key, value, changed flag.
constexpr int64_t kEntryBytes[3] = {4 + 4 + 1, 4 + 4 + 1, 4 + 16 + 1};
constexpr const char* kSectionNames[3] = {"int", "float", "vector"};

// Walks the three sections of a settings blob; on the first inconsistency writes its byte offset
// and what is wrong, and answers false.
bool CheckBlobLayout(const std::vector<uint8_t>& blob, size_t& offset, std::string& what) {
    offset = 0;
    const int64_t size = static_cast<int64_t>(blob.size());
    for (int s = 0; s < 3; ++s) {
        const std::string section = std::string(kSectionNames[s]) + " section";
        if (size - static_cast<int64_t>(offset) < 8) {
            what = section + ": missing byte or entry count";
            return false;
        }
        int32_t length = 0, count = 0;
        std::memcpy(&length, blob.data() + offset, 4);
        std::memcpy(&count, blob.data() + offset + 4, 4);
        if (length < 4 || length > size - static_cast<int64_t>(offset) - 4) {
            what = section + ": byte count " + std::to_string(length) + " runs past the blob";
            return false;
        }
        if (count < 0 || int64_t(count) * kEntryBytes[s] != int64_t(length) - 4) {
            what = section + ": " + std::to_string(count) + " entries do not fill " +
                   std::to_string(length) + " bytes";
            return false;
        }
        offset += 4 + static_cast<size_t>(length);
    }
    if (offset != blob.size()) {
        what = std::to_string(blob.size() - offset) + " bytes follow the last section";
        return false;
    }
    return true;
}

} // namespace

bool RestoreWorldSettings(QX_BT_World& core, const std::vector<uint8_t>& blob,
                          std::string& message) {
    size_t offset = 0;
    std::string what;
    if (!CheckBlobLayout(blob, offset, what)) {
        message = "world settings refused: chunk 2, offset " + std::to_string(offset) + ": " + what;
        return false;
    }
    if (!core.Deserialise(blob.data(), blob.size(), &what)) {
        message = "world settings refused: chunk 2: " + what;
        return false;
    }
    return true;
}

} // namespace Quarix
