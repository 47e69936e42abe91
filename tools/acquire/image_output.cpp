// Images as files, through the imaging library: the native bitmap, the memory
// transfer's lines, and files re-encoded. Every layout is read by what the
// source said it is; one this program does not write ends the run with an
// error naming it, never with a wrong picture.
#include "image_output.h"

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "bmp_file.h"
#include "grey16.h"
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

// Deep grey: --bits says how many bits are significant; without it a 16-bit
// file keeps the samples as they are and an 8-bit one takes the frame's own.
bool WriteDeepGrey(Session &s, const std::string &path, const uint8_t *lines, uint32_t columns,
                   uint32_t rows, size_t stride, std::string *note) {
    uint32_t bits = s.options.bits;
    char text[96] = "";
    if (!bits && qximg::KeepsGrey16(s.options.format)) {
        bits = 16;
    } else if (!bits) {
        bits = qximg::Grey16SignificantBits(lines, columns, rows, stride);
        snprintf(text, sizeof text, " (16-bit samples reduced to 8 bits by their %u significant bits)",
                 bits);
    }
    *note = text;
    return Write(s, path, qximg::PixelLayout::Gray16, columns, rows, lines, stride, bits);
}

// ---- native bitmaps

// A bitmap as found: its header, palette, masks and rows, each checked to
// lie inside the memory it came in.
struct DibView {
    BITMAPINFOHEADER header = {};
    const RGBQUAD *palette = nullptr;
    uint32_t entries = 0;
    DWORD masks[3] = {};
    const uint8_t *pixels = nullptr;
    uint32_t width = 0, height = 0;
    size_t stride = 0;
    bool bottomUp = true;
    uint64_t bytes = 0;        // header to the last row, for a packed bitmap
    uint64_t pixelOffset = 0;  // from the header
};

const char *CompressionName(DWORD compression) {
    switch (compression) {
    case BI_RLE8: return "BI_RLE8";
    case BI_RLE4: return "BI_RLE4";
    case BI_JPEG: return "BI_JPEG";
    case BI_PNG: return "BI_PNG";
    default: return "an unknown compression";
    }
}

// The header's sizes and counts, checked against `available` bytes (from the
// header's start) before anything behind the header is read.
bool CheckDibHeader(Session &s, DibView *dib, uint64_t available) {
    const BITMAPINFOHEADER &h = dib->header;
    const uint32_t bits = h.biBitCount;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == LONG(0x80000000))
        return Fail(s, ExitSourceFailed, "the source's bitmap is %ld x %ld pixels", long(h.biWidth),
                    long(h.biHeight));
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return Fail(s, ExitSourceFailed, "bitmaps of %u bits a pixel are not written", bits);
    const bool fields = h.biCompression == BI_BITFIELDS;
    if (h.biCompression != BI_RGB && !(fields && (bits == 16 || bits == 32)))
        return Fail(s, ExitSourceFailed, "bitmaps compressed by %s (%lu) are not written",
                    CompressionName(h.biCompression), static_cast<unsigned long>(h.biCompression));
    if (bits <= 8 && h.biClrUsed > (1u << bits))
        return Fail(s, ExitSourceFailed, "the source's %u-bit bitmap claims %lu colours", bits,
                    static_cast<unsigned long>(h.biClrUsed));
    dib->width = uint32_t(h.biWidth);
    dib->bottomUp = h.biHeight > 0;
    dib->height = dib->bottomUp ? uint32_t(h.biHeight) : uint32_t(-int64_t(h.biHeight));
    dib->entries = bits <= 8 ? (h.biClrUsed ? h.biClrUsed : 1u << bits) : h.biClrUsed;
    // The masks of BI_BITFIELDS follow a 40-byte header; longer headers hold them.
    const uint64_t masksBytes = fields && h.biSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
    dib->pixelOffset = uint64_t(h.biSize) + masksBytes + uint64_t(dib->entries) * 4;
    const uint64_t stride = (uint64_t(dib->width) * bits + 31) / 32 * 4;
    dib->bytes = dib->pixelOffset + stride * dib->height;
    if (dib->bytes > available)
        return Fail(s, ExitSourceFailed,
                    "the source's bitmap does not fit its memory: its header says %llu bytes (%lu "
                    "header, %u colours, %u x %u pixels of %u bits), the memory holds %llu",
                    static_cast<unsigned long long>(dib->bytes), static_cast<unsigned long>(h.biSize),
                    dib->entries, dib->width, dib->height, bits, static_cast<unsigned long long>(available));
    dib->stride = size_t(stride);
    return true;
}

