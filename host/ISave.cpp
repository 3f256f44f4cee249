#include "host/ISave.h"

IOResult ISave::WriteWString(const MCHAR* text) {
    std::string utf8 = ToUtf8(text ? MSTR(text) : MSTR());
    if (WriteValue(*this, static_cast<std::uint32_t>(utf8.size())) != IO_OK)
        return IO_ERROR;
    ULONG written = 0;
    return Write(utf8.data(), static_cast<ULONG>(utf8.size()), &written);
}

IOResult ILoad::ReadWString(MSTR& text) {
    std::uint32_t size = 0;
    if (ReadValue(*this, size) != IO_OK || size > CurChunkRemaining())
        return IO_ERROR;
    std::string utf8(size, '\0');
    ULONG read = 0;
    if (Read(utf8.data(), size, &read) != IO_OK)
        return IO_ERROR;
    text = FromUtf8(utf8);
    return IO_OK;
}
