// The module's entry points: what the host looks for when it loads Quarix_Rigid.dlm.

#include "core/QX_BT_Body.h"
#include "host/Module.h"
#include "host/Notify.h"
#include "plugin/QX_Class_Table.h"
#include "plugin/QX_Resources.h"

namespace {

// The body counter numbers the bodies of a session (their variation draws follow it); a new
// scene starts it over, so that a scene simulated after another one gives the same result as in
// a fresh process.
void ResetBodyCounter(void*, NotifyInfo*) {
    Quarix::BodyCounter() = 0;
}

} // namespace

QX_MODULE_EXPORT const MCHAR* LibDescription() {
    return QX_GetString(1);
}

QX_MODULE_EXPORT int LibNumberClasses() {
    return QX_CLASS_COUNT;
}

QX_MODULE_EXPORT ClassDesc* LibClassDesc(int i) {
    return QX_ClassDescAt(i);
}

QX_MODULE_EXPORT ULONG LibVersion() {
    return HOST_API_VERSION;
}

QX_MODULE_EXPORT BOOL DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        MaxSDK::Util::UseLanguagePackLocale(instance);
        if (!QX_AttachModuleInstance(instance))
            return FALSE;
        DisableThreadLibraryCalls(instance);
        RegisterNotification(ResetBodyCounter, nullptr, NOTIFY_SYSTEM_POST_RESET);
        RegisterNotification(ResetBodyCounter, nullptr, NOTIFY_FILE_PRE_OPEN);
    }
    return TRUE;
}