// A packed bitmap in global memory, locked for as long as it is read.
bool ViewPackedDib(Session &s, const uint8_t *block, SIZE_T size, DibView *dib) {
    if (size < sizeof(BITMAPINFOHEADER))
        return Fail(s, ExitSourceFailed, "the source's bitmap is %llu bytes: no room for its header",
                    static_cast<unsigned long long>(size));
    memcpy(&dib->header, block, sizeof dib->header);
    if (dib->header.biSize < sizeof(BITMAPINFOHEADER) || dib->header.biSize > size)
        return Fail(s, ExitSourceFailed, "the source's bitmap has a header of %lu bytes in %llu",
                    static_cast<unsigned long>(dib->header.biSize), static_cast<unsigned long long>(size));
    if (!CheckDibHeader(s, dib, size)) return false;
    if (dib->header.biCompression == BI_BITFIELDS) memcpy(dib->masks, block + sizeof(BITMAPINFOHEADER), 12);
    dib->palette = reinterpret_cast<const RGBQUAD *>(block + dib->pixelOffset - uint64_t(dib->entries) * 4);
    dib->pixels = block + dib->pixelOffset;
    return true;
}

// A DIB section: its rows at dsBm.bmBits, its colours from a memory DC.
bool ViewDibSection(Session &s, HBITMAP bitmap, const DIBSECTION &section, std::vector<RGBQUAD> *colours,
                    DibView *dib) {
    dib->header = section.dsBmih;
    dib->header.biSize = sizeof(BITMAPINFOHEADER);
    dib->header.biClrUsed = 0;
    if (!CheckDibHeader(s, dib, UINT64_MAX)) return false;
    if (uint64_t(section.dsBm.bmWidthBytes) != dib->stride || uint32_t(section.dsBm.bmHeight) != dib->height)
        return Fail(s, ExitSourceFailed, "the source's DIB section has rows of %ld bytes, not %llu",
                    long(section.dsBm.bmWidthBytes), static_cast<unsigned long long>(dib->stride));
    memcpy(dib->masks, section.dsBitfields, sizeof dib->masks);
    colours->assign(256, RGBQUAD{});
    if (dib->header.biBitCount <= 8) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        dib->entries = GetDIBColorTable(dc, 0, 1u << dib->header.biBitCount, colours->data());
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    dib->palette = colours->data();
    dib->pixels = static_cast<const uint8_t *>(section.dsBm.bmBits);
    return true;
}

// Whether entry i of the palette is the level i of `bits`-bit grey (reversed:
// of 0 as white), every entry there.
bool GreyRamp(const DibView &dib, bool reversed) {
    const uint32_t bits = dib.header.biBitCount, top = (1u << bits) - 1;
    if (dib.entries != top + 1) return false;
    for (uint32_t i = 0; i <= top; ++i) {
        const RGBQUAD &c = dib.palette[i];
        const uint32_t level = (reversed ? top - i : i) * 255 / top;
        if (c.rgbRed != level || c.rgbGreen != level || c.rgbBlue != level) return false;
    }
    return true;
}

// The 8-bit B, G, R of every 16-bit pixel under the masks (5-5-5 without
// BI_BITFIELDS), each channel widened by repeating its bits.
// The lowest set bit of a mask that is not 0.
unsigned LowestBit(DWORD mask) {
    unsigned at = 0;
    while (!(mask >> at & 1)) ++at;
    return at;
}

