// Images as files, through the imaging library: the native bitmap, the memory
// transfer's lines, and files re-encoded. Every layout is read by what the
// source said it is; one this program does not write ends the run with an
// error naming it, never with a wrong picture.
#include "writers/image_output.h"

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "bmp_file.h"
#include "bmp_format.h"
#include "packed_image.h"
#include "readers/checked_size.h"
#include "readers/dib_reader.h"
#include "pixel_kernels.h"

namespace {

bool Write(Session &s, const std::string &path, qximg::PixelLayout layout, uint32_t width,
           uint32_t height, const uint8_t *rows, size_t stride, uint32_t significantBits = 16) {
    std::string error;
    if (qximg::WriteImage(path, s.options.format, layout, width, height, rows, stride, &error,
                          significantBits))
        return true;
    return Fail(s, ExitSourceFailed, "%s", error.c_str());
}

bool WritePacked(Session &s, const std::string &path, const qximg::PackedImage &image) {
    std::string error;
    return qximg::WritePackedImage(path, s.options.format, image, &error) ||
           Fail(s, ExitSourceFailed, "%s", error.c_str());
}

// ---- native bitmaps

// The bitmap's rows, top line first, in what the writers take.
bool WriteDibRows(Session &s, const std::string &path, const uint8_t *block, const dib::Layout &dib) {
    const uint32_t bits = dib.bits, width = dib.width, height = dib.height;
    qximg::PackedImage packed;
    packed.width = width, packed.height = height, packed.bits = bits;
    qximg::PixelLayout layout = bits == 32 ? qximg::PixelLayout::Bgrx32 : qximg::PixelLayout::Bgr24;
    const bool grey = dib::GreyRamp(block, dib, false), reversed = dib::GreyRamp(block, dib, true);
    if (bits <= 8) {
        packed.kind = grey || reversed ? qximg::SampleKind::Grey : qximg::SampleKind::Indexed;
        packed.whiteIsZero = reversed;
        for (uint32_t i = 0; !grey && !reversed && i < (1u << bits); ++i) {
            const dib::Colour c = dib::PaletteColour(block, dib, i);
            packed.palette.push_back({c.r, c.g, c.b});
        }
        layout = qximg::PixelLayout::Gray8;
    }
    const bool usePacked = bits <= 8 && !(grey && bits == 8);  // 8-bit grey goes as it is
    const std::vector<uint8_t> words = bits == 16 ? dib::Rgb16Table(dib) : std::vector<uint8_t>();
    const uint64_t rowBytes = dib::RowBytesOut(dib);
    uint64_t bytes = UINT64_MAX;  // stays past any block when the product overflows
    checked::Multiply(rowBytes, height, &bytes);
    std::vector<uint8_t> rows;
    if (!Allocate(s, &rows, bytes)) return false;
    dib::CopyRows(block, dib, reinterpret_cast<const uint8_t(*)[4]>(words.data()), rows.data());
    if (!usePacked) return Write(s, path, layout, width, height, rows.data(), size_t(rowBytes));
    packed.rows = rows.data();
    packed.stride = size_t(rowBytes);
    return WritePacked(s, path, packed);
}

// The packed bitmap of `size` bytes at `block`, as a file.
bool WriteDibBlock(Session &s, const std::string &path, const uint8_t *block, uint64_t size) {
    dib::Layout dib;
    std::string error;
    if (!dib::Read(block, size, &dib, &error)) return Fail(s, ExitSourceFailed, "%s", error.c_str());
    // A BMP file is the bitmap as it is, behind a file header: written at the disk's speed.
    if (s.options.format == qximg::ImageFormat::Bmp && dib.bits != 16 && dib.bits != 32 &&
        dib.headerBytes == sizeof(BITMAPINFOHEADER))
        return qximg::WriteDibBmp(path, block, size_t(dib.bytes), size_t(dib.pixelOffset), &error) ||
               Fail(s, ExitSourceFailed, "%s", error.c_str());
    return WriteDibRows(s, path, block, dib);
}

// A DIB section, read through GDI into a packed bitmap of our own, top line
// first: GetObject reports a positive height whatever the section's row
// order. Up to 8 bits at its depth with its colours, deeper as 32 bits.
bool ReadDibSection(Session &s, HBITMAP bitmap, const DIBSECTION &section, std::vector<uint8_t> *block) {
    const uint32_t bits = section.dsBmih.biBitCount <= 8 ? section.dsBmih.biBitCount : 32;
    const LONG width = section.dsBm.bmWidth, height = section.dsBm.bmHeight;
    if (width <= 0 || height <= 0)
        return Fail(s, ExitSourceFailed, "the source's DIB section is %ld x %ld pixels", long(width), long(height));
    const uint32_t entries = bits <= 8 ? 1u << bits : 0;
    const uint64_t pixelOffset = sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD);
    uint64_t bytes = UINT64_MAX;  // stays past any block when the sum overflows
    checked::MultiplyAdd(bmp::RowBytesOf(uint32_t(width), bits), uint64_t(height), pixelOffset, &bytes);
    if (!Allocate(s, block, bytes)) return false;
    const BITMAPINFOHEADER header = {sizeof(BITMAPINFOHEADER), width, -height, 1, WORD(bits), BI_RGB, 0, 0, 0,
                                     entries, 0};
    memcpy(block->data(), &header, sizeof header);
    HDC dc = CreateCompatibleDC(nullptr);
    const int lines = GetDIBits(dc, bitmap, 0, UINT(height), block->data() + pixelOffset,
                                reinterpret_cast<BITMAPINFO *>(block->data()), DIB_RGB_COLORS);
    DeleteDC(dc);
    // GDI may rewrite the header's counts; the block holds what was asked for.
    memcpy(block->data(), &header, sizeof header);
    return lines == height || Fail(s, ExitSourceFailed, "GDI read %d of the %ld lines of the source's DIB section",
                                   lines, long(height));
}

}  // namespace

