// The one simulator state of the process: configuration, wait script, frame
// counter and last failure, behind one lock.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "config_parse.h"
#include "core_state.h"

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
SimConfig g_config = DefaultConfig();
size_t g_nextWait = 0;
uint32_t g_framesStarted = 0;
constexpr char NoFailure[] = "No board error has occurred.";
char g_failure[256];

struct Locked {
    Locked() { AcquireSRWLockExclusive(&g_lock); }
    ~Locked() { ReleaseSRWLockExclusive(&g_lock); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;
};

}  // namespace

void ReplaceConfig(const SimConfig &config) {
    Locked lock;
    g_config = config;
    g_nextWait = 0;
    g_framesStarted = 0;
    snprintf(g_failure, sizeof g_failure, "%s", NoFailure);
}

extern "C" void QxsGetSettings(QxsSettings *settings) {
    Locked lock;
    *settings = g_config.settings;
}

extern "C" uint32_t QxsBoardCount(uint32_t family) {
    Locked lock;
    for (int i = 0; i < 3; ++i)
        if (KV_FAMILIES[i] == family) return g_config.settings.boardCount[i];
    return 0;
}

extern "C" int QxsConfigure(const char *text) {
    SimConfig config;
    int bad = ParseConfig(text, &config);
    if (bad == 0) ReplaceConfig(config);
    return bad;
}

extern "C" int QxsTakeScriptedWait(uint32_t *result) {
    Locked lock;
    if (g_nextWait >= g_config.waits.size()) return 0;
    const ScriptedWait &w = g_config.waits[g_nextWait++];
    if (w.normal) return 0;
    *result = w.result;
    return 1;
}

extern "C" int QxsNextWaitIsScripted() {
    Locked lock;
    return g_nextWait < g_config.waits.size() && !g_config.waits[g_nextWait].normal;
}

extern "C" uint32_t QxsStartFrame() {
    Locked lock;
    return g_framesStarted++;
}

extern "C" void QxsSetFailure(const char *format, ...) {
    char text[sizeof g_failure];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Locked lock;
    memcpy(g_failure, text, sizeof text);
}

extern "C" void QxsGetFailure(char *text, size_t size) {
    if (!text || size == 0) return;
    Locked lock;
    snprintf(text, size, "%s", g_failure[0] ? g_failure : NoFailure);
}
