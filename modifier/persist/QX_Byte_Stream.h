#pragma once

// Flat little-endian byte blobs: a writer that appends int32, uint32, float32 and bytes, and a
// reader that checks every read, count and length prefix against the bytes it was given and
// names the section and byte offset of the first problem.

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace Quarix {

// The blob layout is little-endian; values are copied in native order, which is the same on every
// platform the module is built for.
static_assert(std::endian::native == std::endian::little, "blobs are written in native order");

/// Appends values to a growing byte array.
class QX_Byte_Writer {
public:
    void i32(int32_t v) { raw(&v, 4); }
    void u32(uint32_t v) { raw(&v, 4); }
    /// A float's IEEE-754 single-precision bit pattern.
    void f32(float v) { raw(&v, 4); }
    void u8(uint8_t v) { bytes_.push_back(v); }
    /// `count` floats from `values`, in order.
    void floats(const float* values, size_t count) { raw(values, count * 4); }
    /// `count` int32 values from `values`, in order.
    void ints(const int32_t* values, size_t count) { raw(values, count * 4); }
    /// Raw bytes.
    void raw(const void* data, size_t size) {
        const size_t at = bytes_.size();
        bytes_.resize(at + size);
        if (size != 0)
            std::memcpy(bytes_.data() + at, data, size);
    }

    /// Writes a placeholder int32 byte length and returns where it sits; closeLength fills it in
    /// with the number of bytes written after it.
    size_t openLength() {
        i32(0);
        return bytes_.size();
    }
    void closeLength(size_t start) {
        const auto length = static_cast<int32_t>(bytes_.size() - start);
        std::memcpy(bytes_.data() + start - 4, &length, 4);
    }

    /// Reserves room for `size` more bytes.
    void reserve(size_t size) { bytes_.reserve(bytes_.size() + size); }
    size_t size() const { return bytes_.size(); }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

/// Reads values from a byte span. Every read is checked against the end of the current range
/// (the whole span, or a length-prefixed part of it); the first failure is kept as a message
/// naming the section being read and the byte offset, and every later read fails too.
class QX_Byte_Reader {
public:
    /// Reads `bytes`, which must outlive the reader; `what` names the blob in messages.
    QX_Byte_Reader(std::span<const uint8_t> bytes, std::string what);

    /// Names the part being read, for messages ("bodies", "body 12 track", ...).
    void section(std::string name) { section_ = std::move(name); }

    bool i32(int32_t& v) { return raw(&v, 4); }
    bool u32(uint32_t& v) { return raw(&v, 4); }
    bool f32(float& v) { return raw(&v, 4); }
    bool u8(uint8_t& v) { return raw(&v, 1); }
    /// Reads `count` floats into `out` (which must have room).
    bool floats(float* out, size_t count) { return raw(out, count * 4); }
    /// Reads `count` int32 values into `out` (which must have room).
    bool ints(int32_t* out, size_t count) { return raw(out, count * 4); }
    /// Reads `size` bytes into `out`.
    bool raw(void* out, size_t size);
    /// Skips `size` bytes.
    bool skip(size_t size);

    /// Reads a count as int32 (or as uint32 when `isUnsigned`) and checks that `count` items of
    /// at least `minBytesEach` bytes fit in what is left, so that nothing is ever sized by a count
    /// the blob cannot back. `what` names the count in messages.
    bool count(size_t& out, size_t minBytesEach, const char* what, bool isUnsigned = false);

    /// Reads 16 floats, column by column; refuses a non-finite one (`what` names the matrix).
    bool matrix(float* out, const char* what);

    /// Reads an int32 byte length and narrows the readable range to that many bytes.
    /// `previousEnd` receives what closeRange needs to restore.
    bool openRange(size_t& previousEnd, const char* what);
    /// Checks that the narrowed range was read exactly and widens it back.
    bool closeRange(size_t previousEnd, const char* what);

    /// Records a failure at the current offset (the first one is kept); returns false.
    bool fail(const std::string& problem);

    size_t offset() const { return pos_; }
    size_t remaining() const { return end_ - pos_; }
    bool failed() const { return !error_.empty(); }
    /// The first failure: blob, section, problem and byte offset.
    const std::string& error() const { return error_; }

private:
    std::span<const uint8_t> bytes_;
    std::string what_;
    std::string section_;
    size_t pos_ = 0;
    size_t end_ = 0;
    std::string error_;
};

} // namespace Quarix
