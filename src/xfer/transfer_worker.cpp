#include "xfer/transfer_worker.h"

#include "ds/source_context.h"
#include "ui/threads.h"

namespace {

constexpr UINT BitmapFlags = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr SIZE_T PageBytes = 4096;
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
};

// Allocates the block and writes a zero into each page of its first `touch`
// bytes, which keeps it zero-initialised and brings those pages in; stops
// touching once the block is dropped.
HGLOBAL AllocateTouched(SIZE_T bytes, SIZE_T touch) {
    HGLOBAL block = GlobalAlloc(BitmapFlags, bytes);
    if (!block) return nullptr;
    if (auto *pages = static_cast<volatile uint8_t *>(GlobalLock(block))) {
        for (SIZE_T offset = 0; offset < touch && offset < bytes && !Worker().blockDropped;
             offset += PageBytes)
            pages[offset] = 0;
        GlobalUnlock(block);
    }
    return block;
}

unsigned __stdcall WorkerLoop(void *) {
    TransferWorker &w = Worker();
    Locked locked;
    for (;;) {
        locked.WaitUntil([](const TransferWorker &t) { return t.stop || t.rows || t.blockWanted; });
        if (w.stop) return 0;
        if (w.rows) {
            RowRange convert = w.rows;
            ReleaseSRWLockExclusive(&w.lock);
            convert(w.rowsFirst, w.rowsEnd, w.rowsContext);
            AcquireSRWLockExclusive(&w.lock);
            w.rows = nullptr;
        } else {
            w.blockWanted = false;
            SIZE_T bytes = w.blockBytes, touch = w.touchBytes;
            ReleaseSRWLockExclusive(&w.lock);
            HGLOBAL block = AllocateTouched(bytes, touch);
            AcquireSRWLockExclusive(&w.lock);
            if (w.blockDropped) {
                w.blockDropped = 0;
                if (block) GlobalFree(block);
            } else {
                w.block = block;
                w.blockReady = true;
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
    w.stop = w.blockWanted = w.blockReady = false;
    w.blockDropped = 0;
    w.rows = nullptr;
    w.thread = StartThread(WorkerLoop, nullptr);
    return w.thread != nullptr;
}

// The block asked for last, once the worker has made it (nullptr if none).
HGLOBAL TakePrepared() {
    TransferWorker &w = Worker();
    if (!w.blockPending) return nullptr;
    w.blockPending = false;
    Locked locked;
    locked.WaitUntil([](const TransferWorker &t) { return t.blockReady; });
    HGLOBAL block = w.block;
    w.block = nullptr;
    w.blockReady = false;
    return block;
}

// True while the worker makes a block, asked for or dropped.
bool MakingBlock() {
    const TransferWorker &w = Worker();
    if (!w.thread) return false;
    Locked locked;
    return (w.blockPending && !w.blockReady) || w.blockDropped != 0;
}

}  // namespace

HGLOBAL AllocateBitmapBlock(SIZE_T bytes) {
    HGLOBAL block = TakePrepared();
    if (block && GlobalSize(block) == bytes) return block;
    if (block) GlobalFree(block);
    return GlobalAlloc(BitmapFlags, bytes);
}

void PrepareNextBitmapBlock(SIZE_T bytes, SIZE_T written) {
    TransferWorker &w = Worker();
    if (w.blockPending || !StartWorker()) return;
    w.blockPending = true;
    Locked locked;
    w.blockBytes = bytes;
    w.touchBytes = written;
    w.blockWanted = true;
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
    if (HGLOBAL block = TakePrepared()) GlobalFree(block);
    TransferWorker &w = Worker();
    w.nativeTransfers = 0;
    if (!w.thread) return;
    AskTransferWorkerToStop();
    WaitForSingleObject(w.thread, INFINITE);
    CloseHandle(w.thread);
    w.thread = nullptr;
}

void DropPreparedBitmapBlock() {
    TransferWorker &w = Worker();
    w.nativeTransfers = 0;
    if (!w.blockPending) return;
    w.blockPending = false;
    HGLOBAL made = nullptr;
    {
        Locked locked;
        if (w.blockReady) {
            made = w.block;
            w.block = nullptr;
            w.blockReady = false;
        } else if (w.blockWanted) {
            w.blockWanted = false;  // not begun
        } else {
            w.blockDropped = 1;
        }
    }
    if (made) GlobalFree(made);
}

void AskTransferWorkerToStop() {
    TransferWorker &w = Worker();
    if (!w.thread) return;
    Locked locked;
    w.stop = true;
    locked.Changed();
}

void ForgetStoppedTransferWorker() {
    TransferWorker &w = Worker();
    if (w.blockReady) GlobalFree(w.block);
    w.block = nullptr;
    w.blockReady = w.blockPending = false;
    w.blockDropped = 0;
    if (w.thread) CloseHandle(w.thread);
    w.thread = nullptr;
}
