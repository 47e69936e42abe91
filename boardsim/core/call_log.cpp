// The call log: one line per call into the five libraries, appended to the file
// named by the `log` key. The file is opened for each line so that a test may
// delete it between runs.
#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "config_load.h"
#include "sim_core.h"

namespace {

CRITICAL_SECTION g_logLock;

BOOL CALLBACK InitLogLock(PINIT_ONCE, PVOID, PVOID *) {
    InitializeCriticalSection(&g_logLock);
    return TRUE;
}

CRITICAL_SECTION *LogLock() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, InitLogLock, nullptr, nullptr);
    return &g_logLock;
}

void AppendLine(const char *format, va_list args, const char *suffix) {
    QxsSettings settings;
    QxsGetSettings(&settings);
    if (settings.log[0] == '\0') return;
    // Room for the call, then its result and the line end.
    char line[1024];
    constexpr int CallRoom = sizeof line - 32;
    int n = vsnprintf(line, CallRoom, format, args);
    if (n < 0) return;
    if (n > CallRoom - 1) n = CallRoom - 1;
    n += snprintf(line + n, sizeof line - n, "%s\n", suffix);

    EnterCriticalSection(LogLock());
    HANDLE file = CreateFileA(settings.log, FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
        CloseHandle(file);
    }
    LeaveCriticalSection(LogLock());
}

}  // namespace

extern "C" uint32_t QxsEndCall(uint32_t result, const char *format, ...) {
    ReportStartupProblem();
    char suffix[24];
    snprintf(suffix, sizeof suffix, " -> %u", result);
    va_list args;
    va_start(args, format);
    AppendLine(format, args, suffix);
    va_end(args);
    return result;
}

extern "C" void QxsEndVoidCall(const char *format, ...) {
    ReportStartupProblem();
    va_list args;
    va_start(args, format);
    AppendLine(format, args, "");
    va_end(args);
}
