// The world object in scene files: chunk 0 the file version, chunk 1 the settings blob's length,
// chunk 2 the blob (the world core's settings store).

#include "world/QX_BULLET_OBJ.h"

#include <cstring>
#include <iostream>

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

IOResult WriteChunk(ISave* isave, USHORT id, const void* data, ULONG bytes) {
    isave->BeginChunk(id);
    ULONG written = 0;
    const IOResult res = isave->Write(data, bytes, &written);
    isave->EndChunk();
    return res == IO_OK && written == bytes ? IO_OK : IO_ERROR;
}

} // namespace

IOResult QX_BULLET_OBJ::Save(ISave* isave) {
    const std::vector<uint8_t> blob = core_->Serialise();
    const auto length = static_cast<uint32_t>(blob.size());
    const float version = kWorldFileVersion;
    if (WriteChunk(isave, kWorldVersionChunk, &version, sizeof(version)) != IO_OK ||
        WriteChunk(isave, kWorldBlobLengthChunk, &length, sizeof(length)) != IO_OK ||
        WriteChunk(isave, kWorldBlobChunk, blob.data(), length) != IO_OK)
        return IO_ERROR;
    return IO_OK;
}

IOResult QX_BULLET_OBJ::Load(ILoad* iload) {
    loadMessage_.clear();
    float version = 0.0f;
    uint32_t length = 0;
    std::vector<uint8_t> blob;
    IOResult res;
    while ((res = iload->OpenChunk()) == IO_OK) {
        switch (iload->CurChunkID()) {
        case kWorldVersionChunk:
            res = ReadValue(*iload, version);
            break;
        case kWorldBlobLengthChunk:
            res = ReadValue(*iload, length);
            break;
        case kWorldBlobChunk:
            // The length chunk promises the blob; a promise larger than the chunk is refused
            // before anything is allocated, and the world keeps its settings.
            if (length > iload->CurChunkRemaining()) {
                loadMessage_ = "world settings refused: chunk 2 holds " +
                               std::to_string(iload->CurChunkRemaining()) +
                               " bytes at offset 0, chunk 1 promised " + std::to_string(length);
                blob.clear();
            } else {
                blob.resize(length);
                ULONG read = 0;
                res = length ? iload->Read(blob.data(), length, &read) : IO_OK;
            }
            break;
        default:
            break;
        }
        const IOResult closed = iload->CloseChunk();
        if (res != IO_OK)
            return res;
        if (closed != IO_OK)
            return closed;
    }
    if (res == IO_ERROR)
        return IO_ERROR;
    if (version >= kWorldFileVersion && !blob.empty()) {
        size_t offset = 0;
        std::string what;
        if (!CheckBlobLayout(blob, offset, what)) {
            loadMessage_ =
                "world settings refused: chunk 2, offset " + std::to_string(offset) + ": " + what;
        } else if (!core_->Deserialise(blob.data(), blob.size(), &what)) {
            loadMessage_ = "world settings refused: chunk 2: " + what;
        }
    }
    if (!loadMessage_.empty())
        std::cerr << "warning: " << loadMessage_ << "\n";
    return IO_OK;
}

} // namespace Quarix
