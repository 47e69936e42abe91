#include "frame_writer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bmp_file.h"
#include "progress.h"

namespace {

// A few frames in the writer's hands, and of large frames only as many as
// fit in this many bytes (but always one).
constexpr size_t MaxHeldFrames = 3;
constexpr uint64_t MaxHeldBytes = uint64_t(256) << 20;
// Pixels of two frames up to this size are kept for the next frames.
constexpr size_t SpareFrames = 2;
constexpr uint64_t SpareBytes = uint64_t(32) << 20;
// A file is begun once the next transfer has begun, so that the enable and
// disable around each transfer do not share the processor with the encoder;
// but no later than this after its frame came (a frame taken through the
// source's dialog may be the last for a while).
constexpr auto NextTransferWait = std::chrono::milliseconds(25);

void WriteProgress(uint64_t done, uint64_t total) { ShowProgress(Work::Write, 0, done, total); }

std::string FrameLine(const PendingFrame &frame) {
    char head[160];
    snprintf(head, sizeof head, "frame %u: %dx%d, %d bits, %llu bytes, %lu ms, ", frame.index,
             frame.info.ImageWidth, frame.info.ImageLength, frame.info.BitsPerPixel,
             static_cast<unsigned long long>(frame.bytes), GetTickCount() - frame.start);
    return head + frame.path + frame.note + "\n";
}

}  // namespace

uint64_t FrameBytes(const TW_IMAGEINFO &info) {
    if (info.ImageWidth <= 0 || info.ImageLength <= 0 || info.BitsPerPixel <= 0) return 0;
    return (uint64_t(info.ImageWidth) * uint32_t(info.BitsPerPixel) + 7) / 8 * uint32_t(info.ImageLength);
}

FrameWriter::FrameWriter(const Options &options) {
    writing_.options = options;
    char delay[16] = "";
    if (GetEnvironmentVariableA("QXACQUIRE_WRITE_DELAY_MS", delay, sizeof delay))
        delayMs_ = strtoul(delay, nullptr, 10);
    qximg::SetWriteProgress(WriteProgress);
    thread_ = std::thread(&FrameWriter::WriteFrames, this);
}

FrameWriter::~FrameWriter() { Stop(); }

void FrameWriter::Stop() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool FrameWriter::Failed(Session &s) {
    if (s.exitCode == ExitSuccess) s.exitCode = ExitSourceFailed;
    return false;
}

bool FrameWriter::WaitForRoom(Session &s, uint64_t bytes) {
    std::unique_lock<std::mutex> lock(lock_);
    auto room = [&] {
        return failed_ || held_.empty() ||
               (held_.size() < MaxHeldFrames && heldBytes_ + bytes <= MaxHeldBytes);
    };
    if (!room()) {
        roomWanted_ = true;
        changed_.notify_all();
        changed_.wait(lock, room);
        roomWanted_ = false;
    }
    return !failed_ || Failed(s);
}

void FrameWriter::TransferBegins(uint32_t index) {
    {
        std::lock_guard<std::mutex> lock(lock_);
        transferring_ = index;
    }
    changed_.notify_all();
}

bool FrameWriter::Queue(Session &s, PendingFrame frame) {
    const uint32_t index = frame.index;
    size_t held;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (failed_) return Failed(s);
        heldBytes_ += frame.bytes;
        held_.push_back(std::move(frame));
        held = held_.size();
    }
    changed_.notify_all();
    Trace(s, "frame %u to the writer: %u frame(s) held", index, static_cast<unsigned>(held));
    return true;
}

std::vector<uint8_t> FrameWriter::TakeBuffer(uint64_t bytes) {
    std::vector<uint8_t> buffer;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!spare_.empty()) {
            buffer = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    if (buffer.size() > bytes) buffer.resize(bytes);
    buffer.reserve(bytes);  // once: growing it strip by strip copies a large frame again and again
    return buffer;
}

void FrameWriter::ReturnBuffer(std::vector<uint8_t> buffer) {
    // Large frames give their memory back at once.
    if (buffer.capacity() > SpareBytes) return;
    std::lock_guard<std::mutex> lock(lock_);
    if (spare_.size() < SpareFrames) spare_.push_back(std::move(buffer));
}

void FrameWriter::Finish(Session &s) {
    Stop();
    s.framesWritten = written_;
    s.bytesTransferred = writtenBytes_;
    if (failed_) Failed(s);
}

void FrameWriter::WriteFrames() {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !held_.empty(); });
        if (held_.empty()) return;
        changed_.wait_for(lock, NextTransferWait, [&] {
            return stopping_ || roomWanted_ || transferring_ > held_.front().index;
        });
        // The front frame stays in the queue, and counts, until its file is written.
        PendingFrame &frame = held_.front();
        bool skip = failed_;
        lock.unlock();
        bool written = false;
        if (!skip) {
            if (delayMs_) Sleep(delayMs_);
            ShowProgress(Work::Write, frame.index, 0, frame.bytes);
            written = !frame.write || frame.write(writing_, frame.path, &frame.note);
            EndProgress(Work::Write);
            if (written) PrintAboveProgress(FrameLine(frame));
        }
        frame.write = nullptr;  // its pixels go now, outside the lock
        lock.lock();
        failed_ |= !skip && !written;
        written_ += written;
        writtenBytes_ += written ? frame.bytes : 0;
        heldBytes_ -= frame.bytes;
        held_.pop_front();
        changed_.notify_all();
    }
}
