// The next native transfer's bitmap block, made ready ahead of time.
//
// The application frees every bitmap it receives, so each transfer needs a
// block of fresh memory, and touching its pages for the first time costs
// several times a copy of the image. A worker thread of its own allocates and
// touches the next block while the application deals with the last image and
// the board captures the next one; the transfer then only converts.
#pragma once

#include <windows.h>

struct BitmapPreparation {
    HANDLE worker;
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
    bool wanted;   // the worker is to make a block of `bytes`
    bool ready;    // `block` holds what it made
    bool stop;
    SIZE_T bytes;
    HGLOBAL block;
    bool pending;  // a block was asked for and not yet taken (application's thread only)
};

// A GMEM_MOVEABLE | GMEM_ZEROINIT block of exactly `bytes`: the one made ready
// when it has that size, otherwise a new one. nullptr when none can be had.
HGLOBAL AllocateBitmapBlock(SIZE_T bytes);

// Has a block of `bytes` made ready for the next transfer.
void PrepareNextBitmapBlock(SIZE_T bytes);

// Frees a block made ready and not taken, and ends the worker.
void ReleasePreparedBitmapBlock();
