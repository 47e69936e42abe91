// Uncompressed BMP, as both of our BMP writers write it: the file header, the
// 40-byte info header, for 8-bit grey a palette of the 256 grey levels, then
// the rows, bottom line first, each padded to 4 bytes. Built byte by byte, so
// that it needs no Windows header and reads the same in either architecture.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "grey_level.h"
#include "little_endian.h"

namespace bmp {

constexpr uint32_t FileHeaderBytes = 14;
constexpr uint32_t InfoHeaderBytes = 40;
constexpr uint32_t GreyLevels = 256;
constexpr uint32_t PaletteBytes = GreyLevels * 4;  // blue, green, red, 0 a level
constexpr uint32_t PelsPerMetreAt72Dpi = 2835;

// The palette of 8-bit grey as it lies in a file or a bitmap: entry i is
// blue, green and red at grey level i, then 0. Every BMP header and native
// bitmap of 8-bit grey carries these bytes.
constexpr std::array<uint8_t, PaletteBytes> GreyPalette = [] {
    std::array<uint8_t, PaletteBytes> bytes{};
    for (uint32_t i = 0; i < GreyLevels; ++i)
        bytes[4 * i] = bytes[4 * i + 1] = bytes[4 * i + 2] = GreyLevel(i, 8);
    return bytes;
}();

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
// pixel, with `entries` palette entries of 4 bytes (B, G, R, 0) at `palette`
// and the resolution in pixels per metre (0: not stated).
inline std::vector<uint8_t> Headers(uint32_t width, uint32_t height, uint32_t bitCount, const uint8_t *palette,
                                    uint32_t entries, uint32_t pelsPerMetre) {
    const uint32_t pixelOffset = FileHeaderBytes + InfoHeaderBytes + entries * 4;
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
    Put32(out, entries);  // colours used
    Put32(out, 0);        // colours important: all
    out.insert(out.end(), palette, palette + size_t(entries) * 4);
    return out;
}

// The same with the palette's entries as 32-bit values (B | G << 8 | R << 16).
inline std::vector<uint8_t> Headers(uint32_t width, uint32_t height, uint32_t bitCount,
                                    const std::vector<uint32_t> &palette, uint32_t pelsPerMetre) {
    std::vector<uint8_t> entries;
    for (uint32_t entry : palette) Put32(entries, entry);
    return Headers(width, height, bitCount, entries.data(), uint32_t(palette.size()), pelsPerMetre);
}

// 8-bit grey (with the palette of grey levels) or 24-bit colour.
inline std::vector<uint8_t> Headers(uint32_t width, uint32_t height, bool colour,
                                    uint32_t pelsPerMetre) {
    return Headers(width, height, BitCount(colour), GreyPalette.data(), colour ? 0 : GreyLevels, pelsPerMetre);
}

}  // namespace bmp
