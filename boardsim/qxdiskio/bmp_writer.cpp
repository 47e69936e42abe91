// Uncompressed BMP: 8-bit grey with a grey palette (deep grey reduced to its top
// 8 bits), or 24-bit colour (32-bit pixels lose their fourth byte); bottom-up
// rows padded to 4 bytes.
#include "image_file.h"

namespace {

uint8_t GreyByte(const uint8_t *sample, uint32_t depth) {
    if (depth == 8) return sample[0];
    uint32_t v = sample[0] | (sample[1] << 8);
    return static_cast<uint8_t>(v >> (depth - 8));
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const PackedImage &image) {
    const bool colour = image.depth >= 24;
    const uint32_t inBytes = SampleBytes(image.depth);
    const uint32_t outBytes = colour ? 3 : 1;
    const uint32_t rowBytes = (image.width * outBytes + 3) & ~3u;
    const uint32_t paletteBytes = colour ? 0 : 256 * 4;
    const uint32_t offBits = 14 + 40 + paletteBytes;
    const uint32_t imageBytes = rowBytes * image.height;

    std::vector<uint8_t> out;
    out.reserve(offBits + imageBytes);
    out.push_back('B'), out.push_back('M');
    Put32(out, offBits + imageBytes);
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
    const size_t lineBytes = static_cast<size_t>(image.width) * inBytes;
    for (uint32_t y = image.height; y-- > 0;) {
        const uint8_t *line = image.pixels + y * lineBytes;
        size_t start = out.size();
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t *pixel = line + static_cast<size_t>(x) * inBytes;
            if (colour) out.insert(out.end(), pixel, pixel + 3);
            else out.push_back(GreyByte(pixel, image.depth));
        }
        out.resize(start + rowBytes, 0);
    }
    return out;
}