bool Rgb16Table(Session &s, const DibView &dib, std::vector<uint8_t> *table) {
    const bool fields = dib.header.biCompression == BI_BITFIELDS;
    const DWORD masks[3] = {fields ? dib.masks[2] : 0x001Fu, fields ? dib.masks[1] : 0x03E0u,
                            fields ? dib.masks[0] : 0x7C00u};  // B, G, R
    unsigned shift[3], width[3];
    for (int k = 0; k < 3; ++k) {
        const DWORD m = masks[k];
        shift[k] = m ? LowestBit(m) : 0;
        const DWORD run = m >> shift[k];  // contiguous: one run of ones
        if (!m || m > 0xFFFF || (run & (run + 1)))
            return Fail(s, ExitSourceFailed, "16-bit bitmaps with the masks %04lX %04lX %04lX are not written",
                        static_cast<unsigned long>(dib.masks[0]), static_cast<unsigned long>(dib.masks[1]),
                        static_cast<unsigned long>(dib.masks[2]));
        width[k] = 0;
        while (run >> width[k]) ++width[k];
    }
    table->resize(65536 * 4);
    for (uint32_t word = 0; word < 65536; ++word)
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = (word & masks[k]) >> shift[k], w = width[k];
            uint32_t out = 0;
            for (int at = 8 - int(w); at > -int(w); at -= int(w)) out |= at >= 0 ? v << at : v >> -at;
            (*table)[word * 4 + k] = uint8_t(out);
        }
    return true;
}

// The bitmap's rows, top line first, in what the writers take.
bool WriteDibRows(Session &s, const std::string &path, const DibView &dib) {
    const uint32_t bits = dib.header.biBitCount, width = dib.width, height = dib.height;
    qximg::PackedImage packed;
    packed.width = width, packed.height = height, packed.bits = bits;
    qximg::PixelLayout layout = qximg::PixelLayout::Bgr24;
    std::vector<uint8_t> words;
    bool usePacked = false;
    size_t outStride = size_t(width) * 3;
    if (bits <= 8) {
        const bool grey = GreyRamp(dib, false), reversed = GreyRamp(dib, true);
        packed.kind = grey || reversed ? qximg::SampleKind::Grey : qximg::SampleKind::Indexed;
        packed.whiteIsZero = reversed;
        // An index past the palette's end takes its first entry.
        for (uint32_t i = 0; !grey && !reversed && i < (1u << bits); ++i) {
            const RGBQUAD &c = dib.palette[i < dib.entries ? i : 0];
            packed.palette.push_back({c.rgbRed, c.rgbGreen, c.rgbBlue});
        }
        usePacked = !(grey && bits == 8);  // 8-bit grey goes as it is
        layout = qximg::PixelLayout::Gray8;
        outStride = qximg::PackedRowBytes(packed);
    } else if (bits == 16) {
        if (!Rgb16Table(s, dib, &words)) return false;
    } else if (bits == 32) {
        const bool standard = dib.header.biCompression == BI_RGB ||
                              (dib.masks[0] == 0xFF0000 && dib.masks[1] == 0xFF00 && dib.masks[2] == 0xFF);
        if (!standard)
            return Fail(s, ExitSourceFailed, "32-bit bitmaps with the masks %06lX %06lX %06lX are not written",
                        static_cast<unsigned long>(dib.masks[0]), static_cast<unsigned long>(dib.masks[1]),
                        static_cast<unsigned long>(dib.masks[2]));
        layout = qximg::PixelLayout::Bgrx32;
        outStride = size_t(width) * 4;
    }
    std::vector<uint8_t> rows;
    if (!Allocate(s, &rows, uint64_t(outStride) * height)) return false;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t *in = dib.pixels + size_t(dib.bottomUp ? height - 1 - y : y) * dib.stride;
        uint8_t *out = rows.data() + size_t(y) * outStride;
        if (bits == 16) LookUpWords(out, in, width, reinterpret_cast<const uint8_t(*)[4]>(words.data()), 3);
        else memcpy(out, in, outStride);
    }
    if (!usePacked) return Write(s, path, layout, width, height, rows.data(), outStride);
    packed.rows = rows.data();
    packed.stride = outStride;
    return WritePacked(s, path, packed);
}

}  // namespace

