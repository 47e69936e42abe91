#include "ds/notify.h"

#include "ds/source_context.h"

namespace {

// "TWAIN_32.DLL" is the platform's own Source Manager of 32-bit processes and
// is tried first; "TWAINDSM.DLL" comes next, the only one a 64-bit process can
// load and the newer one a 32-bit process may be using.
constexpr const char *SourceManagerLibraries[] = {"TWAIN_32.DLL", "TWAINDSM.DLL"};

bool SendThrough(const char *libraryName, TW_UINT16 message) {
    HMODULE library = LoadLibraryA(libraryName);
    if (!library) return false;
    auto entry = reinterpret_cast<DSMENTRYPROC>(
        reinterpret_cast<void *>(GetProcAddress(library, "DSM_Entry")));
    if (entry)
        entry(&g_source.sourceIdentity, &g_source.appIdentity, DG_CONTROL, DAT_NULL, message,
              nullptr);
    FreeLibrary(library);
    return entry != nullptr;
}

}  // namespace

void NotifySourceManager(TW_UINT16 message) {
    for (const char *name : SourceManagerLibraries)
        if (SendThrough(name, message)) return;
}

void NotifyTransferReady() {
    g_source.sourceState = STATE_READY;
    NotifySourceManager(MSG_XFERREADY);
}

void NotifyCloseRequest() { NotifySourceManager(MSG_CLOSEDSREQ); }
