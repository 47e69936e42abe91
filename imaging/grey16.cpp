#include "grey16.h"

#include "pixel_kernels.h"

namespace qximg {

uint32_t Grey16SignificantBits(const uint8_t *rows, uint32_t width, uint32_t height, size_t stride) {
    uint32_t all = 0;
    for (uint32_t y = 0; y < height; ++y) all |= OrOfSamples(rows + stride * y, width);
    uint32_t bits = 8;
    while (bits < 16 && (all >> bits)) ++bits;
    return bits;
}

}  // namespace qximg
