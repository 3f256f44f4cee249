#include "host/Notify.h"

#include "host/Interface.h"

#include <algorithm>

int NotificationRegistry::Register(NOTIFYPROC proc, void* param, int code) {
    if (!proc)
        return 0;
    const Entry entry{proc, param, code};
    if (std::find(m_entries.begin(), m_entries.end(), entry) == m_entries.end())
        m_entries.push_back(entry);
    return 1;
}

int NotificationRegistry::Unregister(NOTIFYPROC proc, void* param, int code) {
    auto it = std::find(m_entries.begin(), m_entries.end(), Entry{proc, param, code});
    if (it == m_entries.end())
        return 0;
    m_entries.erase(it);
    return 1;
}

void NotificationRegistry::Broadcast(int code, void* callParam) {
    // Work from a snapshot and look each entry up again: a procedure may unregister itself or
    // another one (a driver that forgets its world, say).
    const std::vector<Entry> snapshot = m_entries;
    for (const Entry& entry : snapshot) {
        if (entry.code != code)
            continue;
        if (std::find(m_entries.begin(), m_entries.end(), entry) == m_entries.end())
            continue;
        NotifyInfo info{code, callParam};
        entry.proc(entry.param, &info);
    }
}

int NotificationRegistry::Count(int code) const {
    return static_cast<int>(std::count_if(m_entries.begin(), m_entries.end(),
                                          [&](const Entry& e) { return e.code == code; }));
}

int RegisterNotification(NOTIFYPROC proc, void* param, int code) {
    return GetCOREInterface()->GetNotifications().Register(proc, param, code);
}

int UnRegisterNotification(NOTIFYPROC proc, void* param, int code) {
    return GetCOREInterface()->GetNotifications().Unregister(proc, param, code);
}

void BroadcastNotification(int code, void* callParam) {
    GetCOREInterface()->GetNotifications().Broadcast(code, callParam);
}
