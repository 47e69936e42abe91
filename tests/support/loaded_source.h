// QXTwain.ds loaded and driven through DS_Entry as a Source Manager would.
// Free of GoogleTest so that the benchmarks drive the source the same way.
#pragma once

#include <windows.h>

#include <string>

#include "twain.h"
#include "twain_identity.h"

namespace qx {

// A check of the code below that did not hold: a test failure in the tests
// (the harness installs that), the end of the program elsewhere.
typedef void (*FailureReporter)(const std::string &what);
void SetFailureReporter(FailureReporter report);
void ReportFailure(const std::string &what);

// An export of module, typed.
template <class T> T Export(HMODULE module, const char *name) {
    return reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

// An application's identity as a Source Manager passes it in pOrigin.
TW_IDENTITY AppIdentity(TW_UINT32 id = 7, TW_UINT16 protocolMajor = 1,
                        TW_UINT16 protocolMinor = 6);
// The source's identity as a Source Manager passes it with MSG_OPENDS.
TW_IDENTITY OpenedSourceIdentity(TW_UINT32 id = 9);

// QXTwain.ds loaded afresh (a fresh source record); unloaded on destruction.
class LoadedSource {
public:
    LoadedSource();
    ~LoadedSource();
    LoadedSource(const LoadedSource &) = delete;
    LoadedSource &operator=(const LoadedSource &) = delete;

    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data);
    TW_UINT16 CallAs(TW_IDENTITY *origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                     void *data);
    // DAT_STATUS / MSG_GET: the pending condition code (and clears it).
    TW_UINT16 Status();
    TW_UINT16 Open();
    TW_UINT16 Close();
    TW_UINT16 Enable(bool showUI, HWND parent = nullptr);
    TW_UINT16 Disable();
    // DAT_PENDINGXFERS / MSG_GET Count, or -1 when the call fails.
    int PendingCount();
    // DAT_CAPABILITY: sends cap with msg and returns the result; a reply's
    // container lands in cap->hContainer (the caller frees it with GlobalFree).
    TW_UINT16 Capability(TW_UINT16 msg, TW_CAPABILITY *cap);

    HMODULE module = nullptr;
    DSENTRYPROC entry = nullptr;
    TW_IDENTITY app;
    TW_IDENTITY opened;
};

// DAT_PENDINGXFERS with msg; returns the result, the Count written in *count.
// EOJ belongs to the application: the source must leave it alone.
TW_UINT16 PendingXfers(LoadedSource &source, TW_UINT16 msg, TW_UINT16 *count = nullptr);

// MSG_OPENDS, then MSG_ENABLEDS without the dialog (to state 600); false,
// with the failing call reported, when either fails.
bool OpenAndEnable(LoadedSource &source, HWND parent = nullptr);
// MSG_DISABLEDS and MSG_CLOSEDS, from whatever state the source is in.
void Leave(LoadedSource &source);

// A source opened and enabled on construction, left on destruction.
struct ReadySource : LoadedSource {
    ReadySource() { OpenAndEnable(*this); }
    ~ReadySource() { Leave(*this); }
};

}  // namespace qx
