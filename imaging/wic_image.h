// Image files through the Windows Imaging Component: the one place where the
// tools and the simulated board encode and decode PNG, BMP, TIFF and JPEG
// (deep and packed samples in PNG and TIFF by encoders of our own,
// packed_image.h, and BMP by our own writer, bmp_file.h). Every file is
// written through image_file.h, a band of rows at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qximg {

enum class ImageFormat { Png, Bmp, Tiff };

// How the rows handed to WriteImage are laid out, top line first.
enum class PixelLayout {
    Gray8,   // one byte per pixel
    Gray16,  // two bytes per pixel, little-endian, the sample in the low significantBits
    Bgr24,   // bytes B, G, R
    Bgrx32,  // bytes B, G, R and one unused byte (written as 24-bit colour)
};

// "png", "bmp", "tif"/"tiff" (any case); false for anything else.
bool ImageFormatFromName(const std::string &name, ImageFormat *format);
// The usual extension without the dot: "png", "bmp", "tif".
const char *ImageFormatExtension(ImageFormat format);

// Whether the format keeps 16-bit grey as 16 bits (PNG and TIFF); the others
// take its top 8 significant bits. WriteImage follows this rule.
bool KeepsGrey16(ImageFormat format);

// Writes width x height pixels, rows `stride` bytes apart, to path (replacing
// a file that is there). 16-bit grey carries significantBits (8 to 16) a
// sample: 16-bit files hold it scaled to the full range by bit replication,
// 8-bit files its top 8 bits. An encoder that cannot store another layout as
// it is gets the nearest it offers. On failure returns false and says why in
// *error.
bool WriteImage(const std::string &path, ImageFormat format, PixelLayout layout, uint32_t width,
                uint32_t height, const uint8_t *rows, size_t stride, std::string *error,
                uint32_t significantBits = 16);

// A decoded image as 32-bit B, G, R, A pixels, top line first, width * 4
// bytes a row.
struct DecodedImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bgra;
};

// Decodes any still image WIC knows (PNG, BMP, TIFF, JPEG, ...); the first
// frame of a multi-frame file. On failure returns false and says why in *error.
bool ReadImage(const std::string &path, DecodedImage *image, std::string *error);

}  // namespace qximg
