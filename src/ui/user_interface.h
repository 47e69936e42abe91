// Enable and disable: what MSG_ENABLEDS arms and MSG_DISABLEDS tears down.
#pragma once

#include <windows.h>

// Whether a teardown keeps, for a frame of up to 64 MB, the host buffer and
// the transfer worker for the next enable.
enum class Teardown { KeepMemory, ReleaseAll };

// Undoes an enable in the order disable uses: dialog (and a running preview),
// a transfer in progress, transfer worker, monitor thread, cancel signal,
// frame signal, host buffer, acquisition set-up.
// Safe to call with only part of the enable done, or none (it then lets go of
// what a disable kept), and on any thread. Leaves the state alone. Nothing the
// dialog starts follows its first step (ui/preview.h). When the dialog's
// thread does not answer and a preview is held up by its box, the host
// buffer, the signals and the acquisition set-up stay for the preview: the
// next enable uses them, the next teardown or the unload releases them.
void TearDownAcquisition(Teardown how = Teardown::ReleaseAll);

// After the board has closed: signals and an acquisition set-up that a
// teardown left to a preview went with the board.
void AcquisitionClosedWithBoard();

// At enable: the dialog's clicks act from now on. DialogActs: whether they
// still do (no teardown has begun since).
void DialogActsFrom(HWND dialog);
bool DialogActs(HWND dialog);

// Before a transfer drives the board: ends a running preview and returns once
// its thread is gone, handling the messages sent to this thread meanwhile.
// False when a teardown began meanwhile (inside that wait): the transfer must
// not go on.
bool StopPreview();

// A teardown's first step: the dialog's clicks act no more and a running
// preview is asked to end; true when one was running (its frame wait may
// then be cut short). Then WaitForPreviewToEnd: true once every preview
// thread has ended, false when one still runs after limitMs.
bool StopPreviewForTeardown();
bool WaitForPreviewToEnd(DWORD limitMs);

// For the module's unload: the preview thread not yet let go of (null when
// none), and letting go of it once it no longer runs the module's code.
HANDLE PreviewThreadLeft();
void ForgetPreviewThread();

// The user-interface dialog's procedure.
INT_PTR CALLBACK UiDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Asks the dialog to destroy itself: a window can only be destroyed by its own
// thread, and disable or close may come on another.
constexpr UINT WM_QX_DESTROY_DIALOG = WM_APP + 1;
// The preview's state for the dialog to show (wParam: running), posted by the
// preview's thread: the caption and the buttons are the dialog's thread's.
constexpr UINT WM_QX_PREVIEW_SHOWS = WM_APP + 2;

// How long the dialog's thread is given to answer, and the source's threads
// to leave the module at unload.
constexpr DWORD AnswerLimitMs = 5000;

// Destroys the dialog on the thread it belongs to, waiting AnswerLimitMs at
// most for that thread to answer, and clears uiDialog. True when no dialog is
// left, of this teardown or an earlier one; otherwise it goes as soon as its
// thread handles messages again.
bool DestroyDialogOnItsThread();

// Process detach by FreeLibrary: whatever an enable left is taken down so that
// no window or thread of the source outlives the module.
void ReleaseAcquisitionAtUnload();
