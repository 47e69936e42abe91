// The live preview: a thread that snaps frames into the host buffer and shows
// them on a display surface until it is stopped.
//
// Who owns what. preview_control.cpp alone holds the preview's thread handle,
// its running flag (previewRunning) and the dialog whose clicks act, and reads
// and writes the three under its one lock only:
// - The dialog acts from the enable that creates it until a teardown begins:
//   the teardown's first step takes it away, together with previewRunning.
//   A click of any other dialog (one being torn down, or left to its busy
//   thread) starts nothing and notifies nothing, in whatever wait it is
//   handled, so nothing starts that a teardown has ended.
// - A click never waits. A new preview's thread is given the thread of the
//   one before it and waits for that one to end before it begins, so one
//   preview at a time drives the board, and waiting for the last preview
//   started waits for all of them.
// - The preview's thread never waits for the dialog's: it posts its caption
//   and buttons to the acting dialog (WM_QX_PREVIEW_SHOWS). So a teardown on
//   any thread can wait for it, and it ends even while the dialog's thread is
//   busy; only a box it already shows (owned by the application's window,
//   whose thread the box may need) can hold it; once a teardown has begun it
//   shows none.
// - The handle in the lock's keeping is closed there by the last thread that
//   waited and saw the preview end. A new preview takes it over and closes
//   it once it has waited; which is why a click starts nothing while another
//   thread waits on it.
// The preview's thread holds the module and the host buffer of its start until
// it ends, and reads only that buffer (xfer/host_buffer.h says why).
#pragma once

#include <windows.h>

#include "res/resource.h"

// Captions of the Preview button: the preview's visible state.
constexpr const char *PreviewIdleCaption = QX_PREVIEW_IDLE_CAPTION;
constexpr const char *PreviewRunningCaption = QX_PREVIEW_RUNNING_CAPTION;

// The Preview / Stop Preview button was pressed in dialog.
void PreviewButtonPressed(HWND dialog);

// Body of a preview run, given the dialog, on the preview's thread.
void PreviewLoop(HWND dialog);

// On the preview's thread: whether it is still asked to run, read once a pass.
bool PreviewAskedToRun();
// The run gives up; true while its dialog acts (no teardown has begun), which
// is when its box may be shown.
bool PreviewGivesUp(HWND dialog);
// Shows the run's state on the dialog, by a message its thread handles.
void PostPreviewShows(HWND dialog, bool running);
