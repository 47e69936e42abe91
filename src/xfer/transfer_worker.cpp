#include "xfer/transfer_worker.h"

#include "ds/source_context.h"
#include "ui/threads.h"

namespace {

constexpr UINT BitmapFlags = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr SIZE_T PageBytes = 4096;
// Pages brought in between two looks at whether the block is still wanted.
constexpr SIZE_T PagesBetweenLooks = 16;
// Below this many rows a frame is converted on one thread.
constexpr uint32_t RowsWorthSharing = 64;

TransferWorker &Worker() { return g_source.transferWorker; }

struct Locked {
    Locked() { AcquireSRWLockExclusive(&Worker().lock); }
    ~Locked() { ReleaseSRWLockExclusive(&Worker().lock); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;
    void WaitUntil(bool (*done)(const TransferWorker &)) {
        while (!done(Worker())) SleepConditionVariableSRW(&Worker().changed, &Worker().lock, INFINITE, 0);
    }
    void Changed() { WakeAllConditionVariable(&Worker().changed); }
    // Runs work with the lock let go meanwhile.
    template <class Work> void Unlocked(Work work) {
        ReleaseSRWLockExclusive(&Worker().lock);
        work();
        AcquireSRWLockExclusive(&Worker().lock);
    }
};

bool BlockDropped() {
    Locked locked;
    return Worker().blockState == BlockState::Dropped;
}

// Allocates the block and writes a zero into each page of its first `touch`
// bytes, which keeps it zero-initialised and brings those pages in; stops
// touching once the block is dropped.
HGLOBAL AllocateTouched(SIZE_T bytes, SIZE_T touch) {
    HGLOBAL block = GlobalAlloc(BitmapFlags, bytes);
    if (!block) return nullptr;
    if (auto *pages = static_cast<volatile uint8_t *>(GlobalLock(block))) {
        SIZE_T end = touch < bytes ? touch : bytes;
        for (SIZE_T offset = 0; offset < end; offset += PageBytes) {
            if (offset % (PageBytes * PagesBetweenLooks) == 0 && BlockDropped()) break;
            pages[offset] = 0;
        }
        GlobalUnlock(block);
    }
    return block;
}

// Gives up the next block (under the lock): one made is freed at once, one
// being made by the worker when its making ends.
void DropBlock(TransferWorker &w) {
    switch (w.blockState) {
    case BlockState::Wanted: w.blockState = BlockState::None; break;
    case BlockState::BeingMade: w.blockState = BlockState::Dropped; break;
    case BlockState::Ready:
        if (w.block) GlobalFree(w.block);
        w.block = nullptr;
        w.blockState = BlockState::None;
        break;
    case BlockState::None:
    case BlockState::Dropped: break;
    }
}

unsigned __stdcall WorkerLoop(void *) {
    TransferWorker &w = Worker();
    Locked locked;
    for (;;) {
        locked.WaitUntil([](const TransferWorker &t) {
            return t.stop || t.rows || t.blockState == BlockState::Wanted;
        });
        if (w.stop) return 0;
        if (w.rows) {
            RowRange convert = w.rows;
            const void *context = w.rowsContext;
            uint32_t first = w.rowsFirst, end = w.rowsEnd;
            locked.Unlocked([=] { convert(first, end, context); });
            w.rows = nullptr;
        } else {
            w.blockState = BlockState::BeingMade;
            SIZE_T bytes = w.blockBytes, touch = w.touchBytes;
            HGLOBAL block = nullptr;
            locked.Unlocked([&] { block = AllocateTouched(bytes, touch); });
            if (w.blockState == BlockState::Dropped) {
                if (block) GlobalFree(block);
                w.blockState = BlockState::None;
            } else {
                w.block = block;
                w.blockState = BlockState::Ready;
            }
        }
        locked.Changed();
    }
}

bool StartWorker() {
    TransferWorker &w = Worker();
    if (w.thread) return true;
    InitializeSRWLock(&w.lock);
    InitializeConditionVariable(&w.changed);
    w.stop = false;
    w.blockState = BlockState::None;
    w.rows = nullptr;
    w.thread = StartThread(WorkerLoop, nullptr);
    return w.thread != nullptr;
}

bool BlockOnItsWay(BlockState state) {
    return state == BlockState::Wanted || state == BlockState::BeingMade ||
           state == BlockState::Ready;
}

// The block asked for with `bytes`, once the worker has made it; nullptr when
// none was, or the worker has not begun it (this thread then makes its own at
// once). One of another size is dropped.
HGLOBAL TakePrepared(SIZE_T bytes) {
    TransferWorker &w = Worker();
    Locked locked;
    if (!BlockOnItsWay(w.blockState)) return nullptr;
    if (w.blockBytes != bytes || w.blockState == BlockState::Wanted) {
        DropBlock(w);
        return nullptr;
    }
    locked.WaitUntil([](const TransferWorker &t) { return t.blockState != BlockState::BeingMade; });
    HGLOBAL block = w.block;
    w.block = nullptr;
    w.blockState = BlockState::None;
    return block;
}

// True while the worker has a block to make or is making one.
bool MakingBlock() {
    TransferWorker &w = Worker();
    if (!w.thread) return false;
    Locked locked;
    return w.blockState == BlockState::Wanted || w.blockState == BlockState::BeingMade ||
           w.blockState == BlockState::Dropped;
}

}  // namespace

HGLOBAL AllocateBitmapBlock(SIZE_T bytes) {
    if (HGLOBAL block = TakePrepared(bytes)) return block;
    return GlobalAlloc(BitmapFlags, bytes);
}

void PrepareNextBitmapBlock(SIZE_T bytes, SIZE_T written) {
    TransferWorker &w = Worker();
    if (!StartWorker()) return;
    Locked locked;
    if (w.blockBytes != bytes) DropBlock(w);
    // A block on its way, or one dropped and not yet freed: no second one.
    if (w.blockState != BlockState::None) return;
    w.blockBytes = bytes;
    w.touchBytes = written;
    w.blockState = BlockState::Wanted;
    locked.Changed();
}

void PrepareFollowingBitmapBlock(SIZE_T bytes, SIZE_T written) {
    if (Worker().nativeTransfers++ > 0) PrepareNextBitmapBlock(bytes, written);
}

void ConvertRows(uint32_t rows, RowRange convert, const void *context) {
    TransferWorker &w = Worker();
    if (rows < RowsWorthSharing || MakingBlock() || !StartWorker()) {
        convert(0, rows, context);
        return;
    }
    uint32_t half = rows / 2;
    {
        Locked locked;
        w.rows = convert;
        w.rowsContext = context;
        w.rowsFirst = half;
        w.rowsEnd = rows;
        locked.Changed();
    }
    convert(0, half, context);
    Locked locked;
    locked.WaitUntil([](const TransferWorker &t) { return t.rows == nullptr; });
}

void StopTransferWorker() {
    TransferWorker &w = Worker();
    w.nativeTransfers = 0;
    AskTransferWorkerToStop();
    if (!w.thread) return;
    WaitForSingleObject(w.thread, INFINITE);
    CloseHandle(w.thread);
    w.thread = nullptr;
}

void DropPreparedBitmapBlock() {
    TransferWorker &w = Worker();
    w.nativeTransfers = 0;
    Locked locked;
    DropBlock(w);
}

void AskTransferWorkerToStop() {
    TransferWorker &w = Worker();
    Locked locked;
    DropBlock(w);
    if (!w.thread) return;
    w.stop = true;
    locked.Changed();
}

void ForgetStoppedTransferWorker() {
    TransferWorker &w = Worker();
    {
        Locked locked;
        DropBlock(w);
        w.blockState = BlockState::None;
    }
    if (w.thread) CloseHandle(w.thread);
    w.thread = nullptr;
}
