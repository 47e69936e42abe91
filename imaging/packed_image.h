// Images whose samples the Windows Imaging Component does not write as they
// are (or not right under Wine): bilevel and 4-bit grey, palettes of 1, 4 and
// 8 bits, 16-bit grey and 16-bit-a-channel colour. PNG and TIFF are written
// here on zlib and by hand at the depth the samples carry; BMP at the nearest
// depth it has (bmp_file.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "wic_image.h"

namespace qximg {

enum class SampleKind {
    Grey,     // one sample a pixel: 1, 4, 8 or 16 bits
    Indexed,  // one palette index a pixel: 1, 4 or 8 bits
    Rgb,      // R, G, B samples of 16 bits
};

struct PaletteEntry {
    uint8_t r, g, b;
};

// Rows top line first, `stride` bytes apart. Samples below 8 bits are packed
// from each byte's top bit; 16-bit samples are little-endian words whose low
// significantBits bits (8 to 16) carry the sample, scaled to the full range
// on the way out.
struct PackedImage {
    SampleKind kind = SampleKind::Grey;
    uint32_t bits = 8;
    uint32_t width = 0, height = 0;
    const uint8_t *rows = nullptr;
    size_t stride = 0;
    std::vector<PaletteEntry> palette;  // Indexed: up to 1 << bits entries
    bool whiteIsZero = false;           // Grey of up to 8 bits: the sample 0 is white
    uint32_t significantBits = 16;
};

// Bytes of one line of `width` pixels: what a row must hold at least.
size_t PackedRowBytes(const PackedImage &image);

// The palette a file of the image takes: an Indexed image's own, the levels
// of grey up to 8 bits (reversed when 0 is white), none otherwise.
std::vector<PaletteEntry> FilePalette(const PackedImage &image);

// By format: PNG and TIFF by our own encoders, BMP by bmp_file.h; the rows
// as one band (image_file.h writes them band by band).
bool WritePackedImage(const std::string &path, ImageFormat format, const PackedImage &image,
                      std::string *error);

}  // namespace qximg
