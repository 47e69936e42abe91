// The application's message loop: every message goes to the source first
// (MSG_PROCESSEVENT); what the source tells the application comes back in
// TWMessage.
#include <cstdio>
#include <utility>

#include "acquire.h"

namespace {

// Without its dialog a source says MSG_XFERREADY at once; a run that hears
// nothing for this long is told so rather than left waiting.
constexpr UINT_PTR SilenceTimer = 2;
constexpr UINT SilenceLimitMs = 30000;
bool g_heardFromSource = false;

void HandleSourceMessage(TW_UINT16 message) {
    Trace("MSG_PROCESSEVENT brought %s", MessageName(message));
    g_heardFromSource = true;
    switch (message) {
        case MSG_XFERREADY:
            TransferFrames();
            break;
        case MSG_CLOSEDSREQ:
            printf("the source asks to be closed (MSG_CLOSEDSREQ)\n");
            // Frames taken before the user closed the dialog count as success.
            if (g_app.framesWritten < g_app.options.count) Fail(ExitCancelled, "cancelled by the user");
            g_app.finished = true;
            break;
        case MSG_CLOSEDSOK:
            g_app.finished = true;
            break;
        default:
            break;
    }
}

// True when the source took the message.
bool PassToSource(MSG *message) {
    TW_EVENT event = {message, MSG_NULL};
    TW_UINT16 result = g_app.dsmEntry(&g_app.app, &g_app.source, DG_CONTROL, DAT_EVENT,
                                      MSG_PROCESSEVENT, &event);
    if (result == TWRC_FAILURE) {
        Refused(&g_app.source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, result, "");
        g_app.finished = true;
        return true;
    }
    if (result != TWRC_DSEVENT) return false;
    if (event.TWMessage != MSG_NULL) HandleSourceMessage(event.TWMessage);
    return true;
}

bool IsSilenceTimer(const MSG &message) {
    return message.hwnd == g_app.window && message.message == WM_TIMER &&
           message.wParam == SilenceTimer;
}

}  // namespace

void RunEventLoop() {
    if (!g_app.options.ui) SetTimer(g_app.window, SilenceTimer, SilenceLimitMs, nullptr);
    MSG message;
    while (!g_app.finished) {
        if (Interrupted()) {
            Fail(ExitCancelled, "interrupted (Ctrl+C)");
            break;
        }
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) break;
        if (PassToSource(&message)) continue;
        if (IsSilenceTimer(message) && !std::exchange(g_heardFromSource, false)) {
            Fail(ExitSourceFailed,
                 "no MSG_XFERREADY from the source within %u s: it may be telling another "
                 "Source Manager than this one (try --dsm)",
                 SilenceLimitMs / 1000);
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
