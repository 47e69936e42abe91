// DAT_STATUS: hands over the pending condition code and clears it.
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"

TW_UINT16 StatusMsg(const OperationRequest *request) {
    if (request->message != MSG_GET) return FailOperation(OperationText::Status, TWCC_BADPROTOCOL);
    auto *status = static_cast<TW_STATUS *>(request->data);
    if (!status) return FailMissingData();
    status->ConditionCode = g_source.conditionCode;
    status->Reserved = 0;
    g_source.conditionCode = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}
