// BMP files written by hand, at the speed of the disk: the Windows Imaging
// Component's BMP encoder under Wine takes many times longer than the write
// itself, which a frame of a gigabyte makes plain. Rows top line first, as
// WriteImage takes them, go in bands to their place in a file of its final
// size (file_writers.h): grey as 8 bits with a grey palette (16-bit grey by
// its top 8 significant bits), colour as 24 bits; packed samples at their
// own depth (bilevel, 4- and 8-bit grey and palettes), 16-bit grey as 8-bit
// grey and 16-bit colour as 24-bit (each by its top 8 significant bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "packed_image.h"

namespace qximg {

// Told now and then, from the writing thread, how many of a file's bytes are
// written; a program that shows progress sets it once.
using WriteProgress = void (*)(uint64_t done, uint64_t total);
void SetWriteProgress(WriteProgress progress);

// A packed device-independent bitmap (its header, palette and pixels, dibBytes
// in all) as a BMP file: the file header, then the bitmap as it is.
bool WriteDibBmp(const std::string &path, const void *dib, size_t dibBytes, size_t pixelOffset,
                 std::string *error);

}  // namespace qximg
