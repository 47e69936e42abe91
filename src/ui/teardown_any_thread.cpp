// Taking the dialog and the source's threads down from whatever thread asks:
// MSG_DISABLEDS or MSG_CLOSEDS on a thread other than the enabling one, or the
// module's unload while the source is still enabled.
#include "board/board.h"
#include "ds/source_context.h"
#include "ui/threads.h"
#include "ui/user_interface.h"
#include "xfer/transfer_worker.h"

namespace {

// A dialog whose thread did not answer when it was to go.
HWND g_leftDialog;

bool OnThisThread(HWND window) {
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

// At unload no other thread may be waited for: the loader lock is held, and
// the dialog's thread may need it (for a hook, say) before it could answer.
// A dialog of another thread is therefore handed to the system's default
// window procedure and closed by a posted message: it goes as soon as its
// thread handles messages, and runs none of this module's code meanwhile.
void ReleaseDialogAtUnload(HWND dialog) {
    if (!dialog || !IsWindow(dialog)) return;
    if (OnThisThread(dialog)) {
        DestroyWindow(dialog);
        return;
    }
    SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
    ShowWindowAsync(dialog, SW_HIDE);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
}

void ForgetThread(HANDLE &thread) {
    if (thread) CloseHandle(thread);
    thread = nullptr;
}

}  // namespace

bool DestroyDialogOnItsThread() {
    HWND dialog = g_source.uiDialog;
    g_source.uiDialog = nullptr;
    if (dialog && IsWindow(dialog)) {
        if (OnThisThread(dialog)) {
            DestroyWindow(dialog);
        } else {
            DWORD_PTR answer;
            SendMessageTimeoutA(dialog, WM_QX_DESTROY_DIALOG, 0, 0, SMTO_NORMAL, AnswerLimitMs,
                                &answer);
        }
        if (IsWindow(dialog)) {
            // It goes by itself once its thread handles messages again.
            PostMessageA(dialog, WM_QX_DESTROY_DIALOG, 0, 0);
            g_leftDialog = dialog;
        }
    }
    return !g_leftDialog || !IsWindow(g_leftDialog);
}

void ReleaseAcquisitionAtUnload() {
    ReleaseDialogAtUnload(g_leftDialog);
    g_leftDialog = nullptr;
    TransferWorker &worker = g_source.transferWorker;
    HANDLE preview = PreviewThreadLeft();
    if (!g_source.uiDialog && !g_source.monitorThread && !preview && !worker.thread) {
        TearDownAcquisition();
        return;
    }
    StopPreviewForTeardown();
    ReleaseDialogAtUnload(g_source.uiDialog);
    g_source.uiDialog = nullptr;

    // No thread can end while this one holds the loader lock: ask each to stop
    // and wait until none runs the module's code. (A running preview holds the
    // module, so it is over, or this is its thread.)
    g_source.monitorRunning = 0;
    if (g_source.monitorThread) BoardSignalCancel(&g_source.cancelSignal);
    AskTransferWorkerToStop();
    if (!WaitUntilThreadsLeaveModule(g_source.moduleInstance,
                                     {g_source.monitorThread, preview, worker.thread},
                                     AnswerLimitMs))
        return;
    ForgetPreviewThread();
    ForgetThread(g_source.monitorThread);
    ForgetStoppedTransferWorker();
    TearDownAcquisition();
}
