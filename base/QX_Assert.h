#pragma once

// One way to state an invariant, usable from every layer (core, host, shatter, plug-in): this
// header depends on the standard library only. QX_ASSERT checks its condition where asserts are
// on (test and sanitizer builds, QX_ASSERTS_ENABLED) and compiles to nothing elsewhere; a failed
// check goes to a replaceable handler, which by default reports it and aborts.

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace Quarix {

/// Receives a failed invariant: the condition's source text and the file and line of the
/// check (static strings). A handler that returns lets the program go on past the check.
using QX_Assert_Handler = void (*)(const char* condition, const char* file, int line);

namespace Detail {

/// Prints the failed condition to standard error and aborts.
inline void DefaultAssertHandler(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "Quarix: invariant failed: %s (%s:%d)\n", condition, file, line);
    std::fflush(stderr);
    std::abort();
}

/// The installed handler, one per process (an inline function's static is unique across the
/// shared libraries of a process).
inline std::atomic<QX_Assert_Handler>& AssertHandlerSlot() {
    static std::atomic<QX_Assert_Handler> handler{&DefaultAssertHandler};
    return handler;
}

} // namespace Detail

/// Installs `handler` for every later failed check (null: the default handler) and returns the
/// handler it replaces.
inline QX_Assert_Handler SetAssertHandler(QX_Assert_Handler handler) {
    return Detail::AssertHandlerSlot().exchange(handler ? handler : &Detail::DefaultAssertHandler);
}

/// Hands a failed check to the installed handler. Called by QX_ASSERT.
inline void AssertFailed(const char* condition, const char* file, int line) {
    Detail::AssertHandlerSlot().load()(condition, file, line);
}

/// Whether QX_ASSERT checks its condition in this build.
#if defined(QX_ASSERTS_ENABLED)
inline constexpr bool kAssertsEnabled = true;
#else
inline constexpr bool kAssertsEnabled = false;
#endif

} // namespace Quarix

#if defined(QX_ASSERTS_ENABLED)
/// Checks an invariant: a false `condition` goes to the installed assert handler.
#define QX_ASSERT(condition)                                                                       \
    ((condition) ? static_cast<void>(0) : ::Quarix::AssertFailed(#condition, __FILE__, __LINE__))
#else
/// Asserts are off: the condition is compiled (so it stays valid code) but never evaluated.
#define QX_ASSERT(condition) static_cast<void>(sizeof(!(condition)))
#endif
