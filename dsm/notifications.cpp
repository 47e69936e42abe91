// Notifications from sources: recorded, queued for their application, and
// the application's event loop woken so that its next MSG_PROCESSEVENT
// collects them.
#include "dsm_operations.h"

namespace {

void Wake(const DsmApplication &application) {
    if (application.window && IsWindow(application.window))
        PostMessageA(application.window, WakeMessage(), 0, 0);
    else
        PostThreadMessageA(application.thread, WakeMessage(), 0, 0);
}

bool IsWakeUp(TW_MEMREF event) {
    const MSG *message = static_cast<const MSG *>(event);
    return message && message->message == WakeMessage();
}

}  // namespace

UINT WakeMessage() {
    static const UINT message = RegisterWindowMessageA(DSM_WAKE_MESSAGE_NAME);
    return message;
}

bool IsSourceNotification(TW_UINT32 group, TW_UINT16 dataType, TW_UINT16 message) {
    return group == DG_CONTROL && dataType == DAT_NULL &&
           (message == MSG_XFERREADY || message == MSG_CLOSEDSREQ || message == MSG_CLOSEDSOK);
}

TW_UINT16 SourceNotification(TW_IDENTITY *source, TW_IDENTITY *application, TW_UINT16 message) {
    if (!source || !application) return DsmFail(source, TWCC_BADVALUE);
    DsmLock lock;
    g_dsm.record.push_back({*source, *application, message});
    // Sources loaded without an application (tests call DS_Entry directly)
    // are recorded all the same; there is just nobody to deliver to.
    DsmApplication *destination = FindApplication(application->Id);
    if (!destination) return DsmFail(source, TWCC_BADDEST);
    g_dsm.pending.push_back({destination->identity.Id, source->Id, message});
    Wake(*destination);
    return TWRC_SUCCESS;
}

bool TakeNotification(TW_UINT32 applicationId, TW_UINT32 sourceId, TW_UINT16 *message) {
    DsmLock lock;
    for (auto it = g_dsm.pending.begin(); it != g_dsm.pending.end(); ++it) {
        if (it->applicationId != applicationId || it->sourceId != sourceId) continue;
        *message = it->message;
        g_dsm.pending.erase(it);
        return true;
    }
    return false;
}

void DropNotifications(TW_UINT32 applicationId, TW_UINT32 sourceId) {
    DsmLock lock;
    auto &pending = g_dsm.pending;
    for (auto it = pending.begin(); it != pending.end();) {
        bool match =
            it->applicationId == applicationId && (sourceId == 0 || it->sourceId == sourceId);
        it = match ? pending.erase(it) : it + 1;
    }
}

TW_UINT16 ProcessEventMsg(TW_IDENTITY *application, TW_IDENTITY *destination, TW_MEMREF data) {
    {
        DsmLock lock;
        if (!FindOpenSource(application->Id, destination->Id))
            return DsmFail(application, TWCC_BADDEST);
    }
    TW_UINT16 result =
        RouteToSource(application, destination, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, data);
    auto *event = static_cast<TW_EVENT *>(data);
    if (!event) return result;
    TW_UINT16 message;
    if (TakeNotification(application->Id, destination->Id, &message)) {
        event->TWMessage = message;
        return TWRC_DSEVENT;
    }
    // Our own wake-up whose notification was already collected: nothing for
    // the application to dispatch.
    if (result == TWRC_NOTDSEVENT && IsWakeUp(event->pEvent)) {
        event->TWMessage = MSG_NULL;
        return TWRC_DSEVENT;
    }
    return result;
}
