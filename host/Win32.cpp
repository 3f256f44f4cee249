#include "host/Win32.h"

#include "host/Interface.h"
#include "host/Module.h"

#include <algorithm>
#include <chrono>
#include <thread>

int LoadString(HINSTANCE instance, UINT id, MCHAR* buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0)
        return 0;
    buffer[0] = 0;
    if (!instance)
        return 0;
    const MSTR* text = instance->FindString(id);
    if (!text)
        return 0;
    const int n = std::min(static_cast<int>(text->size()), bufferMax - 1);
    std::copy(text->begin(), text->begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

void SetStringResource(HINSTANCE instance, UINT id, const MCHAR* text) {
    if (instance)
        instance->strings[id] = text ? text : _T("");
}

BOOL DisableThreadLibraryCalls(HINSTANCE) {
    return TRUE;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC callback) {
    return GetCOREInterface()->GetMessageLoop().SetTimer(window, id, elapseMs, callback);
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    return GetCOREInterface()->GetMessageLoop().KillTimer(window, id);
}

UINT_PTR MessageLoop::SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC callback) {
    if (!callback)
        return 0;
    const UINT period = std::max<UINT>(elapseMs, 1);
    if (window) {
        for (Timer& timer : m_timers) {
            if (timer.window == window && timer.id == id) {
                timer.periodMs = period;
                timer.callback = callback;
                timer.dueMs = m_nowMs + period;
                return id;
            }
        }
    } else {
        id = m_nextId++;
    }
    m_timers.push_back(Timer{window, id, period, callback, m_nowMs + period});
    return id;
}

BOOL MessageLoop::KillTimer(HWND window, UINT_PTR id) {
    auto it = std::find_if(m_timers.begin(), m_timers.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it == m_timers.end())
        return FALSE;
    m_timers.erase(it);
    return TRUE;
}

void MessageLoop::PostMessage(std::function<void()> message) {
    if (message)
        m_posted.push_back(std::move(message));
}

int MessageLoop::DeliverPosted() {
    if (m_inHandler)
        return 0;
    int delivered = 0;
    while (!m_posted.empty()) {
        std::function<void()> message = std::move(m_posted.front());
        m_posted.pop_front();
        m_inHandler = true;
        message();
        m_inHandler = false;
        ++delivered;
    }
    return delivered;
}

int MessageLoop::DeliverDueTimers() {
    if (m_inHandler)
        return 0;
    DeliverPosted();
    // A callback may set or kill timers; work from a snapshot of the ids and look each one up
    // again before delivering.
    std::vector<std::pair<HWND, UINT_PTR>> due;
    for (const Timer& timer : m_timers) {
        if (timer.dueMs <= m_nowMs)
            due.emplace_back(timer.window, timer.id);
    }
    int delivered = 0;
    for (const auto& entry : due) {
        const HWND window = entry.first;
        const UINT_PTR id = entry.second;
        auto it = std::find_if(m_timers.begin(), m_timers.end(),
                               [&](const Timer& t) { return t.window == window && t.id == id; });
        if (it == m_timers.end() || it->dueMs > m_nowMs)
            continue;
        it->dueMs = m_nowMs + it->periodMs;
        TIMERPROC callback = it->callback;
        m_inHandler = true;
        callback(window, WM_TIMER, id, static_cast<DWORD>(m_nowMs));
        m_inHandler = false;
        ++delivered;
    }
    return delivered;
}

int MessageLoop::RunTicks(int maxTicks) {
    return RunUntil([] { return false; }, maxTicks);
}

int MessageLoop::RunUntil(const std::function<bool()>& done, int maxTicks) {
    if (m_inHandler)
        return 0;
    int delivered = 0;
    // Posted messages go first, and again before every tick: user actions come in between.
    DeliverPosted();
    while (delivered < maxTicks && !m_timers.empty() && !done()) {
        std::uint64_t next = m_timers.front().dueMs;
        for (const Timer& timer : m_timers)
            next = std::min(next, timer.dueMs);
        m_nowMs = std::max(m_nowMs, next);
        // One tick at a time, so `done` sees the state after every single callback.
        const int n = DeliverOneDue();
        if (n == 0)
            break;
        delivered += n;
        DeliverPosted();
    }
    return delivered;
}

int MessageLoop::DeliverOneDue() {
    auto it = std::find_if(m_timers.begin(), m_timers.end(),
                           [&](const Timer& t) { return t.dueMs <= m_nowMs; });
    if (it == m_timers.end())
        return 0;
    const HWND window = it->window;
    const UINT_PTR id = it->id;
    it->dueMs = m_nowMs + it->periodMs;
    TIMERPROC callback = it->callback;
    m_inHandler = true;
    callback(window, WM_TIMER, id, static_cast<DWORD>(m_nowMs));
    m_inHandler = false;
    return 1;
}

bool MessageLoop::HasTimer(TIMERPROC callback) const {
    return std::any_of(m_timers.begin(), m_timers.end(),
                       [&](const Timer& t) { return t.callback == callback; });
}

int MessageLoop::Run(std::uint64_t timeoutMs) {
    if (m_inHandler)
        return 0;
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const std::uint64_t startMs = m_nowMs;
    int delivered = 0;
    DeliverPosted();
    while (!m_timers.empty()) {
        auto elapsed = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        if (elapsed >= timeoutMs)
            break;
        m_nowMs = startMs + elapsed;
        int n = DeliverDueTimers();
        delivered += n;
        if (n == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return delivered;
}
