// DAT_PENDINGXFERS: the count depends only on the state; ENDXFER and RESET move it back.
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"
#include "xfer/memory_transfer.h"

namespace {

TW_UINT16 Fail(TW_UINT16 code) { return FailOperation(OperationText::PendingXfers, code); }

}  // namespace

TW_UINT16 PendingXfersMsg(const OperationRequest *request) {
    auto *pending = static_cast<TW_PENDINGXFERS *>(request->data);
    switch (request->message) {
    case MSG_GET:
        if (!SourceIsOpen()) return Fail(TWCC_SEQERROR);
        if (!pending) return FailMissingData();
        pending->Count = g_source.sourceState == STATE_TRANSFERRING ? 0 : 1;
        return TWRC_SUCCESS;
    case MSG_RESET:
        if (!StateIsOneOf({STATE_READY, STATE_TRANSFERRING})) return Fail(TWCC_SEQERROR);
        if (!pending) return FailMissingData();
        EndTransferInProgress();
        g_source.sourceState = STATE_ENABLED;
        pending->Count = 0;
        return TWRC_SUCCESS;
    case MSG_ENDXFER:
        if (!pending) return FailMissingData();
        pending->Count = 0;
        if (g_source.sourceState != STATE_TRANSFERRING) return Fail(TWCC_SEQERROR);
        EndTransferInProgress();
        g_source.sourceState = STATE_READY;
        return TWRC_SUCCESS;
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}
