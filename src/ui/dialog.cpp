// The modeless user-interface dialog: Acquire, Cancel and Preview.
#include "ds/notify.h"
#include "res/resource.h"
#include "ui/preview.h"
#include "ui/user_interface.h"

namespace {

void ShowPreviewRunning(HWND dialog, bool running) {
    SetWindowTextA(GetDlgItem(dialog, IDC_PREVIEW),
                   running ? PreviewRunningCaption : PreviewIdleCaption);
    EnableWindow(GetDlgItem(dialog, IDOK), !running);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), !running);
}

}  // namespace

INT_PTR CALLBACK UiDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    // The dialog manager's own handling stays on throughout: Escape and the
    // close box come through as Cancel.
    if (message == WM_QX_DESTROY_DIALOG) {
        DestroyWindow(window);
        return TRUE;
    }
    if (message == WM_QX_PREVIEW_SHOWS) {
        ShowPreviewRunning(window, wParam != 0);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    WORD command = LOWORD(wParam);
    if (command == IDC_PREVIEW) {
        PreviewButtonPressed(window);
    } else if (DialogActs(window)) {
        // A dialog being torn down tells the application nothing more.
        if (command == IDOK) NotifyTransferReady();
        if (command == IDCANCEL) NotifyCloseRequest();
    }
    return FALSE;
}
