// The world object in scene files: chunk 0 the file version, chunk 1 the settings blob's length,
// chunk 2 the blob (the world core's settings store).

#include "world/QX_BULLET_OBJ.h"

#include "world/QX_World_Blob.h"

#include <iostream>

namespace Quarix {

namespace {

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
    if (version >= kWorldFileVersion && !blob.empty())
        RestoreWorldSettings(*core_, blob, loadMessage_);
    if (!loadMessage_.empty())
        std::cerr << "warning: " << loadMessage_ << "\n";
    return IO_OK;
}

} // namespace Quarix
