// The live preview: a thread that snaps frames into the host buffer and shows
// them on a display surface until it is stopped.
//
// A click starts or stops it on the application's thread (the dialog's). The
// preview's thread holds the module and the host buffer of its start until it
// ends, and reads only that buffer (xfer/host_buffer.h says why). A preview
// that outlived a teardown ends after the pass it is in: previewRunning stays
// 0 until the next start, which first joins the old preview's thread.
#pragma once

#include <windows.h>

#include "res/resource.h"

// Captions of the Preview button: the preview's visible state.
constexpr const char *PreviewIdleCaption = QX_PREVIEW_IDLE_CAPTION;
constexpr const char *PreviewRunningCaption = QX_PREVIEW_RUNNING_CAPTION;

// The Preview / Stop Preview button was pressed in dialog.
void PreviewButtonPressed(HWND dialog);

// Body of the preview thread, given the dialog.
void PreviewLoop(HWND dialog);
