#include "host/Notify.h"

#include "host/Interface.h"

#include <algorithm>

bool NotificationRegistry::Registered(const Entry& entry) const {
    return std::find(m_entries.begin(), m_entries.end(), entry) != m_entries.end();
}

bool NotificationRegistry::Register(NOTIFYPROC proc, void* param, int code) {
    if (!proc)
        return false;
    const Entry entry{proc, param, code};
    if (!Registered(entry))
        m_entries.push_back(entry);
    return true;
}

bool NotificationRegistry::Unregister(NOTIFYPROC proc, void* param, int code) {
    const auto it = std::find(m_entries.begin(), m_entries.end(), Entry{proc, param, code});
    if (it == m_entries.end())
        return false;
    m_entries.erase(it);
    return true;
}

void NotificationRegistry::UnregisterAll(NOTIFYPROC proc, void* param) {
    std::erase_if(m_entries, [&](const Entry& e) { return e.proc == proc && e.param == param; });
}

void NotificationRegistry::Broadcast(int code, void* callParam) {
    // A copy, so that procedures may change the registrations while being called; each entry is
    // looked up again, since an unregistered procedure's owner may already be gone.
    const std::vector<Entry> entries = m_entries;
    for (const Entry& e : entries) {
        if (e.code != code || !Registered(e))
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
