// voro++ reports its internal failures (an allocation beyond its fixed maxima, a relation table
// it cannot build) through voro::voro_fatal_error, which prints and calls exit(): inside the host
// that would end the user's session. libvoro++ calls it through its procedure linkage table, so
// this definition, which the dynamic linker finds before the library's own, takes its place and
// turns the failure into an exception that the fragmenter's caller catches like any other.
//
// This file must not include the voro++ headers: they define the function inline.

#include "shatter/VoronoiCells.h"

#include <string>

namespace voro {

/// Replaces voro++'s handler: throws Quarix::Shatter::VoronoiError instead of exiting.
[[noreturn]] void voro_fatal_error(const char* message, int status);

void voro_fatal_error(const char* message, int status) {
    throw Quarix::Shatter::VoronoiError(std::string("shatter: voro++ failed (") +
                                        (message ? message : "no message") + ", status " +
                                        std::to_string(status) + ")");
}

} // namespace voro
