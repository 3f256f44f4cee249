#pragma once
// What the host tests know about the test module's class.

#include "host/ClassID.h"

#include <cstdint>

class Modifier;

inline constexpr Class_ID kTestLiftClassID(0x51A7E001, 0x00C0FFEE);
inline constexpr short kLiftParam = 0;
inline constexpr short kCountParam = 1;
inline constexpr short kEnabledParam = 2;
inline constexpr short kMarginParam = 3;
inline constexpr short kSuffixParam = 4;
inline constexpr short kNodesParam = 5;
inline constexpr unsigned kStringDescription = 1;
inline constexpr unsigned kStringRollout = 2;
inline constexpr std::uint32_t kPrivateMagic = 0x7E57AB1E;

// Inspection entry points the module exports for the tests (looked up with dlsym).
using TestLiftCounterFn = int (*)(Modifier*);
using TestLiftMagicFn = std::uint32_t (*)(Modifier*);
