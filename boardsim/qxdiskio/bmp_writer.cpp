// Uncompressed BMP: 8-bit grey with a grey palette (deep grey reduced to its top
// 8 bits), or 24-bit colour (32-bit pixels lose their fourth byte); bottom-up
// rows padded to 4 bytes, at 72 dpi.
#include "bmp_format.h"
#include "image_file.h"

FileLayout BmpLayout(const PackedImage &image) {
    const bool colour = image.depth >= 24;
    FileLayout layout{bmp::Headers(image.width, image.height, colour, bmp::PelsPerMetreAt72Dpi),
                      size_t(bmp::RowBytes(image.width, colour)),
                      size_t(image.width) * (bmp::BitCount(colour) / 8),
                      true,
                      RowForm::AsDelivered,
                      bmp::FileBytes(image.width, image.height, colour)};
    if (image.depth == 32) layout.form = RowForm::DropFourth;
    if (image.depth > 8 && image.depth <= 16) layout.form = RowForm::TopEightBits;
    return layout;
}
