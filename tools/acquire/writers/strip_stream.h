// A memory frame on its way from its transfer to its file, written while it
// transfers. The transfer thread takes each strip into a buffer borrowed
// here and hands on the lines that may go to the file, top line first, in
// bands; the writer thread writes each band and gives its buffer back. At
// the end the transfer hands over what it kept (lines that could not go on
// yet), or abandons the frame.
//
// Each buffer has one owner at a time: the transfer from Borrow until it
// hands the buffer on (Hand) or back (GiveBack); the stream while its band
// waits; the writer from Next until Done. Borrow waits while MaxBuffersOut
// buffers or MaxBytesOut bytes (but always one) are out, so that the
// transfer runs at most that far ahead of the file.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

#include "readers/strip_assembler.h"
#include "writers/buffer_pool.h"

// Lines of the frame, the next to go to its file: `rows` lines `stride`
// bytes apart from the start of the buffer.
struct StripBand {
    StripBuffer buffer;
    size_t stride = 0;
    uint32_t rows = 0;
};

class StripStream {
public:
    static constexpr size_t MaxBuffersOut = 4;
    static constexpr uint64_t MaxBytesOut = uint64_t(32) << 20;

    StripStream(BufferPool &pool, const StripLayout &layout) : pool_(pool), layout_(layout) {}
    StripStream(const StripStream &) = delete;
    StripStream &operator=(const StripStream &) = delete;

    const StripLayout &Layout() const { return layout_; }

    // The transfer thread's side. A buffer of at least `bytes` for the next
    // strip or band; false once the writer reads no more (its write failed).
    // May throw std::bad_alloc.
    bool Borrow(size_t bytes, StripBuffer *buffer);
    void Hand(StripBuffer buffer, size_t stride, uint32_t rows);
    void GiveBack(StripBuffer buffer);
    // Every pixel came: what the transfer kept follows the bands; `bytes`
    // is what the source wrote.
    void End(StripAssembly kept, uint64_t bytes);
    // The transfer ended without the frame (nothing once it has ended).
    void Abandon();

    // The writer thread's side. The next band, once handed on; false when
    // the transfer has ended and every band was taken.
    bool Next(StripBand *band);
    void Done(StripBand band);
    // Once Next is false: whether every pixel came, and then what the
    // transfer kept and the bytes it took.
    bool Whole();
    StripAssembly &Kept() { return kept_; }
    uint64_t Bytes() const { return bytes_; }
    // The writer reads no more: the bands waiting, and any handed on from
    // now, go back, and Borrow fails.
    void Close();

    // The memory the frame holds: its buffers out and what it kept.
    uint64_t HeldBytes();

private:
    void Release(StripBuffer buffer);  // under the lock

    enum class State { Transferring, Whole, Abandoned };
    BufferPool &pool_;
    const StripLayout layout_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<StripBand> bands_;
    size_t buffersOut_ = 0;
    uint64_t bytesOut_ = 0;
    State state_ = State::Transferring;
    bool closed_ = false;
    // Written by the transfer before End, read by the writer after Next is false.
    StripAssembly kept_;
    uint64_t bytes_ = 0;
};
