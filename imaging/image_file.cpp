// Opening an image file by format and layout, and the whole-image writes as
// one band of every row.
#include "image_file.h"

#include <algorithm>

#include "file_writers.h"

namespace qximg {
namespace {

bool WriteWhole(std::unique_ptr<ImageFileWriter> file, const uint8_t *rows, size_t stride, uint32_t height,
                std::string *error) {
    return file && file->WriteRows(rows, stride, height, error) && file->Finish(error);
}

}  // namespace

bool Say(std::string *error, const std::string &text) {
    if (error) *error = text;
    return false;
}

uint32_t BytesPerPixel(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::Gray8: return 1;
    case PixelLayout::Gray16: return 2;
    case PixelLayout::Bgr24: return 3;
    case PixelLayout::Bgrx32: break;
    }
    return 4;
}

uint32_t BandRows(uint64_t rowBytes, uint32_t height) {
    constexpr uint64_t BandBytes = uint64_t(4) << 20;
    return uint32_t(std::min<uint64_t>(std::max<uint64_t>(1, BandBytes / std::max<uint64_t>(rowBytes, 1)), height));
}

bool RowCount::Take(const uint8_t *rows, size_t stride, size_t lineBytes, uint32_t count, std::string *error) {
    if (count && (!rows || stride < lineBytes)) return Say(error, "no pixels to write to " + path_);
    if (count > height_ - done_)
        return Say(error, std::to_string(done_ + uint64_t(count)) + " rows for an image of " +
                              std::to_string(height_) + ": " + path_);
    done_ += count;
    return true;
}

bool RowCount::Complete(std::string *error) const {
    return done_ == height_ || Say(error, "only " + std::to_string(done_) + " of the " + std::to_string(height_) +
                                              " rows were written to " + path_);
}

std::unique_ptr<ImageFileWriter> OpenImageFile(const std::string &path, ImageFormat format, PixelLayout layout,
                                               uint32_t width, uint32_t height, uint32_t significantBits,
                                               std::string *error) {
    if (!width || !height) {
        Say(error, "no pixels to write to " + path);
        return nullptr;
    }
    if (significantBits < 8 || significantBits > 16) {
        Say(error, "16-bit grey carries 8 to 16 significant bits, not " + std::to_string(significantBits) +
                       ", for " + path);
        return nullptr;
    }
    // BMP, whatever the layout, goes through our own row writer; grey
    // through our own encoders: under Wine WIC's PNG encoder stores 16-bit
    // grey byte-swapped, its TIFF encoder keeps 8 bits of it and holds every
    // row until the file is committed, and its PNG encoder takes several
    // times longer than zlib alone.
    if (format == ImageFormat::Bmp) return OpenRowsBmp(path, layout, width, height, significantBits, error);
    if (layout == PixelLayout::Gray8 || layout == PixelLayout::Gray16) {
        PackedImage grey;
        grey.bits = layout == PixelLayout::Gray8 ? 8 : 16;
        grey.width = width, grey.height = height;
        grey.significantBits = significantBits;
        return OpenPackedImageFile(path, format, grey, error);
    }
    return OpenWicFile(path, format, layout, width, height, error);
}

std::unique_ptr<ImageFileWriter> OpenPackedImageFile(const std::string &path, ImageFormat format,
                                                     const PackedImage &image, std::string *error) {
    if (!PackedWritable(image, path, error)) return nullptr;
    switch (format) {
    case ImageFormat::Png: return OpenPackedPng(path, image, error);
    case ImageFormat::Tiff: return OpenPackedTiff(path, image, error);
    case ImageFormat::Bmp: break;
    }
    return OpenPackedBmp(path, image, error);
}

bool WriteImage(const std::string &path, ImageFormat format, PixelLayout layout, uint32_t width,
                uint32_t height, const uint8_t *rows, size_t stride, std::string *error,
                uint32_t significantBits) {
    return WriteWhole(OpenImageFile(path, format, layout, width, height, significantBits, error), rows, stride,
                      height, error);
}

bool WritePackedImage(const std::string &path, ImageFormat format, const PackedImage &image,
                      std::string *error) {
    return WriteWhole(OpenPackedImageFile(path, format, image, error), image.rows, image.stride, image.height,
                      error);
}

}  // namespace qximg
