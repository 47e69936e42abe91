#include "dsm_operations.h"

TW_UINT16 DsmStatusMsg(TW_IDENTITY *caller, TW_UINT16 message, TW_MEMREF data) {
    if (message != MSG_GET) return DsmFail(caller, TWCC_BADPROTOCOL);
    if (!data) return DsmFail(caller, TWCC_BADVALUE);
    auto *status = static_cast<TW_STATUS *>(data);
    DsmLock lock;
    TW_UINT16 &code = ConditionCodeOf(caller);
    status->ConditionCode = code;
    status->Reserved = 0;
    code = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}
