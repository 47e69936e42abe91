#include "writers/buffer_pool.h"

#include <new>

namespace {

// Pixels of two frames up to this size are kept for the next frames; larger
// frames give their memory back at once.
constexpr size_t SpareFrames = 2;
constexpr uint64_t SpareBytes = uint64_t(32) << 20;

}  // namespace

std::vector<uint8_t> BufferPool::Take(uint64_t bytes) {
    std::vector<uint8_t> buffer;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!spare_.empty()) {
            buffer = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    if (buffer.size() > bytes) buffer.resize(bytes);
    // Once: growing it strip by strip copies a large frame again and again.
    // A frame larger than the address space is no memory either.
    if (bytes > buffer.max_size()) throw std::bad_alloc();
    buffer.reserve(static_cast<size_t>(bytes));
    return buffer;
}

void BufferPool::Give(std::vector<uint8_t> buffer) {
    if (buffer.capacity() > SpareBytes) return;
    std::lock_guard<std::mutex> lock(lock_);
    if (spare_.size() < SpareFrames) spare_.push_back(std::move(buffer));
}
