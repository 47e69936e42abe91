// The live preview: a thread that snaps frames into the host buffer and shows
// them on a display surface until it is stopped.
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
