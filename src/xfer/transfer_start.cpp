#include "xfer/transfer_start.h"

#include "ui/user_interface.h"
#include "xfer/snap.h"

TW_UINT16 CheckTransferRequest(FirstCheck first, bool stateAccepted, TW_UINT16 message) {
    TW_UINT16 stateFault = stateAccepted ? TWCC_SUCCESS : TWCC_SEQERROR;
    TW_UINT16 messageFault = message == MSG_GET ? TWCC_SUCCESS : TWCC_BADPROTOCOL;
    if (first == FirstCheck::State) return stateFault ? stateFault : messageFault;
    return messageFault ? messageFault : stateFault;
}

TW_UINT16 StartTransfer(FrameUse use, const FrameCheck &check, FrameView &view) {
    view = FrameView(use);
    if (!view.fits()) return TWCC_OPERATIONERROR;
    if (check)
        if (TW_UINT16 code = check(view)) return code;
    // A teardown that came inside the wait for the preview ended the enable.
    if (!StopPreview()) return TWCC_SEQERROR;
    return SnapImage(view.frame().twoSignalFrames()) ? TWCC_SUCCESS : TWCC_OPERATIONERROR;
}
