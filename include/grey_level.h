// The grey level of sample value `index` of a `bits`-bit grey image on the
// 8-bit scale (0 black, the top value white, or reversed where 0 is white):
// the rule palettes of 1- to 8-bit grey are written and recognised by.
#pragma once

#include <cstdint>

constexpr uint8_t GreyLevel(uint32_t index, uint32_t bits, bool whiteIsZero = false) {
    const uint32_t top = (1u << bits) - 1;
    return uint8_t((whiteIsZero ? top - index : index) * 255 / top);
}
