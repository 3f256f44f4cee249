#pragma once
// The few platform services the plug-ins call by their Win32 names, provided headlessly: module
// handles, string resources, thread timers delivered through the host's message loop.

#include "host/MaxTypes.h"

#include <deque>
#include <functional>
#include <vector>

struct HostModule;
/// Handle of a loaded module (its string table and file name live behind it).
using HINSTANCE = HostModule*;
using HMODULE = HINSTANCE;
/// Window handle: a rollout or one of its controls (host/Window.h); null for no window.
using HWND = struct HostWindow*;
using UINT_PTR = std::uintptr_t;
/// A colour as 0x00BBGGRR (RGB builds one).
using COLORREF = std::uint32_t;
using LRESULT = std::intptr_t;
/// Timer callback: window, message (WM_TIMER), timer id, tick count in milliseconds.
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

inline constexpr DWORD DLL_PROCESS_DETACH = 0;
inline constexpr DWORD DLL_PROCESS_ATTACH = 1;
inline constexpr DWORD DLL_THREAD_ATTACH = 2;
inline constexpr DWORD DLL_THREAD_DETACH = 3;
inline constexpr UINT WM_TIMER = 0x0113;

/// The colour with these red, green and blue components (0..255).
constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

/// Copies string `id` of a module's string table into buffer (at most bufferMax - 1 characters,
/// always terminated). Returns the characters copied, 0 when the module or the string is missing.
int LoadString(HINSTANCE instance, UINT id, MCHAR* buffer, int bufferMax);
/// Adds or replaces a string of a module's string table (modules register their table from
/// DllMain; the application may add translations).
void SetStringResource(HINSTANCE instance, UINT id, const MCHAR* text);
/// Accepted and ignored: the host has no thread notifications.
BOOL DisableThreadLibraryCalls(HINSTANCE instance);

/// Starts a periodic timer of `elapseMs` milliseconds whose expiries the host's message loop
/// delivers to `callback` on the user-interface thread. With a null window the id argument is
/// ignored and a fresh id is returned; 0 means failure (no callback).
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC callback);
/// Stops a timer; false when no such timer runs.
BOOL KillTimer(HWND window, UINT_PTR id);

/// The host's message loop and its thread timers, owned by the Interface. Everything runs on the
/// calling (user-interface) thread, so timer callbacks never overlap each other or other host
/// calls: a handler that pumps the loop itself (a progress dialog, say) gets no nested tick.
/// Time is the loop clock in milliseconds: RunTicks and RunUntil advance it deterministically,
/// Run follows the wall clock.
///
/// Posted messages (user actions on rollout controls) wait in a queue and are delivered in
/// posting order before the next timer tick, never inside a tick handler or another posted
/// message: RunTicks, RunUntil and Run deliver them first, DeliverPosted on its own.
class MessageLoop {
public:
    /// Queues a message for delivery on the loop (after the current handler returns).
    void PostMessage(std::function<void()> message);
    /// Delivers every queued message in posting order, including those posted meanwhile.
    /// Returns how many were delivered; 0 when called inside a handler (nothing nests).
    int DeliverPosted();
    /// Messages waiting for delivery.
    int PendingPosted() const { return static_cast<int>(m_posted.size()); }
    /// See the free function SetTimer.
    UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC callback);
    BOOL KillTimer(HWND window, UINT_PTR id);
    /// Delivers one tick to every timer due at the current loop clock, in timer start order.
    /// Returns the number of ticks delivered.
    int DeliverDueTimers();
    /// Advances the loop clock to each next expiry and delivers it, until `maxTicks` ticks were
    /// delivered or no timer runs. Returns the ticks delivered.
    int RunTicks(int maxTicks);
    /// Like RunTicks, but first asks `done` before every tick and stops as soon as it answers
    /// true (also when no timer runs or `maxTicks` ticks were delivered). Returns the ticks.
    int RunUntil(const std::function<bool()>& done, int maxTicks);
    /// Follows the wall clock until no timer is left or `timeoutMs` passed. Returns ticks.
    int Run(std::uint64_t timeoutMs);
    /// Whether a timer callback is running now (the loop delivers nothing nested meanwhile).
    bool InHandler() const { return m_inHandler; }
    /// Whether a timer with this callback runs.
    bool HasTimer(TIMERPROC callback) const;
    int ActiveTimers() const { return static_cast<int>(m_timers.size()); }
    std::uint64_t NowMs() const { return m_nowMs; }
    /// Stops every timer and drops the posted messages (scene reset).
    void Clear() {
        m_timers.clear();
        m_posted.clear();
    }

private:
    /// Delivers the first due timer (start order) once; 0 when none is due.
    int DeliverOneDue();

    struct Timer {
        HWND window;
        UINT_PTR id;
        UINT periodMs;
        TIMERPROC callback;
        std::uint64_t dueMs;
    };
    std::vector<Timer> m_timers;
    std::deque<std::function<void()>> m_posted;
    std::uint64_t m_nowMs = 0;
    UINT_PTR m_nextId = 1;
    bool m_inHandler = false;
};
