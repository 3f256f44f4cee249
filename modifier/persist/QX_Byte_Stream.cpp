#include "modifier/persist/QX_Byte_Stream.h"

#include <cmath>

namespace Quarix {

QX_Byte_Reader::QX_Byte_Reader(std::span<const uint8_t> bytes, std::string what)
    : bytes_(bytes), what_(std::move(what)), end_(bytes.size()) {}

bool QX_Byte_Reader::fail(const std::string& problem) {
    if (error_.empty()) {
        error_ = what_ + ", " + (section_.empty() ? std::string("start") : section_) + ": " +
                 problem + " (byte offset " + std::to_string(pos_) + " of " +
                 std::to_string(bytes_.size()) + ")";
    }
    return false;
}

bool QX_Byte_Reader::raw(void* out, size_t size) {
    if (failed())
        return false;
    if (size > remaining()) {
        return fail("needs " + std::to_string(size) + " bytes, " + std::to_string(remaining()) +
                    " left");
    }
    if (size != 0)
        std::memcpy(out, bytes_.data() + pos_, size);
    pos_ += size;
    return true;
}

bool QX_Byte_Reader::skip(size_t size) {
    if (failed())
        return false;
    if (size > remaining())
        return fail("needs " + std::to_string(size) + " bytes, " + std::to_string(remaining()) +
                    " left");
    pos_ += size;
    return true;
}

bool QX_Byte_Reader::count(size_t& out, size_t minBytesEach, const char* what, bool isUnsigned) {
    int64_t value = 0;
    if (isUnsigned) {
        uint32_t u = 0;
        if (!u32(u))
            return false;
        value = u;
    } else {
        int32_t i = 0;
        if (!i32(i))
            return false;
        value = i;
    }
    if (value < 0)
        return fail(std::string(what) + " " + std::to_string(value) + " is negative");
    // Compared by division so that a huge count cannot overflow the product.
    if (minBytesEach != 0 && uint64_t(value) > remaining() / minBytesEach) {
        return fail(std::string(what) + " " + std::to_string(value) + " runs past the end (" +
                    std::to_string(remaining()) + " bytes left, " + std::to_string(minBytesEach) +
                    " needed per item)");
    }
    out = size_t(value);
    return true;
}

bool QX_Byte_Reader::matrix(float* out, const char* what) {
    const size_t start = pos_;
    if (!floats(out, 16))
        return false;
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(out[i])) {
            pos_ = start + size_t(i) * 4;
            return fail(std::string(what) + " holds a non-finite value");
        }
    }
    return true;
}

bool QX_Byte_Reader::openRange(size_t& previousEnd, const char* what) {
    size_t length = 0;
    if (!count(length, 1, what))
        return false;
    previousEnd = end_;
    end_ = pos_ + length;
    return true;
}

bool QX_Byte_Reader::closeRange(size_t previousEnd, const char* what) {
    if (failed())
        return false;
    if (pos_ != end_) {
        return fail(std::string(what) + " leaves " + std::to_string(end_ - pos_) + " bytes unread");
    }
    end_ = previousEnd;
    return true;
}

} // namespace Quarix
