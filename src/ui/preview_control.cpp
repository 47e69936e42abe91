// Starting and stopping the preview thread from the application's thread.
#include <cstring>

#include "ds/source_context.h"
#include "res/resource.h"
#include "ui/preview.h"
#include "ui/threads.h"
#include "ui/user_interface.h"
#include "xfer/host_buffer.h"
#include "xfer/memory_transfer.h"

namespace {

// The button's caption is read up to this many characters.
constexpr int CaptionChars = 24;

unsigned __stdcall PreviewThread(void *dialog) {
    PreviewLoop(static_cast<HWND>(dialog));
    PreviewLetsGoOfHostBuffer();
    return 0;
}

// Waits for the last preview thread, if any, and lets go of it; false when it
// still runs after limitMs.
bool EndPreviewThread(DWORD limitMs = INFINITE) {
    if (!g_source.previewThread) return true;
    if (!WaitHandlingSentMessages(g_source.previewThread, limitMs)) return false;
    CloseHandle(g_source.previewThread);
    g_source.previewThread = nullptr;
    return true;
}

bool PreviewThreadAlive() {
    return g_source.previewThread && WaitForSingleObject(g_source.previewThread, 0) == WAIT_TIMEOUT;
}

void StartPreview(HWND dialog) {
    if (PreviewThreadAlive() && g_source.previewRunning) {
        // A run that has not yet shown "Stop Preview": this second click stops it.
        g_source.previewRunning = 0;
        return;
    }
    // The caption reads "Preview" a moment before the last run's thread has
    // finished: let it finish, so only one preview ever drives the board.
    // Until then previewRunning has stayed 0, so that run has ended at its
    // next pass, even one that outlived a teardown.
    EndPreviewThread();
    // A memory transfer in progress keeps its lines before the preview snaps
    // over them; without memory for them the preview does not start.
    if (!KeepMemoryTransferLines()) return;
    g_source.previewRunning = 1;
    // The buffer of this moment is the one the new run checks and reads.
    PreviewHoldsHostBuffer();
    // The preview handles windows, which may need the loader lock: it keeps
    // the module loaded, so an unload never has to wait for it.
    g_source.previewThread = StartThreadHoldingModule(PreviewThread, dialog);
    if (g_source.previewThread) return;
    g_source.previewRunning = 0;
    PreviewLetsGoOfHostBuffer();
}

}  // namespace

void PreviewButtonPressed(HWND dialog) {
    char caption[CaptionChars + 1] = {};
    GetWindowTextA(GetDlgItem(dialog, IDC_PREVIEW), caption, sizeof caption);
    if (strcmp(caption, PreviewIdleCaption) == 0)
        StartPreview(dialog);
    else
        g_source.previewRunning = 0;
}

bool StopPreview(DWORD limitMs) {
    if (!g_source.previewThread) return true;
    g_source.previewRunning = 0;
    return EndPreviewThread(limitMs);
}
