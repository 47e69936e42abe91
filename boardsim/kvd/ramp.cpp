// Frame contents. The ramp: grey sample (x, y) of frame n = (x + 3y + 5n) mod
// 2^depth (with `high_bits`, ones above the depth for depths 10, 12 and 14);
// colour byte k of a pixel = (x + 3y + 5n + 80k) mod 256; line padding is 0.
#include <algorithm>
#include <cstring>
#include <vector>

#include "kvd_state.h"

namespace {

void RampLine(uint8_t *line, const QxsSettings &s, uint32_t y, uint32_t n) {
    const uint32_t bpp = s.bytesPerPixel;
    const bool colour = s.depth >= 24;
    const uint32_t mask = s.depth >= 32 ? 0xFFFFFFFFu : (1u << s.depth) - 1;
    const uint32_t sampleBytesMask = bpp >= 4 ? 0xFFFFFFFFu : (1u << (8 * bpp)) - 1;
    const bool fillHigh = s.highBits && (s.depth == 10 || s.depth == 12 || s.depth == 14);
    const uint32_t high = fillHigh ? ~mask & sampleBytesMask : 0;
    for (uint32_t x = 0; x < s.width; ++x) {
        uint8_t *pixel = line + static_cast<size_t>(x) * bpp;
        uint32_t base = x + 3 * y + 5 * n;
        if (colour) {
            for (uint32_t k = 0; k < bpp; ++k) pixel[k] = static_cast<uint8_t>(base + 80 * k);
        } else {
            uint32_t sample = (base & mask) | high;
            for (uint32_t k = 0; k < bpp; ++k) pixel[k] = static_cast<uint8_t>(sample >> (8 * k));
        }
    }
}

}  // namespace

void FillFrame(uint8_t *dst, uint32_t bytes, const QxsSettings &s, uint32_t n) {
    const size_t pixelBytes = static_cast<size_t>(s.width) * s.bytesPerPixel;
    std::vector<uint8_t> line(std::max<size_t>(pixelBytes, s.lineBytes), 0);
    size_t offset = 0;
    for (uint32_t y = 0; y < s.height && offset < bytes; ++y) {
        RampLine(line.data(), s, y, n);
        size_t count = std::min<size_t>(s.lineBytes, bytes - offset);
        memcpy(dst + offset, line.data(), count);
        offset += count;
    }
    if (offset < bytes) memset(dst + offset, 0, bytes - offset);
}
