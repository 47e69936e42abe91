// The application's message loop: every message goes to the source first
// (MSG_PROCESSEVENT); what the source tells the application comes back in
// TWMessage.
#include <cstdio>

#include "demo.h"

namespace {

constexpr UINT_PTR LimitTimer = 2;

void HandleSourceMessage(TW_UINT16 message) {
    printf("    DG_CONTROL / DAT_EVENT / MSG_PROCESSEVENT -> TWRC_DSEVENT, TWMessage %s\n",
           MessageName(message));
    switch (message) {
        case MSG_XFERREADY:
            if (!TransferOneImage() || !g_demo.options.interactive) g_demo.finished = true;
            break;
        case MSG_CLOSEDSREQ:
        case MSG_CLOSEDSOK:
            Step("the source asks to be closed");
            g_demo.finished = true;
            break;
        default:
            break;
    }
}

// True when the source (or the Source Manager on its behalf) took the message.
bool PassToSource(MSG *message) {
    static bool failureShown = false;
    TW_EVENT event = {message, MSG_NULL};
    TW_UINT16 result = g_demo.dsmEntry(&g_demo.app, &g_demo.source, DG_CONTROL, DAT_EVENT,
                                       MSG_PROCESSEVENT, &event);
    if (result == TWRC_FAILURE && !failureShown) {
        failureShown = true;
        printf("    DG_CONTROL / DAT_EVENT / MSG_PROCESSEVENT -> TWRC_FAILURE\n");
        QueryStatus(&g_demo.source);
    }
    if (result != TWRC_DSEVENT) return false;
    if (event.TWMessage != MSG_NULL) HandleSourceMessage(event.TWMessage);
    return true;
}

bool IsLimitTimer(const MSG &message) {
    return message.hwnd == g_demo.window && message.message == WM_TIMER &&
           message.wParam == LimitTimer;
}

}  // namespace

void RunEventLoop(DWORD limitMs) {
    Step(limitMs ? "waiting for the source in the event loop (at most %lu ms)"
                 : "waiting for the source in the event loop",
         limitMs);
    if (limitMs) SetTimer(g_demo.window, LimitTimer, limitMs, nullptr);
    unsigned passed = 0;
    MSG message;
    while (!g_demo.finished && GetMessageA(&message, nullptr, 0, 0) > 0) {
        ++passed;
        if (PassToSource(&message)) continue;
        if (IsLimitTimer(message)) {
            Fail("nothing came from the source within %lu ms", limitMs);
            g_demo.finished = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (limitMs) KillTimer(g_demo.window, LimitTimer);
    Step("event loop done (%u messages passed through MSG_PROCESSEVENT)", passed);
}
