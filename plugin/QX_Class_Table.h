#pragma once
// The module's class descriptors in LibClassDesc order.

#include "host/ClassDesc2.h"

/// Number of classes the module exports.
inline constexpr int QX_CLASS_COUNT = 2;

/// Descriptor `i`: 0 the world object, 1 the rigid modifier; null for any other index.
ClassDesc* QX_ClassDescAt(int i);
