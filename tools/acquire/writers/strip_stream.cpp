#include "writers/strip_stream.h"

bool StripStream::Borrow(size_t bytes, StripBuffer *buffer) {
    std::unique_lock<std::mutex> lock(lock_);
    changed_.wait(lock, [&] {
        return closed_ || !buffersOut_ || (buffersOut_ < MaxBuffersOut && bytesOut_ + bytes <= MaxBytesOut);
    });
    if (closed_) return false;
    *buffer = pool_.Take(bytes);  // may throw: nothing is counted yet
    ++buffersOut_;
    bytesOut_ += buffer->size;
    return true;
}

void StripStream::Release(StripBuffer buffer) {
    --buffersOut_;
    bytesOut_ -= buffer.size;
    pool_.Give(std::move(buffer));
    changed_.notify_all();
}

void StripStream::Hand(StripBuffer buffer, size_t stride, uint32_t rows) {
    std::lock_guard<std::mutex> lock(lock_);
    if (closed_) return Release(std::move(buffer));
    bands_.push_back({std::move(buffer), stride, rows});
    changed_.notify_all();
}

void StripStream::GiveBack(StripBuffer buffer) {
    std::lock_guard<std::mutex> lock(lock_);
    Release(std::move(buffer));
}

void StripStream::End(StripAssembly kept, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(lock_);
    kept_ = std::move(kept);
    bytes_ = bytes;
    state_ = State::Whole;
    changed_.notify_all();
}

void StripStream::Abandon() {
    std::lock_guard<std::mutex> lock(lock_);
    if (state_ != State::Transferring) return;
    state_ = State::Abandoned;
    changed_.notify_all();
}

bool StripStream::Next(StripBand *band) {
    std::unique_lock<std::mutex> lock(lock_);
    changed_.wait(lock, [&] { return !bands_.empty() || state_ != State::Transferring; });
    if (bands_.empty()) return false;
    *band = std::move(bands_.front());
    bands_.pop_front();
    return true;
}

void StripStream::Done(StripBand band) {
    std::lock_guard<std::mutex> lock(lock_);
    Release(std::move(band.buffer));
}

bool StripStream::Whole() {
    std::lock_guard<std::mutex> lock(lock_);
    return state_ == State::Whole;
}

void StripStream::Close() {
    std::lock_guard<std::mutex> lock(lock_);
    closed_ = true;
    for (StripBand &band : bands_) Release(std::move(band.buffer));
    bands_.clear();
    changed_.notify_all();
}

uint64_t StripStream::HeldBytes() {
    std::lock_guard<std::mutex> lock(lock_);
    return bytesOut_ + (state_ == State::Whole ? kept_.keptBytes : 0);
}
