#pragma once
// Basic scalar types, string types and time values shared by every host header. Plug-in code is
// written against these names, so they keep the host's spelling (BOOL, DWORD, MCHAR, TimeValue).

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

/// Win32-style truth value used throughout the host interfaces; any non-zero value is true.
using BOOL = int;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

using BYTE = std::uint8_t;
using USHORT = std::uint16_t;
using DWORD = std::uint32_t;
/// 32-bit unsigned integer; node handles and byte counts of chunk reads and writes use it.
using ULONG = std::uint32_t;
using UINT = unsigned int;
using ULONG_PTR = std::uintptr_t;
/// Material id of a face (16 bits, stored in the upper half of the face flags).
using MtlID = USHORT;

/// Character type of every user-visible and scene string (wide, as the host's string resources).
using MCHAR = wchar_t;
using TCHAR = wchar_t;
/// Owning host string.
using MSTR = std::wstring;
using TSTR = std::wstring;

#ifndef _T
#define _T(x) L##x
#endif
#ifndef _M
#define _M(x) L##x
#endif

/// Scene time in ticks. One second is TIME_TICKSPERSEC ticks whatever the frame rate.
using TimeValue = int;
/// Ticks per second of scene time.
inline constexpr int TIME_TICKSPERSEC = 4800;
/// The earliest representable time; an interval starting here is open to the past.
inline constexpr TimeValue TIME_NegInfinity = std::numeric_limits<int>::min();
/// The latest representable time; an interval ending here is open to the future.
inline constexpr TimeValue TIME_PosInfinity = std::numeric_limits<int>::max();

/// Converts a host string to UTF-8 (for scene files and messages).
std::string ToUtf8(const MSTR& text);
/// Converts UTF-8 to a host string; invalid sequences become U+FFFD.
MSTR FromUtf8(const std::string& text);
