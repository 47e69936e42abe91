// BMP files written by hand, at the speed of the disk: the Windows Imaging
// Component's BMP encoder under Wine takes many times longer than the write
// itself, which a frame of a gigabyte makes plain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "wic_image.h"

namespace qximg {

// Told now and then, from the writing thread, how many of a file's bytes are
// written; a program that shows progress sets it once.
using WriteProgress = void (*)(uint64_t done, uint64_t total);
void SetWriteProgress(WriteProgress progress);

// A packed device-independent bitmap (its header, palette and pixels, dibBytes
// in all) as a BMP file: the file header, then the bitmap as it is.
bool WriteDibBmp(const std::string &path, const void *dib, size_t dibBytes, size_t pixelOffset,
                 std::string *error);

// Rows top line first, as WriteImage takes them: grey as 8 bits with a grey
// palette (16-bit grey by its top 8 significant bits), colour as 24 bits.
bool WriteRowsBmp(const std::string &path, PixelLayout layout, uint32_t width, uint32_t height,
                  const uint8_t *rows, size_t stride, uint32_t significantBits, std::string *error);

// Bilevel, 4-bit and 8-bit grey and palettes at their own depth, 16-bit grey
// as 8-bit grey and 16-bit colour as 24-bit (each by its top 8 significant
// bits).
struct PackedImage;
bool WritePackedBmp(const std::string &path, const PackedImage &image, std::string *error);

}  // namespace qximg
