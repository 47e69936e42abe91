// What the benchmark's native, memory and file cases share: the simulated
// board driven directly through Kvd.dll, QXTwain.ds loaded and made ready for
// transfers, and the timings every ratio is built from.
//
// Statistics: a cost is the fastest repetition (the run least disturbed by
// other work on the machine); transfers/s comes from the median transfer.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/maker_api.h"
#include "twain.h"
#include "support/loaded_source.h"

[[noreturn]] void Fail(const char *what);

double Seconds();

struct Timing {
    double fastest, median;
};

Timing Summarize(std::vector<double> samples);

// One benchmark case: a frame size and depth and how often to time it.
struct Case {
    uint32_t width, height, depth;
    int repetitions;
};

// The cases every kind of transfer is measured on; repetitions times scale.
std::vector<Case> BenchCases(int scale);

uint32_t BytesPerPixel(uint32_t depth);
size_t ImageBytes(const Case &c);

// Kvd.dll, loaded at run time, with the functions maker_api.h declares.
struct BoardLibrary {
    decltype(&KvSimConfigure) configure;
    decltype(&KvSysBrdFind) find;
    decltype(&KvBrdOpen) open;
    decltype(&KvBrdClose) close;
    decltype(&KvSignalCreate) signalCreate;
    decltype(&KvSignalWait) signalWait;
    decltype(&KvSignalFree) signalFree;
    decltype(&KvAqSetup) setup;
    decltype(&KvAqCommand) command;
    decltype(&KvAqCleanUp) cleanUp;
};

BoardLibrary LoadBoardLibrary();

// The simulated board set to the case's frame, delivered at once (frame_ms = 0).
void ConfigureBoard(const BoardLibrary &kv, const Case &c);

// The board alone: KvAqCommand(2, 2) + KvSignalWait on a board of the
// benchmark's own, i.e. exactly the board work a transfer's snap waits for.
Timing MeasureCapture(const BoardLibrary &kv, const Case &c);

// One memcpy of `bytes` between two buffers already in use.
Timing MeasureMemcpy(size_t bytes, int repetitions);

// For scripts/bench.sh's table over both architectures: one line
// "@ kind depth measured baseline floor" (seconds) for the 2048 x 2048 cases.
void Record(const char *kind, const Case &c, double measured, double baseline, double floor);

// A memory transfer in strips of the buffer's size, until the source stops
// answering TWRC_SUCCESS; returns its last answer (TWRC_XFERDONE when whole).
TW_UINT16 MemoryTransfer(qx::LoadedSource &source, std::vector<uint8_t> &buffer);

// DAT_PENDINGXFERS / MSG_ENDXFER after a transfer: the source is in 600 again.
void EndTransfer(qx::LoadedSource &source);
