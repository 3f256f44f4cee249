#pragma once
// Broadcast notifications: plug-ins register a procedure for a notification code and the host
// calls it when that moment comes (a scene reset). This is how module-wide
// state that belongs to a scene learns that the scene is gone: for example a counter that
// numbers the bodies of a session goes back to zero with a new scene, so that the same scene
// simulated twice in one process gives the same result as in two processes.

#include "host/MaxTypes.h"

#include <vector>

/// The scene is about to be emptied (Interface::ResetScene).
inline constexpr int NOTIFY_SYSTEM_PRE_RESET = 0x00000007;
/// The scene was emptied and every scene setting restored (Interface::ResetScene).
inline constexpr int NOTIFY_SYSTEM_POST_RESET = 0x00000008;

/// What a notification procedure receives.
struct NotifyInfo {
    int intcode = 0;
    /// Data of the notification (none of the codes above carries any: null).
    void* callParam = nullptr;
};

/// A notification procedure; `param` is the pointer given at registration.
using NOTIFYPROC = void (*)(void* param, NotifyInfo* info);

/// The registrations of one host. Procedures are called in registration order; a procedure may
/// register or unregister during a broadcast (changes take effect with the next broadcast).
class NotificationRegistry {
public:
    /// Registers (proc, param) for `code`; a repeated registration is ignored. False for null.
    bool Register(NOTIFYPROC proc, void* param, int code);
    /// Removes the registration; false when there was none.
    bool Unregister(NOTIFYPROC proc, void* param, int code);
    /// Removes every registration of `proc` with `param`, whatever the code.
    void UnregisterAll(NOTIFYPROC proc, void* param);
    /// Calls every procedure registered for `code`.
    void Broadcast(int code, void* callParam = nullptr);
    int Count() const { return static_cast<int>(m_entries.size()); }

private:
    struct Entry {
        NOTIFYPROC proc;
        void* param;
        int code;
    };
    std::vector<Entry> m_entries;
};

/// Registration with the host of this process (GetCOREInterface). Non-zero on success.
int RegisterNotification(NOTIFYPROC proc, void* param, int code);
/// Non-zero when the registration existed.
int UnRegisterNotification(NOTIFYPROC proc, void* param, int code);
/// Sends `code` to every procedure registered with the host of this process.
void BroadcastNotification(int code, void* callParam = nullptr);
