// DAT_XFERGROUP: the source transfers images only.
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"

namespace {

TW_UINT16 Fail(TW_UINT16 code) { return FailOperation(OperationText::XferGroup, code); }

}  // namespace

TW_UINT16 XferGroupMsg(const OperationRequest *request) {
    if (!SourceOpenBetweenTransfers()) return Fail(TWCC_SEQERROR);
    switch (request->message) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
    case MSG_RESET: {
        auto *group = static_cast<TW_UINT32 *>(request->data);
        if (!group) return FailMissingData();
        *group = DG_IMAGE;
        return TWRC_SUCCESS;
    }
    case MSG_SET:
        return TWRC_SUCCESS;
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}
