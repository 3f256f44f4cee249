#include "host/TickCount.h"

#include <chrono>

DWORD GetTickCount() {
    // The epoch is the first call in the process; a steady clock never runs backwards.
    static const auto start = std::chrono::steady_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    return static_cast<DWORD>(static_cast<std::uint64_t>(ms));
}
