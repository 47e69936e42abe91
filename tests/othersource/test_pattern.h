// The picture the test source sends, shared by the source and the tests that
// read its frames back: a sample for every position and channel, and the
// colours of its palettes.
#pragma once

#include <cstdint>

#include "grey_level.h"

namespace testsource {

// Sample of channel c at (x, y), `bits` wide (1 to 16): varied in every bit,
// so that a misplaced row, column, byte or bit shows.
constexpr uint32_t Sample(uint32_t x, uint32_t y, uint32_t c, uint32_t bits) {
    uint32_t v = x * 131 + y * 1031 + c * 7907 + x * y * 17;
    return (v ^ (v >> 5) ^ (v << 7)) & ((1u << bits) - 1);
}

// R, G, B of entry i of the colour palette (TWPT_PALETTE frames and colour bitmaps).
struct Colour {
    uint8_t r, g, b;
};
constexpr Colour PaletteColour(uint32_t i) {
    return {uint8_t(i * 3 + 1), uint8_t(255 - i), uint8_t(i * 7)};
}

// Level of entry i of a grey palette of `bits` bits: the one rule of grey_level.h.
using ::GreyLevel;

// The environment variable holding the source's settings.
constexpr const char *SettingsVariable = "QXTEST_SOURCE";

}  // namespace testsource
