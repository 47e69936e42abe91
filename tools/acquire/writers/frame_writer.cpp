#include "writers/frame_writer.h"

#include <cstdio>

#include "bmp_file.h"
#include "readers/checked_size.h"
#include "writers/progress.h"

namespace {

// A few frames in the writer's hands, and of large frames only as many as
// their memory fits in this many bytes (but always one).
constexpr size_t MaxHeldFrames = 3;
constexpr uint64_t MaxHeldBytes = uint64_t(256) << 20;

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
    // Past what this process can hold, that much: such a frame fails on its own.
    uint64_t lineBits = 0, bytes = 0;
    if (!checked::MultiplyAdd(uint32_t(info.ImageWidth), uint32_t(info.BitsPerPixel), 7, &lineBits) ||
        !checked::Multiply(lineBits / 8, uint32_t(info.ImageLength), &bytes))
        return checked::MaxBlock();
    return bytes;
}

FrameWriter::FrameWriter(const Options &options) {
    writing_.options = options;
    qximg::SetWriteProgress(WriteProgress);
    thread_ = std::thread([this] {
        // The thread's boundary: whatever escapes the writes ends the run as a failed write does.
        try {
            WriteFrames();
        } catch (...) {
            FailOnException(writing_, "write the frames");
            std::lock_guard<std::mutex> lock(lock_);
            failed_ = true;
            changed_.notify_all();
        }
    });
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

uint64_t FrameWriter::HeldBytes() const {
    uint64_t bytes = 0;
    for (const PendingFrame &frame : held_) bytes += frame.holds + (frame.strips ? frame.strips->HeldBytes() : 0);
    return bytes;
}

bool FrameWriter::WaitForRoom(Session &s, uint64_t bytes) {
    std::unique_lock<std::mutex> lock(lock_);
    auto room = [&] {
        return failed_ || held_.empty() ||
               (held_.size() < MaxHeldFrames && HeldBytes() + bytes <= MaxHeldBytes);
    };
    if (!room()) {
        timing_.RoomWanted(true);
        changed_.notify_all();
        changed_.wait(lock, room);
        timing_.RoomWanted(false);
    }
    return !failed_ || EndWith(s, ExitSourceFailed);
}

void FrameWriter::TransferBegins(uint32_t index) {
    {
        std::lock_guard<std::mutex> lock(lock_);
        timing_.TransferBegins(index);
    }
    changed_.notify_all();
}

bool FrameWriter::Queue(Session &s, PendingFrame frame) {
    const uint32_t index = frame.index;
    size_t held;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (failed_) return EndWith(s, ExitSourceFailed);
        held_.push_back(std::move(frame));
        held = held_.size();
    }
    changed_.notify_all();
    Trace(s, "frame %u to the writer: %u frame(s) held", index, static_cast<unsigned>(held));
    return true;
}

void FrameWriter::Finish(Session &s) {
    Stop();
    s.framesWritten = written_;
    s.bytesWritten = writtenBytes_;
    if (failed_) EndWith(s, ExitSourceFailed);
}

// The frame's file, on the writer thread; a failure has been reported when false.
bool FrameWriter::Write(PendingFrame &frame) {
    ShowProgress(Work::Write, frame.index, 0, FrameBytes(frame.info));
    bool written = false;
    try {
        written = !frame.write || frame.write(writing_, frame);
    } catch (...) {
        FailOnException(writing_, "write frame " + std::to_string(frame.index));
    }
    EndProgress(Work::Write);
    if (written) PrintAboveProgress(FrameLine(frame));
    return written;
}

void FrameWriter::WriteFrames() {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !held_.empty(); });
        if (held_.empty()) return;
        changed_.wait_for(lock, WriteTiming::LongestWait,
                          [&] { return stopping_ || timing_.MayBegin(held_.front().index); });
        // The front frame stays in the queue, and counts, until its file is written.
        PendingFrame &frame = held_.front();
        bool skip = failed_;
        lock.unlock();
        bool written = !skip && Write(frame);
        // A memory frame still transferring after a failed write ends its transfer.
        if (frame.strips) frame.strips->Close();
        frame.write = nullptr;  // its pixels go now, outside the lock
        lock.lock();
        failed_ |= !skip && !written;
        written_ += written;
        writtenBytes_ += written ? frame.bytes : 0;
        held_.pop_front();
        changed_.notify_all();
    }
}
