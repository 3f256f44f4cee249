#pragma once
// The system tick count: milliseconds of a steady clock, as the platform's GetTickCount.

#include "host/MaxTypes.h"

/// Milliseconds since the host process started (steady, wraps after about 49.7 days).
DWORD GetTickCount();
