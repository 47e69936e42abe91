// Grey from colour: the usual luminance weights in 8-bit fixed point,
// rounded. One rule for every conversion the simulated board and the image
// library make.
#pragma once

#include <cstdint>

constexpr uint8_t Luminance(uint8_t b, uint8_t g, uint8_t r) {
    return static_cast<uint8_t>((29 * b + 150 * g + 77 * r + 128) >> 8);
}
