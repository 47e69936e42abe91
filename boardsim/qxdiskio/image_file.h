// Inside QXDiskIO.dll: the image to write, its encoders and the safe file write.
#pragma once

#include <cstdint>
#include <vector>

#include "little_endian.h"  // Put16, Put32 for the encoders

// Results of QXIOWriteSingle (0: written), 1 to 8 in this order.
enum : uint32_t {
    QXIO_NO_NAME = 1, QXIO_NO_PIXELS, QXIO_NO_SIZE, QXIO_BAD_DEPTH,
    QXIO_CANNOT_CREATE, QXIO_CANNOT_WRITE, QXIO_CANNOT_REPLACE, QXIO_TOO_LARGE
};

// Packed lines, top line first: width × SampleBytes(depth) bytes each.
struct PackedImage {
    const uint8_t *pixels;
    uint32_t width;
    uint32_t height;
    uint32_t depth;
};

// Bytes of one pixel for a depth the writer takes (8, 10 to 16, 24, 32); 0 for others.
uint32_t SampleBytes(uint32_t depth);

// What a file row makes of a packed line.
enum class RowForm {
    AsDelivered,
    TopEightBits,  // deep grey reduced to its top 8 bits
    DropFourth,    // 32-bit pixels without their fourth byte
};

// How an image is laid out in its file: the header, then height rows of
// rowBytes each (pixelBytes, then zero padding), made one at a time from the
// packed lines, first row the bottom line when bottomUp. fileBytes, the size
// of the whole file, is counted in 64 bits: the other sizes hold only for a
// file that is not too large to write.
struct FileLayout {
    std::vector<uint8_t> header;
    size_t rowBytes;
    size_t pixelBytes;  // of a row, before its padding
    bool bottomUp;
    RowForm form;
    uint64_t fileBytes;
};

FileLayout BmpLayout(const PackedImage &image);
FileLayout TiffLayout(const PackedImage &image);

// Writes the file to a temporary file beside name, then renames it over name,
// so a failure never leaves a partial file under the name. 0 or a QXIO_ code.
uint32_t WriteFileSafely(const char *name, const FileLayout &layout, const PackedImage &image);
