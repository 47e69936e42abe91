#include "dsm_context.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_dsm.module = instance;
        InitializeCriticalSection(&g_dsm.lock);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        DeleteCriticalSection(&g_dsm.lock);
    }
    return TRUE;
}
