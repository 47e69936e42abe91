// Image files written a band of rows at a time, for frames that are never
// whole in memory: BMP by our own writer, each band's rows at their place in
// a file of its final size; PNG and TIFF of packed and 16-bit samples by our
// own encoders (packed_image.h); PNG and TIFF of 8-bit grey and colour by the
// Windows Imaging Component, whose frame encoder takes its pixels in bands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "packed_image.h"
#include "wic_image.h"

namespace qximg {

// An image file written a band of rows at a time, top line first, so that an
// image never has to be whole in memory. A writer is used on one thread (WIC
// needs its COM apartment). Destroyed before Finish, it leaves no file behind.
class ImageFileWriter {
public:
    virtual ~ImageFileWriter() = default;
    // The next `count` rows, `stride` bytes apart, laid out as the writer was
    // opened for. False, with *error, when they cannot be written.
    virtual bool WriteRows(const uint8_t *rows, size_t stride, uint32_t count, std::string *error) = 0;
    // After the last row: completes and closes the file. False, with *error.
    virtual bool Finish(std::string *error) = 0;
};

// The rows of a band when an image is read and written a band at a time:
// about 4 MB of rows of `rowBytes`, at least one, no more than `height`.
uint32_t BandRows(uint64_t rowBytes, uint32_t height);

// A writer for rows of `layout` as WriteImage takes them (16-bit grey carrying
// significantBits, 8 to 16); null, with *error, when the file cannot be begun.
std::unique_ptr<ImageFileWriter> OpenImageFile(const std::string &path, ImageFormat format, PixelLayout layout,
                                               uint32_t width, uint32_t height, uint32_t significantBits,
                                               std::string *error);
// A writer for packed samples as `image` describes them (its rows and stride
// are not used: the rows come through WriteRows).
std::unique_ptr<ImageFileWriter> OpenPackedImageFile(const std::string &path, ImageFormat format,
                                                     const PackedImage &image, std::string *error);

}  // namespace qximg
