#include "xfer/native_bitmap.h"
#include "xfer/transfer_worker.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "bmp_format.h"
#include "cap/containers.h"
#include "ds/errors.h"

namespace {

constexpr size_t HEADER_BYTES = sizeof(BITMAPINFOHEADER);
constexpr size_t PALETTE_ENTRIES = 256;
constexpr size_t PALETTE_BYTES = PALETTE_ENTRIES * sizeof(RGBQUAD);
static_assert(HEADER_BYTES == 40 && PALETTE_BYTES == bmp::PaletteBytes);

constexpr const char *LockFailedText = "Unable to lock global memory in EnableDS";

size_t ConvertedRowBytes(RowConversion conversion, const FrameGeometry &frame) {
    switch (conversion) {
    case RowConversion::ShiftToByte: return frame.width;
    case RowConversion::DropFourth: return size_t(frame.width) * 3;
    case RowConversion::Copy: break;
    }
    return size_t(frame.width) * frame.bytesPerPixel;
}

// biSizeImage of rows that need no padding, from a board whose lines have none.
uint64_t PackedSizeImage(const FrameGeometry &frame) {
    if (frame.bitDepth == 32) return uint64_t(frame.height) * frame.width * 3;
    if (IsNativeByteGrey(frame.bitDepth)) return frame.imageBytes / 2;
    return frame.imageBytes;
}

}  // namespace

NativeBitmapLayout NativeBitmapLayoutFor(const FrameView &view) {
    const FrameGeometry &frame = view.frame();
    NativeBitmapLayout layout{};
    layout.conversion = NativeRowConversion(frame);
    layout.bitCount = NativeBitCount(frame.bitDepth);
    layout.greyPalette = IsGreyDepth(frame.bitDepth);
    layout.pixelOffset = HEADER_BYTES + (layout.greyPalette ? PALETTE_BYTES : 0);
    layout.rowBytes = ConvertedRowBytes(layout.conversion, frame);
    layout.rowStride = (layout.rowBytes + 3) & ~size_t(3);
    uint64_t paddedPixels = uint64_t(layout.rowStride) * frame.height;
    // The board's image size counts the padding of its lines, which the rows drop.
    bool padded = layout.rowStride != layout.rowBytes || !view.packed();
    layout.sizeImage = padded ? paddedPixels : PackedSizeImage(frame);
    // The block holds a whole image size of pixels even when conversion shrank it.
    layout.blockBytes = layout.pixelOffset + std::max<uint64_t>(frame.imageBytes, paddedPixels);
    layout.writtenBytes = layout.pixelOffset + paddedPixels;
    return layout;
}

HGLOBAL BuildNativeBitmap(const NativeBitmapLayout &layout, const FrameGeometry &frame) {
    if (layout.sizeImage > std::numeric_limits<DWORD>::max()) return nullptr;
    HGLOBAL block = AllocateBitmapBlock(static_cast<SIZE_T>(layout.blockBytes));
    if (!block) return nullptr;
    {
        LockedGlobal bitmap(block);
        if (!bitmap) {
            ShowQuorvexError(LockFailedText);
            GlobalFree(block);
            return nullptr;
        }
        if (layout.greyPalette)
            memcpy(bitmap.data() + HEADER_BYTES, bmp::GreyPalette.data(), PALETTE_BYTES);
        BITMAPINFOHEADER header{};
        header.biSize = HEADER_BYTES;
        header.biWidth = static_cast<LONG>(frame.width);
        header.biHeight = static_cast<LONG>(frame.height);
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(layout.bitCount);
        header.biCompression = BI_RGB;
        header.biSizeImage = static_cast<DWORD>(layout.sizeImage);
        memcpy(bitmap.data(), &header, HEADER_BYTES);
    }
    return block;
}
