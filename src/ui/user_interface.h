// Enable and disable: what MSG_ENABLEDS arms and MSG_DISABLEDS tears down.
#pragma once

#include <windows.h>

// Undoes an enable in the order disable uses: dialog (and a running preview),
// a transfer in progress, transfer worker, monitor thread, cancel signal,
// frame signal, host buffer, acquisition set-up.
// Safe to call with only part of the enable done. Leaves the state alone.
void TearDownAcquisition();

// Ends a running preview and returns once its thread is gone, handling the
// messages that thread sends meanwhile. Call on the application's thread
// before anything else drives the board or releases what the preview uses.
void StopPreview();

// The user-interface dialog's procedure.
INT_PTR CALLBACK UiDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
