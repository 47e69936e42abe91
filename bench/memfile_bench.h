// Memory- and file-transfer cases of qxbench, measured with the same board
// capture and memcpy measurements as the native cases.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct BenchTools {
    // Replaces the simulated board's configuration; exits on a refusal.
    std::function<void(const std::string &config)> configure;
    // Median time of the board alone delivering one frame.
    std::function<double(uint32_t width, uint32_t height, uint32_t depth, int repetitions)> capture;
    // Median time of one memcpy of `bytes` between buffers already in use.
    std::function<double(size_t bytes, int repetitions)> copy;
    std::function<double()> seconds;
    std::function<double(std::vector<double>)> median;
};

void RunMemoryAndFileBench(const BenchTools &tools, int scale);
