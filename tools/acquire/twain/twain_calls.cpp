// Loading the Source Manager and calling it; failures told with TWAIN names.
#include <cstdio>

#include "acquire.h"

namespace {

// The console handler runs on a thread of its own and takes no argument: the
// one session of the run is reached through this pointer.
Session *g_interruptible = nullptr;

// It allocates nothing and calls nothing that throws: no exception can arise
// on the console's thread.
BOOL WINAPI OnConsoleEvent(DWORD event) noexcept {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    InterlockedExchange(&g_interruptible->interrupted, 1);
    // Wakes the event loop; the main thread then winds the session down.
    if (g_interruptible->window) PostMessageA(g_interruptible->window, WM_NULL, 0, 0);
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

std::string TripletName(const Triplet &t) {
    return std::string(DataGroupName(t.group)) + " / " + DataTypeName(t.dataType) + " / " +
           MessageName(t.message);
}

}  // namespace

void InstallInterruptHandler(Session &s) {
    g_interruptible = &s;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool EndAsked(Session &s) {
    if (!s.interrupted && !s.failedElsewhere) return false;
    // A failure elsewhere has said what it was.
    if (s.failedElsewhere)
        EndWith(s, ExitSourceFailed);
    else if (s.exitCode == ExitSuccess)
        Fail(s, ExitCancelled, "interrupted (Ctrl+C)");
    return true;
}

std::string Doing(const Session &s) {
    if (!s.last.group) return s.step;
    std::string about = s.lastCapability ? " of " + CapabilityName(s.lastCapability) : "";
    return std::string(s.step) + " (the last call: " + TripletName(s.last) + about + ")";
}

bool LoadSourceManager(Session &s) {
    const std::string &chosen = s.options.dsmPath;
    const char *tried = chosen.empty() ? "TWAINDSM.DLL or TWAIN_32.DLL" : chosen.c_str();
    if (!chosen.empty())
        s.dsmLibrary = TryLoad(chosen.c_str());
    else if (!(s.dsmLibrary = TryLoad("TWAINDSM.DLL")))
        s.dsmLibrary = TryLoad("TWAIN_32.DLL");
    if (!s.dsmLibrary)
        return Fail(s, ExitNoSource,
                    "no Source Manager: %s cannot be loaded or exports no DSM_Entry.\n"
                    "  Install the TWAIN Source Manager (TWAINDSM.DLL), or name one with --dsm PATH.",
                    tried);
    s.dsmEntry = reinterpret_cast<DSMENTRYPROC>(
        reinterpret_cast<void *>(GetProcAddress(s.dsmLibrary, "DSM_Entry")));
    s.state = TwainState::ManagerLoaded;
    char path[MAX_PATH] = "";
    GetModuleFileNameA(s.dsmLibrary, path, sizeof path);
    fprintf(InfoStream(s), "Source Manager: %s\n", path);
    return true;
}

TW_UINT16 Call(Session &s, Destination to, Triplet triplet, TW_MEMREF data, Tracing tracing) {
    s.last = triplet;
    s.lastTo = to;
    s.lastCapability = triplet.dataType == DAT_CAPABILITY && data
                           ? static_cast<const TW_CAPABILITY *>(data)->Cap
                           : 0;
    TW_UINT16 result = s.dsmEntry(&s.app, to == ToSource ? &s.source : nullptr, triplet.group,
                                  triplet.dataType, triplet.message, data);
    if (tracing == Traced) Trace(s, "%s -> %s", TripletName(triplet).c_str(), ReturnCodeName(result));
    return result;
}

TW_UINT16 ConditionCode(Session &s, Destination of) {
    TW_STATUS status = {};
    if (s.dsmEntry(&s.app, of == ToSource ? &s.source : nullptr, DG_CONTROL, DAT_STATUS, MSG_GET,
                   &status) != TWRC_SUCCESS)
        return 0xFFFF;
    return status.ConditionCode;
}

bool Refused(Session &s, TW_UINT16 result, int exitCode) {
    TW_UINT16 code = ConditionCode(s, s.lastTo);
    // A triplet that the Source Manager refused never reached the source.
    if (s.lastTo == ToSource && (code == TWCC_SUCCESS || code == 0xFFFF)) {
        TW_UINT16 own = ConditionCode(s, ToSourceManager);
        if (own != TWCC_SUCCESS && own != 0xFFFF) code = own;
    }
    std::string about = s.lastCapability ? " (" + CapabilityName(s.lastCapability) + ")" : "";
    return FailWithHint(s, exitCode,
                        TripletName(s.last) + " -> " + ReturnCodeName(result) + ", condition code " +
                            (code == 0xFFFF ? "unknown (DAT_STATUS failed)" : ConditionCodeName(code)) + about,
                        code);
}

bool Succeeds(Session &s, Destination to, Triplet triplet, TW_MEMREF data, int exitCode) {
    TW_UINT16 result = Call(s, to, triplet, data);
    return result == TWRC_SUCCESS || Refused(s, result, exitCode);
}
