#pragma once
// Shared helper of the studio tests.

#include <string>

#include <gtest/gtest.h>

#include "app/studio/QX_Studio_Request.h"

namespace Quarix::Studio::Testing {

/// The status of the StudioError `f` throws (its message must not be empty), or 0 when it
/// throws none.
template <class F>
int StatusOf(F&& f) {
    try {
        f();
    } catch (const StudioError& e) {
        EXPECT_NE(std::string(e.what()), "");
        return e.status();
    }
    return 0;
}

} // namespace Quarix::Studio::Testing
