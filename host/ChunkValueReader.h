#pragma once
// Reading the values of a class's chunks without checking every read. A ChunkValueReader stays
// failed after its first error: every later read leaves its target untouched and reads nothing,
// so a loader reads a whole record and checks once. ReadChunks walks the chunks of one level.

#include "host/ISave.h"

#include <cstdint>

/// Reads values from the innermost open chunk of an ILoad until the first failure.
class ChunkValueReader {
public:
    /// Reads from `iload`, which must outlive the reader.
    explicit ChunkValueReader(ILoad& iload) : m_iload(iload) {}

    /// Id of the chunk being read.
    USHORT id() { return m_iload.CurChunkID(); }
    /// Payload bytes of the chunk not yet read.
    std::uint64_t remaining() { return m_iload.CurChunkRemaining(); }

    /// Reads each value in turn (little-endian, as WriteValue wrote it). After a failure nothing
    /// more is read and the values keep what they held.
    template <class... T>
    ChunkValueReader& operator()(T&... values) {
        (readOne(values), ...);
        return *this;
    }
    /// Reads a string written by ISave::WriteWString.
    ChunkValueReader& string(MSTR& text) {
        if (m_ok && m_iload.ReadWString(text) != IO_OK)
            m_ok = false;
        return *this;
    }
    /// Reads a uint32 count of records of at least `recordBytes` bytes each; fails (and gives 0)
    /// when the rest of the chunk cannot hold that many, so the count is safe to allocate.
    std::size_t count(std::uint64_t recordBytes) {
        std::uint32_t n = 0;
        readOne(n);
        require(std::uint64_t(n) * recordBytes <= remaining());
        return m_ok ? n : 0;
    }
    /// Fails unless `condition` holds (data that reads fine but makes no sense); returns ok().
    bool require(bool condition) {
        m_ok = m_ok && condition;
        return m_ok;
    }
    /// Whether every read and requirement so far succeeded.
    bool ok() const { return m_ok; }

private:
    template <class T>
    void readOne(T& value) {
        if (m_ok && ReadValue(m_iload, value) != IO_OK)
            m_ok = false;
    }

    ILoad& m_iload;
    bool m_ok = true;
};

/// Visits every chunk of the current level in order: `visit(reader)` with a fresh reader for
/// each chunk, which is closed after its visit (skipping what the visit left unread). IO_OK once
/// the level ended cleanly; IO_ERROR at the first malformed chunk or failed visit, leaving that
/// chunk open and the rest of the level unread.
template <class Visit>
IOResult ReadChunks(ILoad& iload, Visit&& visit) {
    IOResult res;
    while ((res = iload.OpenChunk()) == IO_OK) {
        ChunkValueReader reader(iload);
        visit(reader);
        if (!reader.ok() || iload.CloseChunk() != IO_OK)
            return IO_ERROR;
    }
    return res == IO_END ? IO_OK : IO_ERROR;
}
