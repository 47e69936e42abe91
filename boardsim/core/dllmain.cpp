#include <windows.h>

#include "config_load.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        NoteCoreModule(instance);
    }
    return TRUE;
}