bool Allocate(Session &s, std::vector<uint8_t> *buffer, uint64_t bytes) {
    try {
        if (bytes > SIZE_MAX) throw std::bad_alloc();
        buffer->resize(size_t(bytes));
        return true;
    } catch (const std::bad_alloc &) {
        return FailWithHint(s, ExitSourceFailed, "no memory for " + std::to_string(bytes) + " bytes of a frame",
                            TWCC_LOWMEMORY);
    }
}

bool WriteStrips(Session &s, const std::string &path, const uint8_t *lines, const StripLayout &layout,
                 std::string *note) {
    const uint32_t columns = layout.width, rows = layout.height;
    const size_t stride = size_t(layout.lineBytes);
    qximg::PackedImage packed;
    packed.width = columns, packed.height = rows, packed.rows = lines, packed.stride = stride;
    packed.bits = layout.bitsPerPixel;
    switch (layout.samples) {
    case StripSamples::Grey16:
        if (layout.whiteIsZero)
            return Fail(s, ExitSourceFailed, "deep grey of TWPF_VANILLA (0 is white) is not written");
        return WriteDeepGrey(s, path, lines, columns, rows, stride, note);
    case StripSamples::Grey8:
        if (!layout.whiteIsZero) return Write(s, path, qximg::PixelLayout::Gray8, columns, rows, lines, stride);
        [[fallthrough]];
    case StripSamples::Bilevel:
    case StripSamples::Grey4:
        packed.whiteIsZero = layout.whiteIsZero;
        return WritePacked(s, path, packed);
    case StripSamples::Palette:
        packed.kind = qximg::SampleKind::Indexed;
        packed.palette = layout.palette;
        return WritePacked(s, path, packed);
    case StripSamples::Rgb48:
        packed.kind = qximg::SampleKind::Rgb;
        packed.bits = 16;
        return WritePacked(s, path, packed);
    case StripSamples::Rgb24:
    case StripSamples::Rgbx32: break;
    }
    // TWAIN strips carry R, G, B; the encoder takes B, G, R.
    std::vector<uint8_t> bgr;
    if (!Allocate(s, &bgr, uint64_t(columns) * rows * 3)) return false;
    const auto toBgr = layout.samples == StripSamples::Rgb24 ? SwapFirstAndThird : DropFourthAndSwap;
    for (uint32_t y = 0; y < rows; ++y) toBgr(bgr.data() + size_t(y) * columns * 3, lines + y * stride, columns);
    return Write(s, path, qximg::PixelLayout::Bgr24, columns, rows, bgr.data(), size_t(columns) * 3);
}

void FreeHandedOverBitmap(HANDLE bitmap) {
    if (GlobalSize(bitmap)) GlobalFree(bitmap);
    else if (GetObjectType(bitmap) == OBJ_BITMAP) DeleteObject(bitmap);
}

bool WriteDib(Session &s, const std::string &path, HANDLE bitmap) {
    DibView dib;
    const SIZE_T size = GlobalSize(bitmap);
    const auto *block = size ? static_cast<const uint8_t *>(GlobalLock(bitmap)) : nullptr;
    if (block) {
        struct Unlock {
            HANDLE block;
            ~Unlock() { GlobalUnlock(block); }
        } unlock{bitmap};
        if (!ViewPackedDib(s, block, size, &dib)) return false;
        const uint32_t bits = dib.header.biBitCount;
        // A BMP file is the bitmap as it is, behind a file header: written at the disk's speed.
        std::string error;
        if (s.options.format == qximg::ImageFormat::Bmp && bits != 16 && bits != 32 &&
            dib.header.biSize == sizeof(BITMAPINFOHEADER))
            return qximg::WriteDibBmp(path, block, size_t(dib.bytes), size_t(dib.pixelOffset), &error) ||
                   Fail(s, ExitSourceFailed, "%s", error.c_str());
        return WriteDibRows(s, path, dib);
    }
    DIBSECTION section = {};
    if (GetObjectType(bitmap) == OBJ_BITMAP && GetObjectA(bitmap, sizeof section, &section) == sizeof section &&
        section.dsBm.bmBits) {
        std::vector<RGBQUAD> colours;
        return ViewDibSection(s, static_cast<HBITMAP>(bitmap), section, &colours, &dib) && WriteDibRows(s, path, dib);
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
