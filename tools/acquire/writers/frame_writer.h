// Frames are written on a thread of their own while the next one is
// transferred. The writer holds a few frames at most: when the disk or the
// encoder is slower than the board, the next transfer waits for room instead
// of memory growing; what counts is the memory each frame holds. Frames are
// written in the order handed over, each once; after a failed write the
// frames behind it are dropped and the run ends. A memory frame of many
// strips is handed over as they come and written while it transfers
// (strip_stream.h).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "acquire.h"
#include "writers/strip_stream.h"
#include "writers/write_timing.h"

struct PendingFrame;
// A frame's write, run on the writer thread: it reports a failure through Fail
// on the writer's own session, which holds only the options.
using FrameWrite = std::function<bool(Session &writing, PendingFrame &frame)>;

// A frame the source hands over: what its transfer brought, then, once ended,
// waiting for its file.
struct PendingFrame {
    uint32_t index = 0;
    TW_IMAGEINFO info = {};
    DWORD start = 0;     // GetTickCount() when its transfer began
    uint64_t bytes = 0;  // as transferred
    uint64_t holds = 0;  // the memory it holds while it waits: a native bitmap's block
    // A memory frame's strips: what it holds is counted there.
    std::shared_ptr<StripStream> strips;
    bool queued = false;  // handed to the writer while it transfers
    std::string path;
    std::string note;  // how the samples were written, when that needs saying
    FrameWrite write;  // empty when the source wrote the file itself
};

// The bytes of a frame as its image information describes it.
uint64_t FrameBytes(const TW_IMAGEINFO &info);

class FrameWriter {
public:
    explicit FrameWriter(const Options &options);
    ~FrameWriter();
    FrameWriter(const FrameWriter &) = delete;
    FrameWriter &operator=(const FrameWriter &) = delete;

    // Waits until a frame of `bytes` may be transferred: until the frames held
    // and it fit the bound, or none is held. False, with the exit status set,
    // once a write has failed.
    bool WaitForRoom(Session &s, uint64_t bytes);
    // The transfer of frame `index` begins: the application's thread now waits
    // for the board, the time to write the files of the frames before it.
    void TransferBegins(uint32_t index);
    // Hands a frame to the writer thread; false once a write has failed.
    bool Queue(Session &s, PendingFrame frame);
    // Waits until every frame handed over is written or dropped; the session
    // then counts the frames written and their bytes.
    void Finish(Session &s);

private:
    void WriteFrames();
    bool Write(PendingFrame &frame);
    void Stop();
    uint64_t HeldBytes() const;  // under the lock

    Session writing_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<PendingFrame> held_;  // the front one is being written
    WriteTiming timing_;
    bool failed_ = false;
    bool stopping_ = false;
    uint32_t written_ = 0;
    uint64_t writtenBytes_ = 0;
    std::thread thread_;
};
