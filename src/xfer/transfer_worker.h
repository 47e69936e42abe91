// A worker thread that shares the transfers' work with the application's
// thread while the source is enabled.
//
// It makes the next native transfer's bitmap block ready ahead of time: the
// application frees every bitmap it receives, so each transfer needs a block
// of fresh memory, and touching its pages for the first time costs several
// times a copy of the image. The worker allocates and touches the next block
// while the application deals with the last image and the board captures the
// next one; a transfer with no block made ready asks for its own while the
// board captures its frame.
//
// It also converts half of a frame's rows while the application's thread
// converts the other half, unless it is making a block.
#pragma once

#include <windows.h>

#include <cstdint>

// Converts rows [first, end) of a frame described by context.
typedef void (*RowRange)(uint32_t first, uint32_t end, const void *context);

// Where the next native transfer's bitmap block is.
enum class BlockState {
    None,       // none asked for, none held
    Wanted,     // asked for; the worker has not begun it
    BeingMade,  // the worker allocates it and brings its pages in
    Ready,      // made and not yet taken
    Dropped,    // no longer wanted while being made: the worker frees it when done
};

// `thread` and `nativeTransfers` belong to the application's thread; every
// other field is read and written under `lock` only.
struct TransferWorker {
    HANDLE thread;
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
    bool stop;
    // The next bitmap block: `blockBytes` long, its first `touchBytes` brought
    // in; `block` holds it once Ready.
    BlockState blockState;
    SIZE_T blockBytes;
    SIZE_T touchBytes;
    HGLOBAL block;
    // Native transfers since the last enable.
    uint32_t nativeTransfers;
    // Rows [rowsFirst, rowsEnd) are to be converted by `rows`; cleared when done.
    RowRange rows;
    const void *rowsContext;
    uint32_t rowsFirst;
    uint32_t rowsEnd;
};

// A GMEM_MOVEABLE | GMEM_ZEROINIT block of exactly `bytes`: the one made ready
// when it was asked for with that size, otherwise a new one (one of another
// size is dropped, not waited for). nullptr when none can be had.
HGLOBAL AllocateBitmapBlock(SIZE_T bytes);

// Has a block of `bytes` made ready for the next transfer, the pages of its
// first `written` bytes brought in: the rest stay zero pages that nobody
// needs to touch. One asked for with another size is dropped first.
void PrepareNextBitmapBlock(SIZE_T bytes, SIZE_T written);

// After a native transfer: the same for the transfer after it, once the
// application has made more than one in this enable. One that disables after
// every transfer would only have the block dropped, and its making would take
// the processor from the disable and the application.
void PrepareFollowingBitmapBlock(SIZE_T bytes, SIZE_T written);

// Runs convert over rows [0, rows): the worker takes the second half when it
// is free, this thread the first; returns when all are done.
void ConvertRows(uint32_t rows, RowRange convert, const void *context);

// Drops the block as DropPreparedBitmapBlock does, and ends the worker, which
// stops bringing in the pages of a block it was making.
void StopTransferWorker();

// At disable: gives up a block made ready or being made without waiting for
// it: one already made is freed at once, one being made by the worker when
// its making ends (it stops bringing pages in). The worker stays for the next
// enable's transfers.
void DropPreparedBitmapBlock();

// For the module's unload, where the worker cannot be waited for: drops the
// block and asks the worker to end; once it no longer runs the module's code,
// lets go of it.
void AskTransferWorkerToStop();
void ForgetStoppedTransferWorker();
