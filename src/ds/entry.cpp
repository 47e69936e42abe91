// DS_Entry: the source's only export. Refuses foreign callers, hands events
// to the dialog, applies the condition-code reset and dispatches the rest.
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"

namespace {

// A Source Manager may ask for the source's identity without naming a
// caller; that reads nothing the application holding the source relies on.
bool IdentityQuery(const TW_IDENTITY *origin, TW_UINT32 group, TW_UINT16 dataType,
                   TW_UINT16 message) {
    return origin == nullptr && group == DG_CONTROL && dataType == DAT_IDENTITY &&
           message == MSG_GET;
}

bool FromAnotherApplication(const TW_IDENTITY *origin) {
    TW_UINT32 holder = g_source.appIdentity.Id;
    if (holder == 0) return false;
    return origin == nullptr || origin->Id != holder;
}

TW_UINT16 ProcessEvent(TW_MEMREF data) {
    if (!g_source.uiDialog) return TWRC_NOTDSEVENT;
    auto *event = static_cast<TW_EVENT *>(data);
    if (!event || !event->pEvent) return FailMissingData();
    if (!IsDialogMessageA(g_source.uiDialog, static_cast<MSG *>(event->pEvent)))
        return TWRC_NOTDSEVENT;
    event->TWMessage = MSG_NULL;
    return TWRC_DSEVENT;
}

}  // namespace

extern "C" TW_UINT16 TW_CALLINGSTYLE DS_Entry(TW_IDENTITY *pOrigin, TW_UINT32 DG, TW_UINT16 DAT,
                                              TW_UINT16 MSG, TW_MEMREF pData) {
    // Another application's call is not served and changes nothing.
    if (FromAnotherApplication(pOrigin) && !IdentityQuery(pOrigin, DG, DAT, MSG))
        return TWRC_FAILURE;

    if (MSG == MSG_PROCESSEVENT) return ProcessEvent(pData);

    if (DG != DG_CONTROL && DAT != DAT_STATUS) g_source.conditionCode = TWCC_SUCCESS;

    OperationRequest request{pOrigin, DG, DAT, MSG, pData};
    return FindOperation(DG, DAT)(&request);
}
