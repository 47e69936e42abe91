// A library named TWAIN_32.DLL that is no Source Manager: it has no DSM_Entry.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
