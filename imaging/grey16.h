// 16-bit grey, the one sample format deeper than 8 bits that the tools and
// the simulated board write: little-endian words whose low `bits` bits
// (8 to 16) carry the sample. WIC's PNG encoder stores such words in the
// wrong byte order under Wine and its TIFF encoder there drops them to 8 bits,
// so both formats are written here, on zlib and by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qximg {

// The significant bits of 16-bit grey rows: the bit length of the largest
// sample, at least 8.
uint32_t Grey16SignificantBits(const uint8_t *rows, uint32_t width, uint32_t height, size_t stride);

// PNG (16-bit grey) or TIFF (uncompressed, 16-bit grey), the samples scaled to
// the full 16-bit range by bit replication.
bool WriteGrey16Png(const std::string &path, uint32_t width, uint32_t height, const uint8_t *rows,
                    size_t stride, uint32_t bits, std::string *error);
bool WriteGrey16Tiff(const std::string &path, uint32_t width, uint32_t height, const uint8_t *rows,
                     size_t stride, uint32_t bits, std::string *error);

}  // namespace qximg
