// DAT_PARENT: an application opens and closes the Source Manager.
#include "dsm_operations.h"

namespace {

TW_UINT16 OpenSourceManager(TW_IDENTITY *application, TW_MEMREF data) {
    HWND window = data ? *static_cast<HWND *>(data) : nullptr;
    DsmLock lock;
    if (application->Id != 0 && FindApplication(application->Id))
        return DsmFail(application, TWCC_SEQERROR);
    application->Id = NewId();
    DsmApplication opened{};
    opened.identity = *application;
    opened.window = window;
    opened.thread = GetCurrentThreadId();
    opened.nextSource = ListNotStarted;
    g_dsm.applications.push_back(opened);
    return TWRC_SUCCESS;
}

TW_UINT16 CloseSourceManager(TW_IDENTITY *application) {
    DsmLock lock;
    DsmApplication *found = FindApplication(application->Id);
    if (!found) return DsmFail(application, TWCC_SEQERROR);
    for (const DsmOpenSource &source : g_dsm.openSources)
        if (source.applicationId == application->Id) return DsmFail(application, TWCC_SEQERROR);
    DropNotifications(application->Id, 0);
    g_dsm.applications.erase(g_dsm.applications.begin() + (found - &g_dsm.applications[0]));
    return TWRC_SUCCESS;
}

}  // namespace

bool ApplicationIsOpen(TW_UINT32 id) {
    DsmLock lock;
    return FindApplication(id) != nullptr;
}

TW_UINT16 ParentMsg(TW_IDENTITY *application, TW_UINT16 message, TW_MEMREF data) {
    switch (message) {
        case MSG_OPENDSM:
            return OpenSourceManager(application, data);
        case MSG_CLOSEDSM:
            return CloseSourceManager(application);
        default:
            return DsmFail(application, TWCC_BADPROTOCOL);
    }
}
