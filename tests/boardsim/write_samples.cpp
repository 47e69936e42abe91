// Writes test images of every depth as BMP and TIFF into the folder given, each
// with NAME.expect: the pixels ImageMagick must read back (8-bit RGB, or 16-bit
// little-endian grey for deep-grey TIFF). check_image_files.sh compares them.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "board/maker_api.h"

namespace {

constexpr uint32_t W = 21, H = 9;

std::vector<uint8_t> Expected(const std::vector<uint8_t> &pixels, uint32_t depth, bool tiff) {
    const uint32_t bytes = depth == 8 ? 1 : depth <= 16 ? 2 : depth / 8;
    if (tiff && bytes == 2) return pixels;
    std::vector<uint8_t> rgb;
    for (uint32_t i = 0; i < W * H; ++i) {
        const uint8_t *p = pixels.data() + i * bytes;
        if (bytes >= 3 && tiff) rgb.insert(rgb.end(), {p[0], p[1], p[2]});
        else if (bytes >= 3) rgb.insert(rgb.end(), {p[2], p[1], p[0]});
        else {
            uint32_t v = bytes == 1 ? p[0] : (p[0] | p[1] << 8) >> (depth - 8);
            uint8_t g = static_cast<uint8_t>(v);
            rgb.insert(rgb.end(), {g, g, g});
        }
    }
    return rgb;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return 2;
    int failures = 0;
    for (uint32_t depth : {8u, 12u, 16u, 24u, 32u}) {
        uint32_t bytes = depth == 8 ? 1 : depth <= 16 ? 2 : depth / 8;
        std::vector<uint8_t> pixels(W * H * bytes);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 + i / 5);
        if (depth == 12)
            for (size_t i = 1; i < pixels.size(); i += 2) pixels[i] &= 0x0F;
        for (const char *ext : {"bmp", "tif"}) {
            std::string name = std::string(argv[1]) + "\\ramp" + std::to_string(depth) + "." + ext;
            uint32_t r = QXIOWriteSingle(name.c_str(), pixels.data(), W, H, depth, 0);
            printf("%s -> %u\n", name.c_str(), r);
            failures += r != 0;
            std::vector<uint8_t> expected = Expected(pixels, depth, ext[0] == 't');
            std::ofstream(name + ".expect", std::ios::binary)
                .write(reinterpret_cast<const char *>(expected.data()), expected.size());
        }
    }
    return failures;
}
