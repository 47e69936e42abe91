#include "kvd_state.h"

#include <algorithm>

namespace {
SRWLOCK g_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_signalChanged = CONDITION_VARIABLE_INIT;
}  // namespace

std::vector<SimBoard *> g_boards;
std::vector<SimSignal *> g_signals;

KvdLocked::KvdLocked() { AcquireSRWLockExclusive(&g_lock); }
KvdLocked::~KvdLocked() { ReleaseSRWLockExclusive(&g_lock); }

void SleepWithBoardLock(CONDITION_VARIABLE *cv, DWORD ms) {
    SleepConditionVariableSRW(cv, &g_lock, ms, 0);
}

CONDITION_VARIABLE *SignalChanged() { return &g_signalChanged; }

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

SimBoard *FindBoard(KvBoard board) {
    auto it = std::find(g_boards.begin(), g_boards.end(), static_cast<SimBoard *>(board));
    return it == g_boards.end() ? nullptr : *it;
}

SimSignal *FindSignal(const KvSignal *signal) {
    if (!signal || !signal->impl) return nullptr;
    auto it = std::find(g_signals.begin(), g_signals.end(), static_cast<SimSignal *>(signal->impl));
    return it == g_signals.end() ? nullptr : *it;
}

void RaiseSignals(SimBoard *board, uint32_t kind, uint32_t count) {
    for (SimSignal *s : g_signals)
        if (s->board == board && s->kind == kind) s->raises += count;
    WakeAllConditionVariable(&g_signalChanged);
}

void DiscardRaises(SimBoard *board, uint32_t kind) {
    for (SimSignal *s : g_signals)
        if (s->board == board && s->kind == kind) s->raises = 0;
}

void AbortFrame(SimBoard *board) {
    if (board) board->frameActive = false;
}

void WakeBoard(SimBoard *board) { WakeAllConditionVariable(&board->wake); }
