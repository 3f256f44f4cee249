#pragma once
// Broadcast notifications: plug-ins register a procedure for a notification code and the host
// calls it when that moment comes: the scene is about to be reset or replaced by a file, a node
// is about to leave the scene. This is how module-wide state that belongs to a scene learns that
// the scene (or a part of it) is going: a body counter goes back to zero with a new scene, a
// simulation driver stops before the world it drives is freed. Procedures run on the
// user-interface thread, in registration order.

#include "host/MaxTypes.h"

#include <vector>

/// The scene is about to be emptied (Interface::ResetScene, also when a file replaces it);
/// callParam is null.
inline constexpr int NOTIFY_SYSTEM_PRE_RESET = 0x00000007;
/// The scene was emptied and every scene setting restored (Interface::ResetScene).
inline constexpr int NOTIFY_SYSTEM_POST_RESET = 0x00000008;
/// A scene file was read and is about to replace the current scene; callParam is null. Not sent
/// when the file is refused, since the current scene then stays.
inline constexpr int NOTIFY_FILE_PRE_OPEN = 0x0000000B;
/// A scene file replaced the current scene; callParam is null.
inline constexpr int NOTIFY_FILE_POST_OPEN = 0x0000000C;
/// A node is about to leave the scene (deleted, or its creation undone); callParam is the INode*,
/// still valid during the call.
inline constexpr int NOTIFY_SCENE_PRE_DELETED_NODE = 0x00000043;

/// What a notification procedure receives.
struct NotifyInfo {
    int intcode = 0;
    /// Data of the notification (the node for NOTIFY_SCENE_PRE_DELETED_NODE, otherwise null).
    void* callParam = nullptr;
};

/// A notification procedure; `param` is the pointer given at registration.
using NOTIFYPROC = void (*)(void* param, NotifyInfo* info);

/// The registrations of one host. Procedures are called in registration order; a procedure may
/// register or unregister during a broadcast: one unregistered meanwhile is not called any more
/// (its owner may be gone), one registered meanwhile waits for the next broadcast.
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
        bool operator==(const Entry&) const = default;
    };
    bool Registered(const Entry& entry) const;
    std::vector<Entry> m_entries;
};

/// Registration with the host of this process (GetCOREInterface). Non-zero on success.
int RegisterNotification(NOTIFYPROC proc, void* param, int code);
/// Non-zero when the registration existed.
int UnRegisterNotification(NOTIFYPROC proc, void* param, int code);
/// Sends `code` to every procedure registered with the host of this process.
void BroadcastNotification(int code, void* callParam = nullptr);
