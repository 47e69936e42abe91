// The simulated board's own costs: a frame against memcpy, an image file
// against writing its bytes.
#pragma once

#include "bench_support.h"

void RunBoardBench(const BoardLibrary &kv, int scale);
