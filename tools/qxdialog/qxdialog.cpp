// qxdialog FILE: plays the user of QXTwain's dialog from outside, for the
// README's picture and the dialog tests. It waits for the dialog of any
// process, presses Preview, lets the preview run, leaves FILE.ready for the
// screenshot taker (who removes it when done), stops the preview and presses
// Acquire. Exit status 0, or 1 with the step that did not happen.
#include <windows.h>

#include <cstdio>
#include <string>

#include "res/resource.h"

namespace {

constexpr DWORD PollMs = 100;

BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if (lstrcmpA(title, QX_DIALOG_TITLE) != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND *>(param) = window;
    return FALSE;
}

// The source's dialog, visible, in any process; nullptr while there is none.
HWND FindDialog() {
    HWND found = nullptr;
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Polls until done() or ms pass; false (said on stderr) when it did not happen.
template <class Done> bool WaitFor(Done done, DWORD ms, const char *what) {
    for (DWORD start = GetTickCount(); !done(); Sleep(PollMs))
        if (GetTickCount() - start > ms) {
            fprintf(stderr, "qxdialog: %s\n", what);
            return false;
        }
    return true;
}

std::string Caption(HWND dialog, int id) {
    char text[32] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// As a click arrives: a WM_COMMAND through the dialog's own message loop.
void Press(HWND dialog, int button, const char *name) {
    printf("pressing %s\n", name);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

bool FileExists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Play(const std::string &shot) {
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = FindDialog()) != nullptr; }, 30000,
                 "the source's dialog did not appear"))
        return false;
    printf("the source's dialog \"%s\" is up\n", QX_DIALOG_TITLE);
    Press(dialog, IDC_PREVIEW, QX_PREVIEW_IDLE_CAPTION);
    if (!WaitFor([&] { return Caption(dialog, IDC_PREVIEW) == QX_PREVIEW_RUNNING_CAPTION; }, 15000,
                 "the preview did not start"))
        return false;
    printf("preview running\n");
    Sleep(1500);
    const std::string marker = shot + ".ready";
    FILE *file = fopen(marker.c_str(), "w");
    if (!file) {
        fprintf(stderr, "qxdialog: cannot create %s\n", marker.c_str());
        return false;
    }
    fclose(file);
    printf("preview on screen: waiting for the screenshot (%s is removed when taken)\n",
           marker.c_str());
    bool taken = WaitFor([&] { return !FileExists(marker); }, 60000,
                         "nobody took the screenshot within 60 s");
    DeleteFileA(marker.c_str());
    Press(dialog, IDC_PREVIEW, QX_PREVIEW_RUNNING_CAPTION);
    if (!WaitFor([&] { return Caption(dialog, IDC_PREVIEW) == QX_PREVIEW_IDLE_CAPTION; }, 20000,
                 "the preview did not stop"))
        return false;
    Press(dialog, IDOK, "Acquire");
    return taken;
}

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc != 2) {
        fputs("usage: qxdialog FILE   (FILE.ready marks the moment for a screenshot)\n", stderr);
        return 2;
    }
    return Play(argv[1]) ? 0 : 1;
}
