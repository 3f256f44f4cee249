#pragma once
// The scene container: a byte stream of nested chunks behind ISave / ILoad.
//
// Layout (all integers little-endian):
//   header   8 bytes magic "QXSCENE\0", uint32 format version (kChunkFileVersion)
//   chunk    uint16 id, uint64 payload length, payload
// A payload is either raw data or a sequence of chunks; the reader does not need to know which,
// because every chunk header is checked against the bytes left in its parent. The top level of
// the file is a sequence of chunks ending exactly at the end of the file.

#include "host/ISave.h"

#include <span>
#include <string>
#include <vector>

/// Format version written into every file header.
inline constexpr std::uint32_t kChunkFileVersion = 1;
/// Deepest chunk nesting accepted on read (and allowed on write).
inline constexpr int kMaxChunkDepth = 64;

/// Builds a container in memory. Bytes() is complete once every chunk is closed.
class ChunkWriter final : public ISave {
public:
    ChunkWriter();

    void BeginChunk(USHORT id) override;
    void EndChunk() override;
    IOResult Write(const void* buf, ULONG nbytes, ULONG* nwrit) override;
    int CurChunkDepth() const override { return static_cast<int>(m_open.size()); }

    /// True when a chunk was left open, closed twice or nested too deep.
    bool Failed() const { return m_failed; }
    /// The file bytes (header included).
    const std::vector<BYTE>& Bytes() const { return m_bytes; }

private:
    std::vector<BYTE> m_bytes;
    std::vector<size_t> m_open; // offsets of the length fields of the open chunks
    bool m_failed = false;
};

/// Reads a container from memory. The bytes must outlive the reader. The first failure is
/// remembered with the chunk id and byte offset where it happened (ErrorMessage()).
class ChunkReader final : public ILoad {
public:
    /// Checks the header; on failure every operation answers IO_ERROR.
    explicit ChunkReader(std::span<const BYTE> bytes);

    IOResult OpenChunk() override;
    USHORT CurChunkID() override;
    std::uint64_t CurChunkLength() override;
    std::uint64_t CurChunkRemaining() override;
    IOResult Read(void* buf, ULONG nbytes, ULONG* nread) override;
    IOResult CloseChunk() override;
    int CurChunkDepth() const override { return static_cast<int>(m_open.size()); }

    /// Byte offset of the next unread byte.
    std::uint64_t Offset() const { return m_pos; }
    /// True once any operation failed.
    bool Failed() const { return !m_error.empty(); }
    /// The first failure: what, in which chunk (ids from the outermost), at which byte offset.
    const std::string& ErrorMessage() const { return m_error; }
    /// Records a failure found by a caller (for example a class rejecting its chunk data) with the
    /// current chunk path and offset; the first message is kept.
    void Fail(const std::string& what);

private:
    struct Open {
        USHORT id;
        std::uint64_t start; // offset of the payload
        std::uint64_t end;   // offset one past the payload
    };
    std::uint64_t LevelEnd() const;
    std::string Where() const;

    std::span<const BYTE> m_bytes;
    std::uint64_t m_pos = 0;
    std::vector<Open> m_open;
    std::string m_error;
};
