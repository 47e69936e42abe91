// Uncompressed BMP, as both of our BMP writers write it: the file header, the
// 40-byte info header, for 8-bit grey a palette of the 256 grey levels, then
// the rows, bottom line first, each padded to 4 bytes. Built byte by byte, so
// that it needs no Windows header and reads the same in either architecture.
#pragma once

#include <cstdint>
#include <vector>

#include "little_endian.h"

namespace bmp {

constexpr uint32_t FileHeaderBytes = 14;
constexpr uint32_t InfoHeaderBytes = 40;
constexpr uint32_t GreyLevels = 256;
constexpr uint32_t PaletteBytes = GreyLevels * 4;  // blue, green, red, 0 a level
constexpr uint32_t PelsPerMetreAt72Dpi = 2835;

// 8-bit grey (with the palette) or 24-bit colour.
constexpr uint32_t BitCount(bool colour) { return colour ? 24 : 8; }

constexpr uint64_t RowBytes(uint32_t width, bool colour) {
    return (uint64_t(width) * (BitCount(colour) / 8) + 3) & ~uint64_t(3);
}

// Where the rows start: after the headers and the palette.
constexpr uint32_t PixelOffset(bool colour) {
    return FileHeaderBytes + InfoHeaderBytes + (colour ? 0 : PaletteBytes);
}

constexpr uint64_t FileBytes(uint32_t width, uint32_t height, bool colour) {
    return PixelOffset(colour) + RowBytes(width, colour) * height;
}

// "BM", the file's size and where its pixels start. The sizes are 32-bit
// fields: a file must not exceed 4 GiB.
inline void AppendFileHeader(std::vector<uint8_t> &out, uint64_t fileBytes, uint32_t pixelOffset) {
    out.push_back('B');
    out.push_back('M');
    Put32(out, static_cast<uint32_t>(fileBytes));
    Put32(out, 0);  // reserved
    Put32(out, pixelOffset);
}

// Everything before the rows of a width × height image, the resolution given
// in pixels per metre (0: not stated).
inline std::vector<uint8_t> Headers(uint32_t width, uint32_t height, bool colour,
                                    uint32_t pelsPerMetre) {
    const uint64_t fileBytes = FileBytes(width, height, colour);
    std::vector<uint8_t> out;
    out.reserve(PixelOffset(colour));
    AppendFileHeader(out, fileBytes, PixelOffset(colour));
    Put32(out, InfoHeaderBytes);
    Put32(out, width);
    Put32(out, height);  // positive: bottom line first
    Put16(out, 1);       // planes
    Put16(out, BitCount(colour));
    Put32(out, 0);  // BI_RGB
    Put32(out, static_cast<uint32_t>(fileBytes - PixelOffset(colour)));
    Put32(out, pelsPerMetre);
    Put32(out, pelsPerMetre);
    Put32(out, colour ? 0 : GreyLevels);  // colours used
    Put32(out, 0);                        // colours important: all
    if (!colour)
        for (uint32_t level = 0; level < GreyLevels; ++level)
            Put32(out, level * 0x010101u);  // blue, green, red, 0
    return out;
}

}  // namespace bmp
