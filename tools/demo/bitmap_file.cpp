// .bmp files: a BITMAPFILEHEADER in front of a packed DIB, or rows made
// into one; and reading a header back to show what was written.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "demo.h"

namespace {

uint32_t Stride(uint32_t width, uint32_t bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

bool WriteParts(const std::string &path,
                std::initializer_list<std::pair<const void *, size_t>> parts) {
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return Fail("cannot create %s", path.c_str());
    bool ok = true;
    for (const auto &part : parts)
        if (part.second && fwrite(part.first, 1, part.second, file) != part.second) ok = false;
    if (fclose(file) != 0) ok = false;
    if (!ok) return Fail("cannot write %s", path.c_str());
    return true;
}

BITMAPFILEHEADER FileHeader(size_t headerAndPalette, size_t pixels) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = static_cast<DWORD>(sizeof file + headerAndPalette);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels);
    return file;
}

}  // namespace

bool WriteDibFile(const std::string &path, HGLOBAL dib) {
    size_t blockSize = GlobalSize(dib);
    auto *block = static_cast<const uint8_t *>(GlobalLock(dib));
    if (!block) return Fail("cannot lock the bitmap");
    BITMAPINFOHEADER header = {};
    if (blockSize >= sizeof header) memcpy(&header, block, sizeof header);
    uint32_t rows = static_cast<uint32_t>(abs(header.biHeight));
    if (header.biSize < sizeof header || header.biWidth <= 0 || rows == 0 || header.biPlanes != 1 ||
        header.biCompression != BI_RGB) {
        GlobalUnlock(dib);
        return Fail("the bitmap's header is not a plain DIB header");
    }
    uint32_t colors = header.biClrUsed ? header.biClrUsed
                                       : (header.biBitCount <= 8 ? 1u << header.biBitCount : 0);
    size_t pixelsAt = header.biSize + colors * 4;
    uint32_t width = static_cast<uint32_t>(header.biWidth);
    uint32_t rowBytes = (width * header.biBitCount + 7) / 8,
             stride = Stride(width, header.biBitCount);
    size_t imageBytes = header.biSizeImage ? header.biSizeImage : size_t(stride) * rows;
    printf("      DIB: %ld x %ld, %u bits, %u palette entries, %zu pixel bytes\n", header.biWidth,
           header.biHeight, header.biBitCount, colors, imageBytes);
    if (pixelsAt + imageBytes > blockSize) {
        GlobalUnlock(dib);
        return Fail("the bitmap block (%zu bytes) is smaller than its header says", blockSize);
    }
    const uint8_t *pixels = block + pixelsAt;
    std::vector<uint8_t> padded;
    if (rowBytes != stride && imageBytes == size_t(rowBytes) * rows) {
        // Rows stored back to back: a .bmp wants each row padded to 4 bytes.
        padded.assign(size_t(stride) * rows, 0);
        for (uint32_t y = 0; y < rows; ++y)
            memcpy(&padded[size_t(y) * stride], pixels + size_t(y) * rowBytes, rowBytes);
        pixels = padded.data();
        imageBytes = padded.size();
        header.biSizeImage = static_cast<DWORD>(imageBytes);
        printf("      rows padded to %u bytes for the file\n", stride);
    }
    BITMAPFILEHEADER file = FileHeader(pixelsAt, imageBytes);
    bool written = WriteParts(path, {{&file, sizeof file},
                                     {&header, sizeof header},
                                     {block + sizeof header, pixelsAt - sizeof header},
                                     {pixels, imageBytes}});
    GlobalUnlock(dib);
    return written;
}

bool WriteBmpFile(const std::string &path, uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                  const uint8_t *rows, size_t rowBytes) {
    uint32_t stride = Stride(width, bitsPerPixel);
    std::vector<RGBQUAD> palette(bitsPerPixel == 8 ? 256 : 0);
    for (size_t i = 0; i < palette.size(); ++i) {
        BYTE level = static_cast<BYTE>(i);
        palette[i] = {level, level, level, 0};
    }
    std::vector<uint8_t> pixels(size_t(stride) * height, 0);
    size_t used = size_t(width) * bitsPerPixel / 8;
    for (uint32_t y = 0; y < height; ++y)  // bottom-up
        memcpy(&pixels[size_t(height - 1 - y) * stride], rows + y * rowBytes, used);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = static_cast<LONG>(width);
    header.biHeight = static_cast<LONG>(height);
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitsPerPixel);
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixels.size());
    size_t paletteBytes = palette.size() * sizeof(RGBQUAD);
    BITMAPFILEHEADER file = FileHeader(sizeof header + paletteBytes, pixels.size());
    return WriteParts(path, {{&file, sizeof file},
                             {&header, sizeof header},
                             {palette.data(), paletteBytes},
                             {pixels.data(), pixels.size()}});
}

bool CheckBmpFile(const std::string &path) {
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return Fail("%s was not written", path.c_str());
    BITMAPFILEHEADER head = {};
    BITMAPINFOHEADER info = {};
    bool read = fread(&head, sizeof head, 1, file) == 1 && fread(&info, sizeof info, 1, file) == 1;
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    fclose(file);
    if (!read || head.bfType != 0x4D42 || head.bfSize != static_cast<DWORD>(size) ||
        head.bfOffBits >= head.bfSize)
        return Fail("%s is not a valid .bmp file", path.c_str());
    Step("wrote %s: %ld x %ld, %u bits per pixel, %ld bytes", path.c_str(), info.biWidth,
         info.biHeight, info.biBitCount, size);
    return true;
}
