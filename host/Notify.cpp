#include "host/Notify.h"

#include "host/Interface.h"

#include <algorithm>

bool NotificationRegistry::Register(NOTIFYPROC proc, void* param, int code) {
    if (!proc)
        return false;
    const auto same = [&](const Entry& e) {
        return e.proc == proc && e.param == param && e.code == code;
    };
    if (std::none_of(m_entries.begin(), m_entries.end(), same))
        m_entries.push_back({proc, param, code});
    return true;
}

bool NotificationRegistry::Unregister(NOTIFYPROC proc, void* param, int code) {
    const auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
        return e.proc == proc && e.param == param && e.code == code;
    });
    if (it == m_entries.end())
        return false;
    m_entries.erase(it);
    return true;
}

void NotificationRegistry::UnregisterAll(NOTIFYPROC proc, void* param) {
    std::erase_if(m_entries, [&](const Entry& e) { return e.proc == proc && e.param == param; });
}

void NotificationRegistry::Broadcast(int code, void* callParam) {
    // A copy, so that procedures may change the registrations while being called.
    const std::vector<Entry> entries = m_entries;
    for (const Entry& e : entries) {
        if (e.code != code)
            continue;
        NotifyInfo info{code, callParam};
        e.proc(e.param, &info);
    }
}

int RegisterNotification(NOTIFYPROC proc, void* param, int code) {
    return GetCOREInterface()->GetNotifications().Register(proc, param, code) ? 1 : 0;
}

int UnRegisterNotification(NOTIFYPROC proc, void* param, int code) {
    return GetCOREInterface()->GetNotifications().Unregister(proc, param, code) ? 1 : 0;
}

void BroadcastNotification(int code, void* callParam) {
    GetCOREInterface()->GetNotifications().Broadcast(code, callParam);
}