bool Allocate(Session &s, std::vector<uint8_t> *buffer, uint64_t bytes) {
    try {
        // Past what one block can hold, resize throws length_error, not bad_alloc.
        if (bytes > checked::MaxBlock()) throw std::bad_alloc();
        buffer->resize(size_t(bytes));
        return true;
    } catch (const std::bad_alloc &) {
        return FailWithHint(s, ExitSourceFailed, "no memory for " + std::to_string(bytes) + " bytes of a frame",
                            TWCC_LOWMEMORY);
    }
}

void FreeHandedOverBitmap(HANDLE bitmap) {
    if (GlobalSize(bitmap)) GlobalFree(bitmap);
    else if (GetObjectType(bitmap) == OBJ_BITMAP) DeleteObject(bitmap);
}

bool WriteDib(Session &s, const std::string &path, HANDLE bitmap) {
    const SIZE_T size = GlobalSize(bitmap);
    const auto *block = size ? static_cast<const uint8_t *>(GlobalLock(bitmap)) : nullptr;
    if (block) {
        struct Unlock {
            HANDLE block;
            ~Unlock() { GlobalUnlock(block); }
        } unlock{bitmap};
        return WriteDibBlock(s, path, block, size);
    }
    DIBSECTION section = {};
    if (GetObjectType(bitmap) == OBJ_BITMAP && GetObjectA(bitmap, sizeof section, &section) == sizeof section &&
        section.dsBm.bmBits) {
        std::vector<uint8_t> own;
        return ReadDibSection(s, static_cast<HBITMAP>(bitmap), section, &own) &&
               WriteDibBlock(s, path, own.data(), own.size());
    }
    if (GetObjectType(bitmap) == OBJ_BITMAP)
        return Fail(s, ExitSourceFailed, "the source handed over a device-dependent bitmap (HBITMAP), not a DIB");
    return Fail(s, ExitSourceFailed, "the source handed over a handle that is neither global memory nor a bitmap");
}

bool ConvertFile(Session &s, const std::string &from, const std::string &to) {
    qximg::DecodedImage image;
    std::string error;
    if (!qximg::ReadImage(from, &image, &error)) return Fail(s, ExitSourceFailed, "%s", error.c_str());
    std::vector<uint8_t> levels(size_t(image.width) * image.height);
    if (!GreyOfFour(levels.data(), image.bgra.data(), levels.size()))
        return Write(s, to, qximg::PixelLayout::Bgrx32, image.width, image.height, image.bgra.data(),
                     size_t(image.width) * 4);
    return Write(s, to, qximg::PixelLayout::Gray8, image.width, image.height, levels.data(), image.width);
}
