// Baseline TIFF, as both of our TIFF writers use it: the tags, field types and
// values they write, and a directory entry laid out as in a little-endian file.
#pragma once

#include <cstdint>

namespace tiff {

enum Tag : uint16_t {
    ImageWidth = 256, ImageLength = 257, BitsPerSample = 258, Compression = 259,
    PhotometricInterpretation = 262, StripOffsets = 273, SamplesPerPixel = 277, RowsPerStrip = 278,
    StripByteCounts = 279, XResolution = 282, YResolution = 283, PlanarConfiguration = 284,
    ResolutionUnit = 296, ColorMap = 320,
};

enum Type : uint16_t { Short = 3, Long = 4, Rational = 5 };

// Values of the tags above.
constexpr uint32_t Uncompressed = 1;  // Compression
constexpr uint32_t BlackIsZero = 1;   // PhotometricInterpretation
constexpr uint32_t Rgb = 2;           // PhotometricInterpretation
constexpr uint32_t Palette = 3;       // PhotometricInterpretation
constexpr uint32_t Chunky = 1;        // PlanarConfiguration
constexpr uint32_t Inch = 2;          // ResolutionUnit

// One directory entry: value holds the value itself (a SHORT in its low two
// bytes, which a little-endian file stores first) or the offset of the values.
struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;
};
static_assert(sizeof(Entry) == 12, "an entry is 12 bytes in the file");

// The file header: little-endian ("II"), 42, then the first directory's offset.
constexpr uint8_t LittleEndian[2] = {'I', 'I'};
constexpr uint16_t Magic = 42;

}  // namespace tiff
