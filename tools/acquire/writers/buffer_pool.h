// Memory for frames' pixels, used again: a frame written gives its buffer
// back, and the next frame takes it with its pages already mapped.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

class BufferPool {
public:
    // At least `bytes` reserved: a buffer given back when there is one (its
    // size set, so growing it to the same size neither faults nor clears),
    // else new. May throw std::bad_alloc.
    std::vector<uint8_t> Take(uint64_t bytes);
    // A frame's pixels once written, to be taken again.
    void Give(std::vector<uint8_t> buffer);

private:
    std::mutex lock_;
    std::vector<std::vector<uint8_t>> spare_;
};
