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

// A row of any depth, padded to 4 bytes.
constexpr uint64_t RowBytesOf(uint32_t width, uint32_t bitCount) {
    return (uint64_t(width) * bitCount + 31) / 32 * 4;
}

constexpr uint64_t RowBytes(uint32_t width, bool colour) { return RowBytesOf(width, BitCount(colour)); }

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

// Everything before the rows of a width × height image of bitCount bits a
// pixel, with its palette (B, G, R, 0 an entry, as 32-bit values) and the
// resolution in pixels per metre (0: not stated).
inline std::vector<uint8_t> Headers(uint32_t width, uint32_t height, uint32_t bitCount,
                                    const std::vector<uint32_t> &palette, uint32_t pelsPerMetre) {
    const uint32_t pixelOffset = FileHeaderBytes + InfoHeaderBytes + uint32_t(palette.size()) * 4;
    const uint64_t pixelBytes = RowBytesOf(width, bitCount) * height;
    std::vector<uint8_t> out;
    out.reserve(pixelOffset);
    AppendFileHeader(out, pixelOffset + pixelBytes, pixelOffset);
    Put32(out, InfoHeaderBytes);
    Put32(out, width);
    Put32(out, height);  // positive: bottom line first
    Put16(out, 1);       // planes
    Put16(out, static_cast<uint16_t>(bitCount));
    Put32(out, 0);  // BI_RGB
    Put32(out, static_cast<uint32_t>(pixelBytes));
    Put32(out, pelsPerMetre);
    Put32(out, pelsPerMetre);
    Put32(out, static_cast<uint32_t>(palette.size()));  // colours used
    Put32(out, 0);                                      // colours important: all
    for (uint32_t entry : palette) Put32(out, entry);
    return out;
}

// 8-bit grey (with the palette of grey levels) or 24-bit colour.
inline std::vector<uint8_t> Headers(uint32_t width, uint32_t height, bool colour,
                                    uint32_t pelsPerMetre) {
    std::vector<uint32_t> levels;
    for (uint32_t level = 0; level < GreyLevels && !colour; ++level) levels.push_back(level * 0x010101u);
    return Headers(width, height, BitCount(colour), levels, pelsPerMetre);
}

}  // namespace bmp
