// The board's own thread: completes the frame in progress when its time has
// come, and raises the kind-2 signal periodically while acquisition is set up.
#include <algorithm>
#include <cmath>

#include "kvd_state.h"

namespace {

void CompleteFrame(SimBoard *b, const QxsSettings &s) {
    b->frameActive = false;
    if (b->setUp && b->buffer)
        QxsFillFrame(b->buffer, b->bufferBytes, b->frameNumber);
    RaiseSignals(b, KV_SIGNAL_FRAME, s.signalsPerFrame);
}

// Raises the kind-2 signal when due; returns the time of the next raise (or HUGE_VAL).
double TickCancelSignal(SimBoard *b, const QxsSettings &s, double now) {
    if (!b->setUp || s.cancelSignalMs == 0) {
        b->cancelPeriodMs = 0;
        return HUGE_VAL;
    }
    if (b->cancelPeriodMs != s.cancelSignalMs) {
        b->cancelPeriodMs = s.cancelSignalMs;
        b->nextCancelMs = now + s.cancelSignalMs;
    }
    if (now >= b->nextCancelMs) {
        RaiseSignals(b, KV_SIGNAL_CANCEL, 1);
        b->nextCancelMs = std::max(b->nextCancelMs + s.cancelSignalMs, now + 1);
    }
    return b->nextCancelMs;
}

DWORD MsUntil(double when, double now) {
    if (when == HUGE_VAL) return INFINITE;
    double left = std::ceil(when - now);
    return left <= 0 ? 0 : static_cast<DWORD>(std::min(left, 3600000.0));
}

}  // namespace

DWORD WINAPI BoardThread(void *parameter) {
    SimBoard *b = static_cast<SimBoard *>(parameter);
    {
        KvdLocked lock;
        while (!b->quit) {
            QxsSettings s;
            QxsGetSettings(&s);
            double now = NowMs();
            double next = HUGE_VAL;
            if (b->frameActive && !b->frameDoomed) {
                if (now >= b->frameDueMs) {
                    CompleteFrame(b, s);
                    continue;
                }
                next = b->frameDueMs;
            }
            next = std::min(next, TickCancelSignal(b, s, now));
            SleepWithBoardLock(&b->wake, MsUntil(next, now));
        }
    }
    // The thread holds a reference on this library, taken when the board opened.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&BoardThread), &self);
    FreeLibraryAndExitThread(self, 0);
}
