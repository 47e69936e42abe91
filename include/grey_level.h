// The grey level of sample value `index` of a `bits`-bit grey image on the
// 8-bit scale (0 black, the top value white, or reversed where 0 is white):
// the rule palettes of 1- to 8-bit grey are written and recognised by.
#pragma once

#include <cstdint>

// The domain: 1 to 8 bits (a palette has at most 256 entries) and an index
// up to the top value, 2^bits - 1.
constexpr bool IsGreyIndex(uint32_t index, uint32_t bits) { return bits >= 1 && bits <= 8 && index >> bits == 0; }

// Outside the domain the level is 0: never a division by zero (0 bits), a
// shift past the word or a reversed index that wraps.
constexpr uint8_t GreyLevel(uint32_t index, uint32_t bits, bool whiteIsZero = false) {
    if (!IsGreyIndex(index, bits)) return 0;
    const uint32_t top = (1u << bits) - 1;
    return uint8_t((whiteIsZero ? top - index : index) * 255 / top);
}

static_assert(GreyLevel(1, 1) == 255 && GreyLevel(5, 4, true) == 170 && GreyLevel(128, 8) == 128,
              "levels spread over the 8-bit scale");
static_assert(GreyLevel(0, 0) == 0 && GreyLevel(16, 4, true) == 0 && GreyLevel(0, 9) == 0,
              "0 outside the domain");
