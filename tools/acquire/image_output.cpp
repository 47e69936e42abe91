// Images as files, through the imaging library: the native
// bitmap, the memory transfer's strips, and files re-encoded.
#include <cstdio>
#include <cstring>
#include <vector>

#include "acquire.h"
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

// Deep grey: --bits says how many bits are significant; without it a 16-bit
// file keeps the samples as they are and an 8-bit one takes the frame's own.
bool WriteDeepGrey(Session &s, const std::string &path, const std::vector<uint8_t> &image,
                   uint32_t bytesPerRow, uint32_t columns, uint32_t rows, std::string *note) {
    uint32_t bits = s.options.bits;
    char text[96] = "";
    if (!bits && qximg::KeepsGrey16(s.options.format)) {
        bits = 16;
    } else if (!bits) {
        bits = qximg::Grey16SignificantBits(image.data(), columns, rows, bytesPerRow);
        snprintf(text, sizeof text, " (16-bit samples reduced to 8 bits by their %u significant bits)",
                 bits);
    }
    *note = text;
    return Write(s, path, qximg::PixelLayout::Gray16, columns, rows, image.data(), bytesPerRow, bits);
}

bool GreyPalette(const RGBQUAD *palette, uint32_t entries) {
    for (uint32_t i = 0; i < entries; ++i)
        if (palette[i].rgbRed != i || palette[i].rgbGreen != i || palette[i].rgbBlue != i)
            return false;
    return true;
}

}  // namespace

bool WriteDib(Session &s, const std::string &path, HGLOBAL dib) {
    SIZE_T size = GlobalSize(dib);
    auto *header = static_cast<const BITMAPINFOHEADER *>(GlobalLock(dib));
    if (!header) return Fail(s, ExitSourceFailed, "the bitmap cannot be locked");
    struct Unlock {
        HGLOBAL dib;
        ~Unlock() { GlobalUnlock(dib); }
    } unlock{dib};
    if (size < sizeof *header || header->biSize < sizeof *header || header->biWidth <= 0 ||
        header->biHeight == 0 || header->biCompression != BI_RGB)
        return Fail(s, ExitSourceFailed, "the source's bitmap has a header this program cannot read");
    uint32_t width = header->biWidth;
    uint32_t height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    uint32_t bits = header->biBitCount;
    uint32_t paletteEntries = bits <= 8 ? (header->biClrUsed ? header->biClrUsed : 1u << bits) : 0;
    auto *palette = reinterpret_cast<const RGBQUAD *>(reinterpret_cast<const uint8_t *>(header) +
                                                      header->biSize);
    const uint8_t *pixels = reinterpret_cast<const uint8_t *>(palette + paletteEntries);
    size_t stride = (size_t(width) * bits + 31) / 32 * 4;
    size_t offset = pixels - reinterpret_cast<const uint8_t *>(header);
    if (offset + stride * height > size)
        return Fail(s, ExitSourceFailed, "the source's bitmap is shorter than its header says");
    // A BMP file is the bitmap as it is, behind a file header: written at the disk's speed.
    std::string error;
    if (s.options.format == qximg::ImageFormat::Bmp && (bits == 8 || bits == 24))
        return qximg::WriteDibBmp(path, header, offset + stride * height, offset, &error) ||
               Fail(s, ExitSourceFailed, "%s", error.c_str());

    qximg::PixelLayout layout;
    size_t outBytes;
    if (bits == 8 && GreyPalette(palette, paletteEntries)) {
        layout = qximg::PixelLayout::Gray8;
        outBytes = 1;
    } else if (bits == 8 || bits == 24) {
        layout = qximg::PixelLayout::Bgr24;
        outBytes = 3;
    } else if (bits == 32) {
        layout = qximg::PixelLayout::Bgrx32;
        outBytes = 4;
    } else {
        return Fail(s, ExitSourceFailed, "bitmaps of %u bits a pixel are not written", bits);
    }

    // Top line first, as the encoder takes it; a coloured palette is expanded
    // (an index past its end takes its first entry).
    uint8_t colours[256][4] = {};
    for (uint32_t i = 0; i < 256 && paletteEntries; ++i)
        memcpy(colours[i], &palette[i < paletteEntries ? i : 0], 4);
    const bool expand = bits == 8 && layout != qximg::PixelLayout::Gray8;
    size_t outStride = width * outBytes;
    std::vector<uint8_t> rows(outStride * height);
    for (uint32_t y = 0; y < height; ++y) {
        uint32_t from = header->biHeight > 0 ? height - 1 - y : y;
        const uint8_t *in = pixels + from * stride;
        uint8_t *out = rows.data() + y * outStride;
        if (expand) LookUpPixels(out, in, width, colours, 3);
        else memcpy(out, in, outStride);
    }
    return Write(s, path, layout, width, height, rows.data(), outStride);
}

bool WriteStrips(Session &s, const std::string &path, const std::vector<uint8_t> &image,
                 uint32_t bytesPerRow, uint32_t columns, uint32_t rows, uint32_t bitsPerPixel,
                 std::string *note) {
    uint32_t pixelBytes = bytesPerRow / columns;
    if (image.size() < size_t(bytesPerRow) * rows)
        return Fail(s, ExitSourceFailed, "the strips did not cover the image");
    if (pixelBytes == 1) return Write(s, path, qximg::PixelLayout::Gray8, columns, rows, image.data(), bytesPerRow);
    if (pixelBytes == 2) return WriteDeepGrey(s, path, image, bytesPerRow, columns, rows, note);
    if (pixelBytes != 3 && pixelBytes != 4)
        return Fail(s, ExitSourceFailed, "strips of %u bits a pixel are not written", bitsPerPixel);
    // TWAIN strips carry R, G, B; the encoder takes B, G, R.
    std::vector<uint8_t> bgr(size_t(columns) * rows * 3);
    const auto toBgr = pixelBytes == 3 ? SwapFirstAndThird : DropFourthAndSwap;
    for (uint32_t y = 0; y < rows; ++y)
        toBgr(bgr.data() + size_t(y) * columns * 3, image.data() + size_t(y) * bytesPerRow, columns);
    return Write(s, path, qximg::PixelLayout::Bgr24, columns, rows, bgr.data(), size_t(columns) * 3);
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
