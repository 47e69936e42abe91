// Inside Kvd.dll: the opened boards and their signals, behind one lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "board/maker_api.h"
#include "sim_core.h"

// Error results of the simulated board (besides the forced ones of the
// configuration), numbered 1 to 8 in this order: the call log shows them.
enum : uint32_t {
    KV_ERR_ARGUMENT = 1, KV_ERR_BOARD, KV_ERR_NOT_FOUND, KV_ERR_PARAMETER,
    KV_ERR_SIGNAL, KV_ERR_NOT_SET_UP, KV_ERR_COMMAND, KV_ERR_RESOURCES
};

struct SimBoard {
    uint32_t family;
    uint32_t number;
    HANDLE thread;
    CONDITION_VARIABLE wake;
    bool quit;
    // Acquisition set up by KvAqSetup.
    bool setUp;
    uint8_t *buffer;
    uint32_t bufferBytes;
    // The frame in progress. A doomed frame never completes: the wait script
    // fails the wait that would see it.
    bool frameActive;
    bool frameDoomed;
    uint32_t frameNumber;
    double frameDueMs;
    // Raises of the kind-2 signal while set up: period in force and next time.
    uint32_t cancelPeriodMs;
    double nextCancelMs;
};

struct SimSignal {
    uint32_t kind;
    SimBoard *board;          // null once the board is closed
    uint32_t raises;          // raises nobody has waited for yet
    bool cancelPending;       // a cancel that came while nobody waited
    uint32_t cancelRound;     // changes when the waits in progress are cancelled
    uint32_t waiting;         // waits of the current round
    uint32_t inside;          // threads inside a wait; the last one out deletes a freed signal
    bool freed;
};

// Holds the board lock for a scope; condition waits release it meanwhile.
struct KvdLocked {
    KvdLocked();
    ~KvdLocked();
    KvdLocked(const KvdLocked &) = delete;
    KvdLocked &operator=(const KvdLocked &) = delete;
};

// All below need the board lock.
extern std::vector<SimBoard *> g_boards;
extern std::vector<SimSignal *> g_signals;
SimBoard *FindBoard(KvBoard board);
SimSignal *FindSignal(const KvSignal *signal);
void RaiseSignals(SimBoard *board, uint32_t kind, uint32_t count);
void DiscardRaises(SimBoard *board, uint32_t kind);
void AbortFrame(SimBoard *board);
void WakeBoard(SimBoard *board);
// Broadcast whenever a signal is raised, cancelled or freed.
CONDITION_VARIABLE *SignalChanged();
// Sleeps on cv (releasing the board lock) for at most ms milliseconds.
void SleepWithBoardLock(CONDITION_VARIABLE *cv, DWORD ms);

// A monotonic clock in milliseconds.
double NowMs();

// The board thread: completes frames and raises the kind-2 signal.
DWORD WINAPI BoardThread(void *board);
