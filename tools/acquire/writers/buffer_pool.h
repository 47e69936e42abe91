// Strip buffers used again: a buffer whose lines are written comes back
// here, and the next strip (of the same frame or a later one) takes it with
// its pages already mapped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct StripBuffer {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};

class BufferPool {
public:
    // At least `bytes`: a spare buffer large enough when there is one, else a
    // new one, not cleared (a source writes it before a byte is read). May
    // throw std::bad_alloc.
    StripBuffer Take(size_t bytes);
    // A buffer whose lines are written, to be taken again.
    void Give(StripBuffer buffer);

private:
    std::mutex lock_;
    std::vector<StripBuffer> spare_;
};
