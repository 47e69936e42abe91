// Loading the Source Manager and calling it; failures told with TWAIN names.
#include <cstdarg>
#include <cstdio>

#include "acquire.h"

namespace {

volatile LONG g_interrupted = 0;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    InterlockedExchange(&g_interrupted, 1);
    // Wakes the event loop; the main thread then winds the session down.
    if (g_app.window) PostMessageA(g_app.window, WM_NULL, 0, 0);
    return TRUE;
}

HMODULE TryLoad(const char *name) {
    HMODULE library = LoadLibraryA(name);
    if (library && !GetProcAddress(library, "DSM_Entry")) {
        FreeLibrary(library);
        return nullptr;
    }
    return library;
}

}  // namespace

Application g_app;

void Trace(const char *format, ...) {
    if (!g_app.options.verbose) return;
    va_list args;
    va_start(args, format);
    printf("  . ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
}

bool Fail(int exitCode, const char *format, ...) {
    va_list args;
    va_start(args, format);
    printf("error: ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
    if (g_app.exitCode == ExitSuccess) g_app.exitCode = exitCode;
    return false;
}

FILE *InfoStream() { return g_app.options.json ? stderr : stdout; }

void InstallInterruptHandler() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }
bool Interrupted() { return g_interrupted != 0; }

bool LoadSourceManager() {
    const std::string &chosen = g_app.options.dsmPath;
    const char *tried = chosen.empty() ? "TWAINDSM.DLL or TWAIN_32.DLL" : chosen.c_str();
    if (!chosen.empty())
        g_app.dsmLibrary = TryLoad(chosen.c_str());
    else if (!(g_app.dsmLibrary = TryLoad("TWAINDSM.DLL")))
        g_app.dsmLibrary = TryLoad("TWAIN_32.DLL");
    if (!g_app.dsmLibrary)
        return Fail(ExitNoSource,
                    "no Source Manager: %s cannot be loaded or exports no DSM_Entry.\n"
                    "  Install the TWAIN Source Manager (TWAINDSM.DLL), or name one with --dsm PATH.",
                    tried);
    g_app.dsmEntry = reinterpret_cast<DSMENTRYPROC>(
        reinterpret_cast<void *>(GetProcAddress(g_app.dsmLibrary, "DSM_Entry")));
    char path[MAX_PATH] = "";
    GetModuleFileNameA(g_app.dsmLibrary, path, sizeof path);
    fprintf(InfoStream(), "Source Manager: %s\n", path);
    return true;
}

TW_UINT16 Call(TW_IDENTITY *dest, TW_UINT32 group, TW_UINT16 dataType, TW_UINT16 message,
               TW_MEMREF data) {
    TW_UINT16 result = g_app.dsmEntry(&g_app.app, dest, group, dataType, message, data);
    Trace("%s / %s / %s -> %s", DataGroupName(group), DataTypeName(dataType),
          MessageName(message), ReturnCodeName(result));
    return result;
}

TW_UINT16 ConditionCode(TW_IDENTITY *dest) {
    TW_STATUS status = {};
    if (g_app.dsmEntry(&g_app.app, dest, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS)
        return 0xFFFF;
    return status.ConditionCode;
}

bool Refused(TW_IDENTITY *dest, TW_UINT32 group, TW_UINT16 dataType, TW_UINT16 message,
             TW_UINT16 result, const char *hint, int exitCode) {
    TW_UINT16 code = ConditionCode(dest);
    // A triplet that the Source Manager refused never reached the source.
    if (dest && (code == TWCC_SUCCESS || code == 0xFFFF)) {
        TW_UINT16 own = ConditionCode(nullptr);
        if (own != TWCC_SUCCESS && own != 0xFFFF) code = own;
    }
    printf("error: %s / %s / %s -> %s, condition code %s\n", DataGroupName(group),
           DataTypeName(dataType), MessageName(message), ReturnCodeName(result),
           code == 0xFFFF ? "unknown (DAT_STATUS failed)" : ConditionCodeName(code));
    if (hint && *hint) printf("  try: %s\n", hint);
    if (g_app.exitCode == ExitSuccess) g_app.exitCode = exitCode;
    return false;
}
