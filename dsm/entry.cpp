// DSM_Entry: what the Source Manager answers itself, and what it passes on.
#include "dsm_operations.h"

extern "C" TW_UINT16 TW_CALLINGSTYLE DSM_Entry(TW_IDENTITY *pOrigin, TW_IDENTITY *pDest,
                                               TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                               TW_MEMREF pData) {
    // A source talking to its application: the only call whose origin is a source.
    if (IsSourceNotification(DG, DAT, MSG)) return SourceNotification(pOrigin, pDest, MSG);

    if (!pOrigin) return DsmFail(nullptr, TWCC_BADVALUE);
    if (DG == DG_CONTROL && DAT == DAT_STATUS && !pDest) return DsmStatusMsg(pOrigin, MSG, pData);
    if (DG == DG_CONTROL && DAT == DAT_PARENT) return ParentMsg(pOrigin, MSG, pData);
    if (!ApplicationIsOpen(pOrigin->Id)) return DsmFail(pOrigin, TWCC_SEQERROR);

    if (DG == DG_CONTROL && DAT == DAT_IDENTITY && !(MSG == MSG_GET && pDest))
        return DsmIdentityMsg(pOrigin, pDest, MSG, pData);
    if (!pDest) return DsmFail(pOrigin, TWCC_BADPROTOCOL);
    if (DG == DG_CONTROL && DAT == DAT_EVENT && MSG == MSG_PROCESSEVENT)
        return ProcessEventMsg(pOrigin, pDest, pData);
    return RouteToSource(pOrigin, pDest, DG, DAT, MSG, pData);
}
