#include "xfer/transfer_start.h"

#include "ui/user_interface.h"
#include "xfer/snap.h"

TW_UINT16 CheckTransferRequest(FirstCheck first, bool stateAccepted, TW_UINT16 message) {
    TW_UINT16 stateFault = stateAccepted ? TWCC_SUCCESS : TWCC_SEQERROR;
    TW_UINT16 messageFault = message == MSG_GET ? TWCC_SUCCESS : TWCC_BADPROTOCOL;
    if (first == FirstCheck::State) return stateFault ? stateFault : messageFault;
    return messageFault ? messageFault : stateFault;
}

TW_UINT16 StartTransfer(std::initializer_list<uint32_t> parameters, const FrameCheck &check,
                        FrameGeometry &frame) {
    frame = ReadFrameGeometry(parameters);
    if (TW_UINT16 code = check(frame)) return code;
    StopPreview();
    return SnapImage(frame.twoSignalFrames()) ? TWCC_SUCCESS : TWCC_OPERATIONERROR;
}
