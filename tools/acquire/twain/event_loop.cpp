// The application's message loop: every message goes to the source first
// (MSG_PROCESSEVENT); what the source tells the application comes back in
// TWMessage.
#include <utility>

#include "acquire.h"

namespace {

// Without its dialog a source says MSG_XFERREADY at once; a run that hears
// nothing for this long is told so rather than left waiting.
constexpr UINT_PTR SilenceTimer = 2;
constexpr UINT SilenceLimitMs = 30000;

void HandleSourceMessage(Session &s, TW_UINT16 message) {
    Trace(s, "MSG_PROCESSEVENT brought %s", MessageName(message));
    s.heardFromSource = true;
    switch (message) {
        case MSG_XFERREADY:
            s.state = TwainState::TransferReady;
            TransferFrames(s);
            break;
        case MSG_CLOSEDSREQ:
            Print("the source asks to be closed (MSG_CLOSEDSREQ)");
            // Frames taken before the user closed the dialog count as success.
            if (s.framesTransferred < s.options.count) Fail(s, ExitCancelled, "cancelled by the user");
            s.finished = true;
            break;
        case MSG_CLOSEDSOK:
            s.finished = true;
            break;
        default:
            break;
    }
}

// True when the source took the message.
bool PassToSource(Session &s, MSG *message) {
    TW_EVENT event = {message, MSG_NULL};
    // Every message goes through here: traced only when it fails.
    TW_UINT16 result = Call(s, ToSource, {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT}, &event, Untraced);
    if (result == TWRC_FAILURE) {
        Refused(s, result);
        s.finished = true;
        return true;
    }
    if (result != TWRC_DSEVENT) return false;
    if (event.TWMessage != MSG_NULL) HandleSourceMessage(s, event.TWMessage);
    return true;
}

bool IsSilenceTimer(const Session &s, const MSG &message) {
    return message.hwnd == s.window && message.message == WM_TIMER &&
           message.wParam == SilenceTimer;
}

}  // namespace

void RunEventLoop(Session &s) {
    if (!s.options.ui) SetTimer(s.window, SilenceTimer, SilenceLimitMs, nullptr);
    MSG message;
    while (!s.finished) {
        if (EndAsked(s)) break;
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) break;
        if (PassToSource(s, &message)) continue;
        if (IsSilenceTimer(s, message) && !std::exchange(s.heardFromSource, false)) {
            Fail(s, ExitSourceFailed,
                 "no MSG_XFERREADY from the source within %u s: it may be telling another "
                 "Source Manager than this one (try --dsm)",
                 SilenceLimitMs / 1000);
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
