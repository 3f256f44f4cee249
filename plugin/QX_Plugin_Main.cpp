// The module's entry points: what the host looks for when it loads Quarix_Rigid.dlm.

#include "host/Module.h"
#include "plugin/QX_Class_Table.h"
#include "plugin/QX_Resources.h"

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
        QX_AttachModuleInstance(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
