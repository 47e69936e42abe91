// Memory- and file-transfer cases of qxbench, measured with the same board
// capture and memcpy measurements as the native cases.
#pragma once

#include "bench_support.h"

void RunMemoryAndFileBench(const BoardLibrary &kv, int scale);
