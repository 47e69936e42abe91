// The configuration a process starts with: the file named by QXSIM_CONFIG, else
// qxsim.ini beside Kvd.dll, else the defaults. A file that cannot be used is
// reported on stderr at once and in a message box on the first call into the
// board libraries.
#include <windows.h>

#include <cstdio>
#include <string>

#include "config_load.h"
#include "config_parse.h"
#include "core_state.h"

namespace {

HMODULE g_core;
char g_problem[1024];
LONG g_problemPending = 0;
std::string g_origin = "the defaults (no QXSIM_CONFIG, no qxsim.ini beside Kvd.dll)";

bool ReadWholeFile(const char *path, std::string *text) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    char chunk[4096];
    DWORD got = 0;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got > 0)
        text->append(chunk, got);
    CloseHandle(file);
    return ok;
}

bool FileExists(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// qxsim.ini in the folder of Kvd.dll (or of this library, which lies beside it).
std::string IniBesideKvd() {
    HMODULE kvd = GetModuleHandleA("Kvd.dll");
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(kvd ? kvd : g_core, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::string folder(path, n);
    size_t slash = folder.find_last_of("\\/");
    folder.erase(slash == std::string::npos ? 0 : slash + 1);
    return folder + "qxsim.ini";
}

void NoteProblem(const std::string &why) {
    fprintf(stderr, "%s\n", g_problem);
    fflush(stderr);
    g_origin += " - " + why + "; the defaults are used";
    InterlockedExchange(&g_problemPending, 1);
}

void LoadStartupConfig() {
    char fromEnvironment[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("QXSIM_CONFIG", fromEnvironment, sizeof fromEnvironment);
    std::string path;
    if (n > 0 && n < sizeof fromEnvironment) {
        path = fromEnvironment;
        g_origin = "QXSIM_CONFIG: " + path;
    } else {
        path = IniBesideKvd();
        if (path.empty() || !FileExists(path.c_str())) return;
        g_origin = "qxsim.ini beside Kvd.dll: " + path;
    }
    std::string text;
    if (!ReadWholeFile(path.c_str(), &text)) {
        snprintf(g_problem, sizeof g_problem,
                 "The board simulator cannot read its configuration %s; the defaults are used.",
                 path.c_str());
        NoteProblem("it cannot be read");
        return;
    }
    SimConfig config;
    std::vector<ConfigError> errors;
    int bad = ParseConfig(text.c_str(), &config, &errors);
    if (bad != 0) {
        const ConfigError &first = errors.front();
        snprintf(g_problem, sizeof g_problem,
                 "The board simulator configuration %s has a bad line %d; the defaults are used. "
                 "(%s%s%s.)",
                 path.c_str(), bad, first.key.c_str(), first.key.empty() ? "" : ": ",
                 first.reason.c_str());
        NoteProblem("bad line " + std::to_string(bad));
        return;
    }
    ReplaceConfig(config);
}

}  // namespace

void NoteCoreModule(HMODULE core) { g_core = core; }

BOOL CALLBACK LoadStartupConfigOnce(PINIT_ONCE, PVOID, PVOID *) {
    LoadStartupConfig();
    return TRUE;
}

void EnsureStartupConfig() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, LoadStartupConfigOnce, nullptr, nullptr);
}

void ReportStartupProblem() {
    EnsureStartupConfig();
    if (InterlockedExchange(&g_problemPending, 0) == 0) return;
    MessageBoxA(GetActiveWindow(), g_problem, "Quorvex Error", MB_OK);
}

std::string StartupOrigin() {
    EnsureStartupConfig();
    return g_origin;
}
