// The TWAIN-conforming cycle around each frame (enable, information, transfer,
// end, disable): its phases' medians, and a stream of such cycles against the
// board's frame rate.
#pragma once

#include "bench_support.h"

void RunCycleBench(const BoardLibrary &kv, int scale);
