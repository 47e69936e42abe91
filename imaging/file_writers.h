// The writers behind image_file.h, one kind of file each, opened by
// OpenImageFile and OpenPackedImageFile once those have checked what they
// were asked for; and the count of rows that every writer keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "image_file.h"

namespace qximg {

// *error = text (when there is an error to fill); false.
bool Say(std::string *error, const std::string &text);

// Bytes of one pixel of a layout as the caller hands it over.
uint32_t BytesPerPixel(PixelLayout layout);

// The rows a writer has taken of its image's height: a band must hold rows
// of at least lineBytes, and fit what is left; the file is whole once all
// have come.
class RowCount {
public:
    RowCount(const std::string &path, uint32_t height) : path_(path), height_(height) {}
    // Counts a band of `count` rows; false, with *error, for one the image cannot take.
    bool Take(const uint8_t *rows, size_t stride, size_t lineBytes, uint32_t count, std::string *error);
    bool Complete(std::string *error) const;
    uint32_t Done() const { return done_; }
    uint32_t Height() const { return height_; }
    const std::string &Path() const { return path_; }

private:
    std::string path_;
    uint32_t height_, done_ = 0;
};

// BMP (bmp_file.cpp): rows of a layout, or packed samples, at the depths
// bmp_file.h names.
std::unique_ptr<ImageFileWriter> OpenRowsBmp(const std::string &path, PixelLayout layout, uint32_t width,
                                             uint32_t height, uint32_t significantBits, std::string *error);
std::unique_ptr<ImageFileWriter> OpenPackedBmp(const std::string &path, const PackedImage &image, std::string *error);
// PNG and TIFF of packed samples (packed_image.cpp), the image checked by PackedWritable.
std::unique_ptr<ImageFileWriter> OpenPackedPng(const std::string &path, const PackedImage &image, std::string *error);
std::unique_ptr<ImageFileWriter> OpenPackedTiff(const std::string &path, const PackedImage &image, std::string *error);
bool PackedWritable(const PackedImage &image, const std::string &path, std::string *error);
// PNG and TIFF of 8-bit grey and 8-bit-a-channel colour through WIC (wic_image.cpp).
std::unique_ptr<ImageFileWriter> OpenWicFile(const std::string &path, ImageFormat format, PixelLayout layout,
                                             uint32_t width, uint32_t height, std::string *error);

}  // namespace qximg
