// Board signals: raises are counted and kept until a wait takes them; a cancel
// ends every wait in progress, or the next wait when nobody waits.
#include <algorithm>
#include <cmath>

#include "kvd_state.h"

namespace {

uint32_t KindOf(const KvSignal *signal) { return signal ? signal->kind : 0; }

// The signal's next event within timeoutMs. Needs the board lock.
uint32_t AwaitSignal(SimSignal *s, uint32_t timeoutMs) {
    if (s->cancelPending) {
        s->cancelPending = false;
        return KV_WAIT_CANCELLED;
    }
    if (s->raises > 0) {
        --s->raises;
        return KV_WAIT_OK;
    }
    const uint32_t round = s->cancelRound;
    const double deadline = NowMs() + timeoutMs;
    ++s->waiting;
    ++s->inside;
    uint32_t result;
    while (true) {
        if (s->freed || s->cancelRound != round) {
            result = KV_WAIT_CANCELLED;
            break;
        }
        if (s->raises > 0) {
            --s->raises;
            result = KV_WAIT_OK;
            break;
        }
        DWORD ms = INFINITE;
        if (timeoutMs != KV_WAIT_FOREVER) {
            double left = deadline - NowMs();
            if (left <= 0) {
                result = KV_WAIT_TIMEOUT;
                break;
            }
            ms = static_cast<DWORD>(std::ceil(left));
        }
        SleepWithBoardLock(SignalChanged(), ms);
    }
    if (s->cancelRound == round) --s->waiting;
    --s->inside;
    return result;
}

uint32_t WaitForSignal(KvSignal *signal, uint32_t timeoutMs) {
    uint32_t scripted = 0;
    bool frameWait = KindOf(signal) == KV_SIGNAL_FRAME;
    KvdLocked lock;
    SimSignal *s = FindSignal(signal);
    if (!s) return KV_ERR_SIGNAL;
    SimBoard *board = s->board;
    uint32_t result;
    if (frameWait && QxsTakeScriptedWait(&scripted)) result = scripted;
    else result = AwaitSignal(s, timeoutMs);
    if (s->freed && s->inside == 0) delete s;
    // A frame whose wait failed never reaches the host buffer.
    if (frameWait && result != KV_WAIT_OK && FindBoard(board)) AbortFrame(board);
    return result;
}

void CancelSignal(KvSignal *signal) {
    KvdLocked lock;
    SimSignal *s = FindSignal(signal);
    if (!s) return;
    if (s->waiting > 0) {
        ++s->cancelRound;
        s->waiting = 0;
        WakeAllConditionVariable(SignalChanged());
    } else {
        s->cancelPending = true;
    }
}

uint32_t CreateSignal(KvBoard board, uint32_t kind, KvSignal *signal) {
    if (!signal || (kind != KV_SIGNAL_FRAME && kind != KV_SIGNAL_CANCEL)) return KV_ERR_ARGUMENT;
    KvdLocked lock;
    SimBoard *b = FindBoard(board);
    if (!b) return KV_ERR_BOARD;
    SimSignal *s = new SimSignal();
    s->kind = kind;
    s->board = b;
    g_signals.push_back(s);
    signal->kind = kind;
    signal->reserved = 0;
    signal->impl = s;
    return 0;
}

uint32_t FreeSignal(KvSignal *signal) {
    KvdLocked lock;
    SimSignal *s = FindSignal(signal);
    if (!s) return KV_ERR_SIGNAL;
    g_signals.erase(std::find(g_signals.begin(), g_signals.end(), s));
    signal->impl = nullptr;
    if (s->inside == 0) {
        delete s;
    } else {
        s->freed = true;
        WakeAllConditionVariable(SignalChanged());
    }
    return 0;
}

}  // namespace

extern "C" uint32_t KvSignalCreate(KvBoard board, uint32_t kind, KvSignal *signal) {
    return QxsEndCall(CreateSignal(board, kind, signal), "KvSignalCreate %u", kind);
}

extern "C" uint32_t KvSignalWait(KvBoard, KvSignal *signal, uint32_t timeoutMs, uint32_t *detail) {
    uint32_t result = WaitForSignal(signal, timeoutMs);
    if (detail) *detail = 0;
    return QxsEndCall(result, "KvSignalWait %u %u", KindOf(signal), timeoutMs);
}

extern "C" void KvSignalCancel(KvBoard, KvSignal *signal) {
    CancelSignal(signal);
    QxsEndVoidCall("KvSignalCancel %u", KindOf(signal));
}

extern "C" uint32_t KvSignalFree(KvBoard, KvSignal *signal) {
    return QxsEndCall(FreeSignal(signal), "KvSignalFree %u", KindOf(signal));
}
