// The modeless user-interface dialog: Acquire, Cancel and Preview.
#include "ds/notify.h"
#include "res/resource.h"
#include "ui/preview.h"
#include "ui/user_interface.h"

INT_PTR CALLBACK UiDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    // The dialog manager's own handling stays on throughout: Escape and the
    // close box come through as Cancel.
    if (message == WM_QX_DESTROY_DIALOG) {
        DestroyWindow(window);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        NotifyTransferReady();
        break;
    case IDCANCEL:
        NotifyCloseRequest();
        break;
    case IDC_PREVIEW:
        PreviewButtonPressed(window);
        break;
    }
    return FALSE;
}
