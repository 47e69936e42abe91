// The packed bottom-up DIB a native transfer hands over: where everything
// goes in its global-memory block, and the block with header and palette.
#pragma once

#include <windows.h>

#include <cstdint>

#include "xfer/frame_view.h"

struct NativeBitmapLayout {
    RowConversion conversion;
    uint32_t bitCount;     // biBitCount
    bool greyPalette;      // 256 grey RGBQUADs after the header
    size_t pixelOffset;    // 40, or 1064 after a palette
    size_t rowBytes;       // converted pixels of one row
    size_t rowStride;      // rowBytes padded to the DIB's 4-byte rows
    uint64_t sizeImage;    // biSizeImage
    uint64_t blockBytes;   // whole block; bytes not written stay zero
    uint64_t writtenBytes; // header, palette and converted rows
};

NativeBitmapLayout NativeBitmapLayoutFor(const FrameView &view);

// A new, unlocked GMEM_MOVEABLE | GMEM_ZEROINIT block with header and palette
// written and pixels still zero; nullptr when it cannot be had (after the
// lock-failure box when the block could not be locked).
HGLOBAL BuildNativeBitmap(const NativeBitmapLayout &layout, const FrameGeometry &frame);
