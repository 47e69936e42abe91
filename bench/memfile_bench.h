// Memory- and file-transfer cases of qxbench, measured with the same board
// capture and memcpy measurements as the native cases.
#pragma once

#include "bench_support.h"

void RunMemoryAndFileBench(const BoardLibrary &kv, int scale);

// The source's memory transfer of the board's frame as Kvd.dll read it at
// load (QXSIM_CONFIG), alone: nothing is written. The figure qxacquire's
// memory transfer and writing of the same frame is set against
// (bench/acquire_large.sh), so the frame is taken as qxacquire takes it:
// the source opened and enabled afresh, one transfer, in `strips` strips of
// whole lines into one buffer.
void RunMemoryTransferAlone(uint32_t strips);
