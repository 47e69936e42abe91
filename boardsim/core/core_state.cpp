// The one simulator state of the process: configuration, wait script, frame
// counter and last failure, behind one lock.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "config_load.h"
#include "config_parse.h"
#include "core_state.h"
#include "frame_plan.h"
#include "srw_lock.h"

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
SimConfig g_config = [] {
    SimConfig c;
    ParseConfig("", &c);
    return c;
}();
size_t g_nextWait = 0;
uint32_t g_framesStarted = 0;
constexpr char NoFailure[] = "No board error has occurred.";
char g_failure[256];

// Holds the state's lock for a scope.
struct Guard : SrwLocked<true> {
    Guard() : SrwLocked(&g_lock) {}
};

struct StartupLoaded {
    StartupLoaded() { EnsureStartupConfig(); }
};

// The state as every exported call below sees it: the start-up configuration
// read first, then the lock held. Never the other way round: the start-up load
// ends in ReplaceConfig, which takes the lock itself.
struct Locked : StartupLoaded {
    Guard guard;
};

}  // namespace

void ReplaceConfig(const SimConfig &config) {
    Guard guard;
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
    const int i = QxsFamilyIndex(family);
    Locked lock;
    return i < 0 ? 0 : g_config.settings.boardCount[i];
}

extern "C" int QxsConfigure(const char *text) {
    EnsureStartupConfig();
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

extern "C" void QxsFillFrame(uint8_t *dst, uint32_t bytes, uint32_t n) {
    std::shared_ptr<const FramePlan> plan;
    {
        Locked lock;
        plan = g_config.plan;
    }
    FillFrame(*plan, dst, bytes, n);
}

extern "C" int QxsCheckConfig(const char *text, QxsBadLineReport report, void *context) {
    SimConfig config;
    std::vector<ConfigError> errors;
    ParseConfig(text, &config, &errors);
    for (const ConfigError &e : errors)
        if (report) report(context, e.line, e.key.c_str(), e.reason.c_str());
    return static_cast<int>(errors.size());
}

extern "C" void QxsFormatConfig(char *text, size_t size) {
    std::string formatted;
    {
        Locked lock;
        formatted = FormatConfig(g_config);
    }
    if (text && size) snprintf(text, size, "%s", formatted.c_str());
}

extern "C" void QxsConfigOrigin(char *text, size_t size) {
    if (text && size) snprintf(text, size, "%s", StartupOrigin().c_str());
}
