// DAT_USERINTERFACE: MSG_ENABLEDS arms acquisition and creates the dialog,
// MSG_DISABLEDS (and closing an enabled source) takes it all down again.
#include "board/board.h"
#include "ds/errors.h"
#include "ds/notify.h"
#include "ds/operations.h"
#include "ds/source_context.h"
#include "res/resource.h"
#include "ui/monitor.h"
#include "ui/user_interface.h"
#include "xfer/frame.h"
#include "xfer/host_buffer.h"
#include "xfer/memory_transfer.h"
#include "xfer/transfer_worker.h"

namespace {

constexpr uint32_t HostQTabMode = 1;
constexpr const char *NotHostQTabText =
    "Board is not in host qtab mode. To run the Twain driver, the board must use host qtabs";

// A failed enable leaves nothing of itself behind, so the source is plainly open.
TW_UINT16 FailEnable(TW_UINT16 code) {
    TearDownAcquisition();
    return FailOperation(OperationText::EnableDS, code);
}

void FreeSignals() {
    if (!g_source.signalsCreated) return;
    BoardSignalFree(&g_source.cancelSignal);
    BoardSignalFree(&g_source.frameSignal);
    g_source.signalsCreated = false;
}

void CleanUpAcquisition() {
    if (!g_source.acquisitionSetUp) return;
    BoardAcquireCleanUp();
    g_source.acquisitionSetUp = false;
}

TW_UINT16 EnableSource(TW_USERINTERFACE *userInterface) {
    if (g_source.sourceState != STATE_OPEN)
        return FailOperation(OperationText::EnableDS, TWCC_SEQERROR);
    if (!userInterface) return FailMissingData();
    if (BoardQTabMode() != HostQTabMode) {
        ShowQuorvexError(NotHostQTabText);
        return FailOperation(OperationText::EnableDS, TWCC_OPERATIONERROR);
    }

    // A preview that outlived the last teardown may still wait on the signals
    // that teardown left to it: they serve again.
    if (!g_source.signalsCreated) {
        BoardSignalCreate(KV_SIGNAL_FRAME, &g_source.frameSignal);
        BoardSignalCreate(KV_SIGNAL_CANCEL, &g_source.cancelSignal);
        g_source.signalsCreated = true;
    }
    StartMonitor();

    FrameGeometry frame = ReadFrameGeometry({KV_LINE_BYTES, KV_IMAGE_BYTES});
    uint8_t *hostBuffer = ProvideHostBuffer(frame.imageBytes);
    if (!hostBuffer) return FailEnable(TWCC_LOWMEMORY);
    if (BoardAcquireSetup(hostBuffer, frame.imageBytes, frame.lineBytes) != 0) {
        BoardShowError();
        return FailEnable(TWCC_OPERATIONERROR);
    }
    g_source.acquisitionSetUp = true;

    HWND parent = static_cast<HWND>(userInterface->hParent);
    g_source.parentWindow = parent;
    g_source.uiDialog = CreateDialogParamA(g_source.moduleInstance,
                                           MAKEINTRESOURCEA(IDD_USER_INTERFACE), parent,
                                           UiDialogProc, 0);
    if (!g_source.uiDialog) return FailEnable(TWCC_LOWMEMORY);
    DialogActsFrom(g_source.uiDialog);

    if (userInterface->ShowUI) {
        ShowWindow(g_source.uiDialog, SW_SHOW);
        g_source.sourceState = STATE_ENABLED;
        userInterface->ModalUI = FALSE;
        return TWRC_SUCCESS;
    }
    // Without a user interface the dialog stays hidden and a transfer is ready at once.
    NotifyTransferReady();
    g_source.sourceState = STATE_READY;
    return TWRC_SUCCESS;
}

TW_UINT16 DisableSource() {
    if (!StateIsOneOf({STATE_ENABLED, STATE_READY, STATE_TRANSFERRING}))
        return FailOperation(OperationText::DisableDS, TWCC_SEQERROR);
    TearDownAcquisition(Teardown::KeepMemory);
    g_source.sourceState = STATE_OPEN;
    return TWRC_SUCCESS;
}

}  // namespace

void TearDownAcquisition(Teardown how) {
    // Before the dialog's thread is asked for anything (it may be waiting, and
    // handle that request inside its wait): its clicks act no more, and a
    // running preview is told to end, its frame wait cut short.
    if (StopPreviewForTeardown() && g_source.signalsCreated)
        BoardSignalCancel(&g_source.frameSignal);
    bool dialogGone = DestroyDialogOnItsThread();
    // The preview never waits for the dialog's thread, but a box it shows may
    // (the box's owner can be that thread's): when that thread does not
    // answer, wait a while only, and then leave the preview what it still
    // uses rather than free that under it.
    bool previewEnded = WaitForPreviewToEnd(dialogGone ? INFINITE : AnswerLimitMs);
    // The frame's memory and the worker stay for the next enable while the
    // source stays open; a bitmap block made ready goes all the same, without
    // waiting for the worker to finish making it.
    bool keep = how == Teardown::KeepMemory && HostBufferWorthKeeping();
    EndTransferInProgress();
    if (keep) DropPreparedBitmapBlock();
    else StopTransferWorker();
    StopMonitor();
    if (!previewEnded) return;
    FreeSignals();
    ReleaseHostBuffer(keep);
    CleanUpAcquisition();
}

void AcquisitionClosedWithBoard() {
    g_source.signalsCreated = false;
    g_source.acquisitionSetUp = false;
}

TW_UINT16 UserInterfaceMsg(const OperationRequest *request) {
    switch (request->message) {
    case MSG_DISABLEDS:
        return DisableSource();
    case MSG_ENABLEDS:
        return EnableSource(static_cast<TW_USERINTERFACE *>(request->data));
    default:
        return FailOperation(OperationText::UserInterface, TWCC_BADPROTOCOL);
    }
}
