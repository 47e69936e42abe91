// Starting and stopping the preview, and the dialog whose clicks act: the
// rule they keep is in ui/preview.h.
#include <cstring>

#include "res/resource.h"
#include "srw_lock.h"
#include "ui/preview.h"
#include "ui/threads.h"
#include "ui/user_interface.h"
#include "xfer/host_buffer.h"
#include "xfer/memory_transfer.h"

namespace {

// The button's caption is read up to this many characters.
constexpr int CaptionChars = 24;

// Guards everything below.
SRWLOCK g_lock = SRWLOCK_INIT;
// The dialog whose clicks act; null once a teardown has begun.
HWND g_actingDialog;
// The last preview thread started (each one lets go of the one before it).
HANDLE g_previewThread;
// Threads waiting on g_previewThread: while there are any, nobody closes it.
int g_waiters;
bool g_previewRunning;

struct Exclusive : SrwLocked<true> {
    Exclusive() : SrwLocked(&g_lock) {}
};

struct Shared : SrwLocked<false> {
    Shared() : SrwLocked(&g_lock) {}
};

// Under the lock: previewRunning cleared; whether it was set.
bool ClearRunning() {
    bool wasRunning = g_previewRunning;
    g_previewRunning = false;
    return wasRunning;
}

// As a run begins, once the run before it has ended: its dialog, holding the
// host buffer of this moment; null when it was stopped or torn down first.
HWND BeginRun() {
    Exclusive locked;
    if (!g_previewRunning || !g_actingDialog) return nullptr;
    PreviewHoldsHostBuffer();
    return g_actingDialog;
}

unsigned __stdcall PreviewThread(void *previous) {
    if (previous) {
        WaitForSingleObject(previous, INFINITE);
        CloseHandle(previous);
    }
    if (HWND dialog = BeginRun()) {
        PreviewLoop(dialog);
        PreviewLetsGoOfHostBuffer();
    }
    return 0;
}

}  // namespace

void PreviewButtonPressed(HWND dialog) {
    char caption[CaptionChars + 1] = {};
    GetWindowTextA(GetDlgItem(dialog, IDC_PREVIEW), caption, sizeof caption);
    Exclusive locked;
    if (dialog != g_actingDialog) return;
    // Any other caption, or a run that has not yet shown "Stop Preview": this
    // click stops it; the run ends by itself.
    if (ClearRunning() || strcmp(caption, PreviewIdleCaption) != 0) return;
    if (g_waiters) return;
    // A memory transfer in progress keeps the lines it has not yet delivered
    // before a preview snaps over them; without memory for them no preview
    // starts.
    if (!KeepMemoryTransferLines()) return;
    g_previewRunning = true;
    // The preview handles windows, which may need the loader lock: it keeps
    // the module loaded, so an unload never has to wait for it. Started under
    // the lock, so a teardown finds either no new run or its thread.
    HANDLE thread = StartThreadHoldingModule(PreviewThread, g_previewThread);
    if (thread) g_previewThread = thread;
    else g_previewRunning = false;
}

bool PreviewAskedToRun() {
    Shared locked;
    return g_previewRunning;
}

bool PreviewGivesUp(HWND dialog) {
    Exclusive locked;
    ClearRunning();
    return dialog == g_actingDialog;
}

void PostPreviewShows(HWND dialog, bool running) {
    Shared locked;
    if (dialog == g_actingDialog) PostMessageA(dialog, WM_QX_PREVIEW_SHOWS, running, 0);
}

void DialogActsFrom(HWND dialog) {
    Exclusive locked;
    g_actingDialog = dialog;
}

bool DialogActs(HWND dialog) {
    Shared locked;
    return dialog == g_actingDialog;
}

bool WaitForPreviewToEnd(DWORD limitMs) {
    HANDLE thread;
    {
        Exclusive locked;
        thread = g_previewThread;
        if (!thread) return true;
        ++g_waiters;
    }
    // Handling sent messages: a box the preview shows may need this thread.
    bool ended = WaitHandlingSentMessages(thread, limitMs);
    Exclusive locked;
    if (--g_waiters == 0 && ended) {
        CloseHandle(thread);
        g_previewThread = nullptr;
    }
    return ended;
}

bool StopPreview() {
    HANDLE thread;
    {
        Exclusive locked;
        ClearRunning();
        thread = g_previewThread;
    }
    WaitForPreviewToEnd(INFINITE);
    HWND dialog;
    {
        Shared locked;
        dialog = g_actingDialog;
    }
    // The dialog's own thread shows the ended run at once rather than when it
    // next handles its messages.
    if (thread && dialog && GetWindowThreadProcessId(dialog, nullptr) == GetCurrentThreadId())
        SendMessageA(dialog, WM_QX_PREVIEW_SHOWS, FALSE, 0);
    return dialog != nullptr;
}

bool StopPreviewForTeardown() {
    Exclusive locked;
    g_actingDialog = nullptr;
    return ClearRunning();
}

HANDLE PreviewThreadLeft() {
    Shared locked;
    return g_previewThread;
}

void ForgetPreviewThread() {
    Exclusive locked;
    if (g_previewThread) CloseHandle(g_previewThread);
    g_previewThread = nullptr;
}
