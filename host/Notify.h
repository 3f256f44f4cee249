#pragma once
// Scene lifetime notifications: plug-ins register a procedure for a code and the host calls it
// when that moment comes (the scene is about to be reset or replaced by a file, a node is about
// to be deleted). Procedures run on the user-interface thread, in registration order.

#include "host/MaxTypes.h"

#include <vector>

/// The scene is about to be emptied (Interface::ResetScene); callParam is null.
inline constexpr int NOTIFY_SYSTEM_PRE_RESET = 0x00000009;
/// The scene has been emptied; callParam is null.
inline constexpr int NOTIFY_SYSTEM_POST_RESET = 0x0000000A;
/// A scene file was read and is about to replace the current scene; callParam is null. Not sent
/// when the file is refused, since the current scene then stays.
inline constexpr int NOTIFY_FILE_PRE_OPEN = 0x0000000B;
/// A scene file replaced the current scene; callParam is null.
inline constexpr int NOTIFY_FILE_POST_OPEN = 0x0000000C;
/// A node is about to leave the scene (deleted, or its creation undone); callParam is the INode*,
/// still valid during the call.
inline constexpr int NOTIFY_SCENE_PRE_DELETED_NODE = 0x00000043;
/// The host process is ending; callParam is null.
inline constexpr int NOTIFY_SYSTEM_SHUTDOWN = 0x00000016;

/// What a notification procedure is told.
struct NotifyInfo {
    int intcode = 0;
    void* callParam = nullptr;
};

/// A notification procedure: `param` is the value given at registration.
using NOTIFYPROC = void (*)(void* param, NotifyInfo* info);

/// Registers proc for code (a procedure/param/code triple is registered at most once). Returns
/// 1, or 0 for a null procedure.
int RegisterNotification(NOTIFYPROC proc, void* param, int code);
/// Removes a registration; 0 when it was not registered.
int UnRegisterNotification(NOTIFYPROC proc, void* param, int code);
/// Calls every procedure registered for code. A procedure may register or unregister others
/// meanwhile: one unregistered during the broadcast is not called afterwards.
void BroadcastNotification(int code, void* callParam = nullptr);

/// The registrations of one host (owned by the Interface).
class NotificationRegistry {
public:
    int Register(NOTIFYPROC proc, void* param, int code);
    int Unregister(NOTIFYPROC proc, void* param, int code);
    void Broadcast(int code, void* callParam);
    /// Registrations for code.
    int Count(int code) const;

private:
    struct Entry {
        NOTIFYPROC proc;
        void* param;
        int code;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> m_entries;
};
