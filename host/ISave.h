#pragma once
// Chunked scene-file input and output as seen by a class's Save and Load. A chunk is a 16-bit id
// with a byte payload; the payload holds either raw data or further chunks. The container format
// itself (ChunkFile.h) is the host's business.

#include "host/MaxTypes.h"

#include <cstring>
#include <type_traits>

/// Result of every chunk operation.
enum IOResult {
    IO_OK = 0,    ///< the operation succeeded
    IO_END = 1,   ///< OpenChunk: no further chunk at this level
    IO_ERROR = 2, ///< the data is truncated, corrupt or the write failed
};

/// Writer side of a scene file, handed to `Save`. Chunks nest; every BeginChunk needs its EndChunk.
class ISave {
public:
    virtual ~ISave() = default;
    /// Opens a chunk with the given id inside the current one.
    virtual void BeginChunk(USHORT id) = 0;
    /// Closes the innermost open chunk.
    virtual void EndChunk() = 0;
    /// Appends nbytes to the current chunk; *nwrit (may be null) receives the bytes written.
    virtual IOResult Write(const void* buf, ULONG nbytes, ULONG* nwrit) = 0;
    /// Depth of the innermost open chunk (0 at file level).
    virtual int CurChunkDepth() const = 0;

    /// Writes a string as a uint32 UTF-8 byte count followed by the bytes.
    IOResult WriteWString(const MCHAR* text);
    IOResult WriteWString(const MSTR& text) { return WriteWString(text.c_str()); }
};

/// Reader side of a scene file, handed to `Load`. Every length read from the file has already
/// been checked against its enclosing chunk, so a Read never runs past the current chunk.
class ILoad {
public:
    virtual ~ILoad() = default;
    /// Opens the next chunk at the current level: IO_OK, IO_END when the level has no further
    /// chunk, IO_ERROR for a malformed header.
    virtual IOResult OpenChunk() = 0;
    /// Id of the innermost open chunk (0 when none is open).
    virtual USHORT CurChunkID() = 0;
    /// Payload length in bytes of the innermost open chunk.
    virtual std::uint64_t CurChunkLength() = 0;
    /// Payload bytes of the innermost open chunk not yet read; bound any allocation by it.
    virtual std::uint64_t CurChunkRemaining() = 0;
    /// Reads exactly nbytes; IO_ERROR (and nothing read) when fewer remain in the chunk.
    virtual IOResult Read(void* buf, ULONG nbytes, ULONG* nread) = 0;
    /// Skips whatever is left of the innermost chunk and leaves it.
    virtual IOResult CloseChunk() = 0;
    /// Depth of the innermost open chunk (0 at file level).
    virtual int CurChunkDepth() const = 0;

    /// Reads a string written by ISave::WriteWString.
    IOResult ReadWString(MSTR& text);
};

/// Writes one trivially copyable value in its little-endian byte form.
template <class T>
IOResult WriteValue(ISave& isave, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    ULONG written = 0;
    return isave.Write(&value, static_cast<ULONG>(sizeof(T)), &written);
}

/// Reads one trivially copyable value written by WriteValue.
template <class T>
IOResult ReadValue(ILoad& iload, T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    ULONG read = 0;
    return iload.Read(&value, static_cast<ULONG>(sizeof(T)), &read);
}
