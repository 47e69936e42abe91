#include "xfer/bitmap_preparation.h"

#include <cstdint>

#include "ds/source_context.h"
#include "ui/threads.h"

namespace {

constexpr UINT BitmapFlags = GMEM_MOVEABLE | GMEM_ZEROINIT;

BitmapPreparation &Preparation() { return g_source.nextBitmap; }

constexpr SIZE_T PageBytes = 4096;

// Allocates the block and writes a zero into each of its pages, which keeps
// it zero-initialised and brings every page in.
HGLOBAL AllocateTouched(SIZE_T bytes) {
    HGLOBAL block = GlobalAlloc(BitmapFlags, bytes);
    if (!block) return nullptr;
    if (auto *pages = static_cast<volatile uint8_t *>(GlobalLock(block))) {
        for (SIZE_T offset = 0; offset < bytes; offset += PageBytes) pages[offset] = 0;
        GlobalUnlock(block);
    }
    return block;
}

unsigned __stdcall PrepareBlocks(void *) {
    BitmapPreparation &p = Preparation();
    AcquireSRWLockExclusive(&p.lock);
    for (;;) {
        while (!p.wanted && !p.stop) SleepConditionVariableSRW(&p.changed, &p.lock, INFINITE, 0);
        if (p.stop) break;
        p.wanted = false;
        SIZE_T bytes = p.bytes;
        ReleaseSRWLockExclusive(&p.lock);
        HGLOBAL block = AllocateTouched(bytes);
        AcquireSRWLockExclusive(&p.lock);
        p.block = block;
        p.ready = true;
        WakeAllConditionVariable(&p.changed);
    }
    ReleaseSRWLockExclusive(&p.lock);
    return 0;
}

bool StartWorker() {
    BitmapPreparation &p = Preparation();
    if (p.worker) return true;
    InitializeSRWLock(&p.lock);
    InitializeConditionVariable(&p.changed);
    p.wanted = p.ready = p.stop = false;
    p.worker = StartThread(PrepareBlocks, nullptr);
    return p.worker != nullptr;
}

// The block asked for last, once the worker has made it (nullptr if none).
HGLOBAL TakePrepared() {
    BitmapPreparation &p = Preparation();
    if (!p.pending) return nullptr;
    p.pending = false;
    AcquireSRWLockExclusive(&p.lock);
    while (!p.ready) SleepConditionVariableSRW(&p.changed, &p.lock, INFINITE, 0);
    HGLOBAL block = p.block;
    p.block = nullptr;
    p.ready = false;
    ReleaseSRWLockExclusive(&p.lock);
    return block;
}

}  // namespace

HGLOBAL AllocateBitmapBlock(SIZE_T bytes) {
    HGLOBAL block = TakePrepared();
    if (block && GlobalSize(block) == bytes) return block;
    if (block) GlobalFree(block);
    return GlobalAlloc(BitmapFlags, bytes);
}

void PrepareNextBitmapBlock(SIZE_T bytes) {
    BitmapPreparation &p = Preparation();
    if (p.pending || !StartWorker()) return;
    p.pending = true;
    AcquireSRWLockExclusive(&p.lock);
    p.bytes = bytes;
    p.wanted = true;
    WakeAllConditionVariable(&p.changed);
    ReleaseSRWLockExclusive(&p.lock);
}

void ReleasePreparedBitmapBlock() {
    if (HGLOBAL block = TakePrepared()) GlobalFree(block);
    BitmapPreparation &p = Preparation();
    if (!p.worker) return;
    AcquireSRWLockExclusive(&p.lock);
    p.stop = true;
    WakeAllConditionVariable(&p.changed);
    ReleaseSRWLockExclusive(&p.lock);
    WaitForSingleObject(p.worker, INFINITE);
    CloseHandle(p.worker);
    p.worker = nullptr;
}
