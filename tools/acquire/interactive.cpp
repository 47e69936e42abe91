// --screenshot (for the README's picture and the tests): plays the user of
// the source's dialog. Presses Preview, lets the preview run, leaves a
// marker file for the screenshot taker (who removes it when done), stops the
// preview and presses Acquire: the frames are written and the run ends.
// Driven by a 100 ms timer.
#include <cstdarg>
#include <cstdio>

#include "acquire.h"

namespace {

constexpr int AcquireButton = 1, PreviewButton = 1027;
constexpr const char *DialogTitle = "Quorvex User Interface";

enum class ScriptStep {
    Idle,
    FindDialog,
    WaitPreviewRunning,
    LetPreviewRun,
    WaitScreenshot,
    WaitPreviewStopped,
    WaitFrame
};

struct DialogScript {
    ScriptStep step = ScriptStep::Idle;
    DWORD since = 0;
    HWND dialog = nullptr;
};

DialogScript g_script;

void Say(const char *format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    printf("\n");
    va_end(args);
}

void Next(ScriptStep step) {
    g_script.step = step;
    g_script.since = GetTickCount();
}

BOOL CALLBACK MatchDialog(HWND window, LPARAM found) {
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if (lstrcmpA(title, DialogTitle) != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND *>(found) = window;
    return FALSE;
}

// The dialog belongs to this thread: MSG_ENABLEDS created it here.
HWND FindSourceDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string PreviewCaption() {
    char text[32] = "";
    GetDlgItemTextA(g_script.dialog, PreviewButton, text, sizeof text);
    return text;
}

// As a click arrives: a WM_COMMAND through the application's own loop.
void Press(int button, const char *name) {
    printf("pressing %s\n", name);
    PostMessageA(g_script.dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(g_script.dialog, button)));
}

std::string MarkerName() { return g_app.options.screenshot + ".ready"; }

bool FileExists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void GiveUp(const char *why) {
    Fail(ExitSourceFailed, "%s", why);
    g_app.finished = true;
    Next(ScriptStep::Idle);
}

void PostMarker() {
    FILE *marker = fopen(MarkerName().c_str(), "w");
    if (!marker) {
        GiveUp("cannot create the screenshot marker");
        return;
    }
    fprintf(marker, "preview running\n");
    fclose(marker);
    Say("preview on screen: waiting for the screenshot (%s is removed when taken)",
         MarkerName().c_str());
}

void ScreenshotTaken(bool taken) {
    if (taken && FileExists(g_app.options.screenshot))
        Say("screenshot taken: %s", g_app.options.screenshot.c_str());
    else if (taken)
        Say("screenshot taken (written outside this program's view)");
    else {
        DeleteFileA(MarkerName().c_str());
        Fail(ExitSourceFailed, "nobody took the screenshot within 60 s");
    }
}

}  // namespace

void StartDialogScript() { Next(ScriptStep::FindDialog); }

void DialogScriptTick() {
    DWORD elapsed = GetTickCount() - g_script.since;
    switch (g_script.step) {
        case ScriptStep::Idle:
            break;
        case ScriptStep::FindDialog:
            if ((g_script.dialog = FindSourceDialog())) {
                Say("the source's dialog \"%s\" is up", DialogTitle);
                Press(PreviewButton, "Preview");
                Next(ScriptStep::WaitPreviewRunning);
            } else if (elapsed > 10000) {
                GiveUp("the source's dialog did not appear");
            }
            break;
        case ScriptStep::WaitPreviewRunning:
            if (PreviewCaption() == "Stop Preview") {
                Say("preview running (the button reads \"Stop Preview\"; Acquire %s)",
                     IsWindowEnabled(GetDlgItem(g_script.dialog, AcquireButton)) ? "enabled"
                                                                                 : "disabled");
                Next(ScriptStep::LetPreviewRun);
            } else if (elapsed > 15000) {
                GiveUp("the preview did not start");
            }
            break;
        case ScriptStep::LetPreviewRun:
            if (elapsed >= 1500) {
                PostMarker();
                Next(ScriptStep::WaitScreenshot);
            }
            break;
        case ScriptStep::WaitScreenshot:
            if (!FileExists(MarkerName()) || elapsed > 60000) {
                ScreenshotTaken(!FileExists(MarkerName()));
                Press(PreviewButton, "Stop Preview");
                Next(ScriptStep::WaitPreviewStopped);
            }
            break;
        case ScriptStep::WaitPreviewStopped:
            if (PreviewCaption() == "Preview") {
                Say("preview stopped");
                Press(AcquireButton, "Acquire");
                Next(ScriptStep::WaitFrame);
            } else if (elapsed > 20000) {
                GiveUp("the preview did not stop");
            }
            break;
        case ScriptStep::WaitFrame:
            // The frames asked for end the run; it does not come back here.
            if (elapsed > 20000) GiveUp("Acquire brought no image");
            break;
    }
}
