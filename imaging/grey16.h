// 16-bit grey, the deep grey that the tools and the simulated board write:
// little-endian words whose low `bits` bits (8 to 16) carry the sample. WIC's
// PNG encoder stores such words in the wrong byte order under Wine and its
// TIFF encoder there drops them to 8 bits, so both formats are written by
// packed_image.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qximg {

// The significant bits of 16-bit grey rows: the bit length of the largest
// sample, at least 8.
uint32_t Grey16SignificantBits(const uint8_t *rows, uint32_t width, uint32_t height, size_t stride);

}  // namespace qximg
