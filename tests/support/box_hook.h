// A global CBT hook that records every message box and dialog the test
// process shows, on any thread, and dismisses it.
#pragma once

#include <windows.h>

extern "C" {

struct CaughtBox {
    HWND window;
    HWND owner;
    DWORD thread;
    char title[128];
    char text[512];
    // Bit n set when a visible button with id n (IDOK 1, IDCANCEL 2, ...) is present.
    unsigned buttons;
    int hasIcon;
};

// Starts recording; boxes are dismissed with IDOK unless an action is set for their title.
BOOL BoxHookStart();
void BoxHookStop();
int BoxHookCount();
BOOL BoxHookGet(int index, CaughtBox *box);
void BoxHookClear();
// For a dialog with this title: select item listIndex of its first list box
// (when >= 0), then send command. command 0 leaves the dialog alone (not recorded).
void BoxHookSetDialogAction(const char *title, int command, int listIndex);
}
