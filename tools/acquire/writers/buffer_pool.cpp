#include "writers/buffer_pool.h"

#include <algorithm>

namespace {

// A frame's strips in flight (strip_stream.h) come back as spares for the
// next frame; larger buffers are let go at once.
constexpr size_t SpareBuffers = 4;
constexpr size_t SpareBytes = size_t(32) << 20;

}  // namespace

StripBuffer BufferPool::Take(size_t bytes) {
    {
        std::lock_guard<std::mutex> lock(lock_);
        auto fits = std::find_if(spare_.begin(), spare_.end(), [&](const StripBuffer &b) { return b.size >= bytes; });
        if (fits != spare_.end()) {
            StripBuffer buffer = std::move(*fits);
            spare_.erase(fits);
            return buffer;
        }
    }
    return {std::unique_ptr<uint8_t[]>(new uint8_t[bytes]), bytes};
}

void BufferPool::Give(StripBuffer buffer) {
    if (!buffer.bytes || buffer.size > SpareBytes) return;
    std::lock_guard<std::mutex> lock(lock_);
    // The smallest spare makes room for a larger one.
    if (spare_.size() == SpareBuffers) {
        auto smallest = std::min_element(spare_.begin(), spare_.end(),
                                         [](const StripBuffer &a, const StripBuffer &b) { return a.size < b.size; });
        if (smallest->size >= buffer.size) return;
        spare_.erase(smallest);
    }
    spare_.push_back(std::move(buffer));
}
