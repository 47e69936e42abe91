// Uncompressed BMP: 8-bit grey with a grey palette (deep grey reduced to its top
// 8 bits), or 24-bit colour (32-bit pixels lose their fourth byte); bottom-up
// rows padded to 4 bytes.
#include "image_file.h"

FileLayout BmpLayout(const PackedImage &image) {
    const bool colour = image.depth >= 24;
    const uint32_t outBytes = colour ? 3 : 1;
    const uint64_t rowBytes = (uint64_t(image.width) * outBytes + 3) & ~uint64_t(3);
    const uint32_t paletteBytes = colour ? 0 : 256 * 4;
    const uint32_t offBits = 14 + 40 + paletteBytes;
    const uint64_t fileBytes = offBits + rowBytes * image.height;
    const uint32_t imageBytes = static_cast<uint32_t>(fileBytes - offBits);

    FileLayout layout{{}, size_t(rowBytes), size_t(image.width) * outBytes, true,
                      RowForm::AsDelivered, fileBytes};
    if (image.depth == 32) layout.form = RowForm::DropFourth;
    if (image.depth > 8 && image.depth <= 16) layout.form = RowForm::TopEightBits;
    std::vector<uint8_t> &out = layout.header;
    out.reserve(offBits);
    out.push_back('B');
    out.push_back('M');
    Put32(out, static_cast<uint32_t>(fileBytes));
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, 40);
    Put32(out, image.width);
    Put32(out, image.height);
    Put16(out, 1);
    Put16(out, colour ? 24 : 8);
    Put32(out, 0);  // BI_RGB
    Put32(out, imageBytes);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, colour ? 0 : 256);
    Put32(out, 0);
    for (uint32_t i = 0; i < paletteBytes / 4; ++i) {
        uint8_t g = static_cast<uint8_t>(i);
        out.push_back(g), out.push_back(g), out.push_back(g), out.push_back(0);
    }
    return layout;
}
