#include "host/ChunkFile.h"

#include <bit>
#include <cstdio>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "chunk files are little-endian; a big-endian build needs byte swapping here");

namespace {

constexpr BYTE kMagic[8] = {'Q', 'X', 'S', 'C', 'E', 'N', 'E', 0};
constexpr size_t kHeaderBytes = sizeof(kMagic) + sizeof(std::uint32_t);
constexpr size_t kChunkHeaderBytes = sizeof(USHORT) + sizeof(std::uint64_t);

std::string Hex(USHORT id) {
    char text[8];
    std::snprintf(text, sizeof(text), "0x%04X", static_cast<unsigned>(id));
    return text;
}

} // namespace

ChunkWriter::ChunkWriter() {
    m_bytes.insert(m_bytes.end(), std::begin(kMagic), std::end(kMagic));
    std::uint32_t version = kChunkFileVersion;
    const auto* p = reinterpret_cast<const BYTE*>(&version);
    m_bytes.insert(m_bytes.end(), p, p + sizeof(version));
}

void ChunkWriter::BeginChunk(USHORT id) {
    if (static_cast<int>(m_open.size()) >= kMaxChunkDepth) {
        m_failed = true;
        return;
    }
    const auto* p = reinterpret_cast<const BYTE*>(&id);
    m_bytes.insert(m_bytes.end(), p, p + sizeof(id));
    m_open.push_back(m_bytes.size());
    m_bytes.insert(m_bytes.end(), sizeof(std::uint64_t), 0);
}

void ChunkWriter::EndChunk() {
    if (m_open.empty()) {
        m_failed = true;
        return;
    }
    size_t lengthAt = m_open.back();
    m_open.pop_back();
    std::uint64_t length = m_bytes.size() - (lengthAt + sizeof(std::uint64_t));
    std::memcpy(m_bytes.data() + lengthAt, &length, sizeof(length));
}

IOResult ChunkWriter::Write(const void* buf, ULONG nbytes, ULONG* nwrit) {
    if (nwrit)
        *nwrit = 0;
    if (m_failed || (nbytes > 0 && buf == nullptr))
        return IO_ERROR;
    const auto* p = static_cast<const BYTE*>(buf);
    m_bytes.insert(m_bytes.end(), p, p + nbytes);
    if (nwrit)
        *nwrit = nbytes;
    return IO_OK;
}

ChunkReader::ChunkReader(std::span<const BYTE> bytes) : m_bytes(bytes) {
    if (bytes.size() < kHeaderBytes) {
        m_error = "scene file is " + std::to_string(bytes.size()) +
                  " bytes long, shorter than its 12-byte header";
        return;
    }
    if (std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0) {
        m_error = "not a scene file: bad magic at offset 0";
        return;
    }
    std::uint32_t version = 0;
    std::memcpy(&version, bytes.data() + sizeof(kMagic), sizeof(version));
    if (version != kChunkFileVersion) {
        m_error = "unsupported scene file version " + std::to_string(version) + " at offset 8 (" +
                  "expected " + std::to_string(kChunkFileVersion) + ")";
        return;
    }
    m_pos = kHeaderBytes;
}

std::uint64_t ChunkReader::LevelEnd() const {
    return m_open.empty() ? m_bytes.size() : m_open.back().end;
}

std::string ChunkReader::Where() const {
    std::string path = m_open.empty() ? std::string("file level") : std::string("chunk ");
    for (size_t i = 0; i < m_open.size(); ++i)
        path += (i ? "/" : "") + Hex(m_open[i].id);
    return path + " at offset " + std::to_string(m_pos);
}

void ChunkReader::Fail(const std::string& what) {
    if (m_error.empty())
        m_error = what + " (" + Where() + ")";
}

IOResult ChunkReader::OpenChunk() {
    if (Failed())
        return IO_ERROR;
    const std::uint64_t end = LevelEnd();
    if (m_pos == end)
        return IO_END;
    if (static_cast<int>(m_open.size()) >= kMaxChunkDepth) {
        Fail("chunks nested deeper than " + std::to_string(kMaxChunkDepth));
        return IO_ERROR;
    }
    if (end - m_pos < kChunkHeaderBytes) {
        Fail("truncated chunk header: " + std::to_string(end - m_pos) + " bytes left");
        return IO_ERROR;
    }
    USHORT id = 0;
    std::uint64_t length = 0;
    std::memcpy(&id, m_bytes.data() + m_pos, sizeof(id));
    std::memcpy(&length, m_bytes.data() + m_pos + sizeof(id), sizeof(length));
    const std::uint64_t start = m_pos + kChunkHeaderBytes;
    if (length > end - start) {
        Fail("chunk " + Hex(id) + " claims " + std::to_string(length) + " bytes but only " +
             std::to_string(end - start) + " remain");
        return IO_ERROR;
    }
    m_open.push_back({id, start, start + length});
    m_pos = start;
    return IO_OK;
}

USHORT ChunkReader::CurChunkID() {
    return m_open.empty() ? 0 : m_open.back().id;
}

std::uint64_t ChunkReader::CurChunkLength() {
    return m_open.empty() ? 0 : m_open.back().end - m_open.back().start;
}

std::uint64_t ChunkReader::CurChunkRemaining() {
    return Failed() ? 0 : LevelEnd() - m_pos;
}

IOResult ChunkReader::Read(void* buf, ULONG nbytes, ULONG* nread) {
    if (nread)
        *nread = 0;
    if (Failed())
        return IO_ERROR;
    if (nbytes > LevelEnd() - m_pos) {
        Fail("read of " + std::to_string(nbytes) + " bytes past the end of the chunk (" +
             std::to_string(LevelEnd() - m_pos) + " left)");
        return IO_ERROR;
    }
    if (nbytes > 0)
        std::memcpy(buf, m_bytes.data() + m_pos, nbytes);
    m_pos += nbytes;
    if (nread)
        *nread = nbytes;
    return IO_OK;
}

IOResult ChunkReader::CloseChunk() {
    if (Failed())
        return IO_ERROR;
    if (m_open.empty()) {
        Fail("CloseChunk without an open chunk");
        return IO_ERROR;
    }
    m_pos = m_open.back().end;
    m_open.pop_back();
    return IO_OK;
}
