// Row kernels: one pass over one row of pixels. Every loop of the source, the
// tools, the image library and the simulated board that converts, copies,
// looks up or fills pixels is one of these; the loops that compute a
// pattern's samples from their position (the simulated board's ramp and
// noise lines, made once per configuration) are the pattern's own. Tight
// loops, no per-pixel calls, rows of any length and any alignment. The
// kernels of the transfer paths are built for SSE2 on both Windows
// architectures, and those that move whole bytes use SSSE3's byte shuffle
// where the processor has it; the others have one build.
// Unless noted, dst and src may be the same row (conversion in place) but must
// not otherwise overlap.
#pragma once

#include <cstddef>
#include <cstdint>

// Deep grey to 8 bits: each 16-bit little-endian sample shifted right by
// `shift`, low 8 bits kept. Writes `samples` bytes.
void ShiftSamplesToBytes(uint8_t *dst, const uint8_t *src, size_t samples, unsigned shift);

// Deep grey kept as 16-bit little-endian words with the bits above the depth
// cleared: the high byte of every sample is ANDed with highByteMask.
void MaskSamples(uint8_t *dst, const uint8_t *src, size_t samples, uint8_t highByteMask);

// 4-byte pixels cut to their first 3 bytes, order kept. Writes pixels x 3 bytes.
void DropFourthByte(uint8_t *dst, const uint8_t *src, size_t pixels);

// 3-byte pixels with their first and third byte exchanged.
void SwapFirstAndThird(uint8_t *dst, const uint8_t *src, size_t pixels);

// 4-byte pixels cut to 3 bytes with the first and third byte exchanged.
void DropFourthAndSwap(uint8_t *dst, const uint8_t *src, size_t pixels);

// 4-byte pixels to their first outBytes bytes (1 to 4); a fourth byte kept is
// ANDed with fourthMask.
void NarrowPixels(uint8_t *dst, const uint8_t *src, size_t pixels, unsigned outBytes,
                  uint8_t fourthMask);

// 4-byte B, G, R(, A) pixels to one byte each, their first byte; returns
// whether every pixel was grey (its first three bytes equal).
bool GreyOfFour(uint8_t *dst, const uint8_t *src, size_t pixels);

// B, G, R pixels of inBytes bytes (3 or 4) to their luminance (luminance.h),
// one byte each.
void LuminanceOfPixels(uint8_t *dst, const uint8_t *src, size_t pixels, unsigned inBytes);

// B, G, R pixels of inBytes bytes (3 or 4) to 4 bytes: B, G, R and 255. Not in place.
void OpaquePixels(uint8_t *dst, const uint8_t *src, size_t pixels, unsigned inBytes);

// Each byte of src picks an entry of table (256 entries of 4 bytes), whose
// first outBytes bytes (1 to 4) are written. Not in place.
void LookUpPixels(uint8_t *dst, const uint8_t *src, size_t pixels, const uint8_t (*table)[4],
                  unsigned outBytes);

// Each 16-bit little-endian word of src picks an entry of table (65536
// entries of 4 bytes), whose first outBytes bytes (1 to 4) are written. Not in place.
void LookUpWords(uint8_t *dst, const uint8_t *src, size_t pixels, const uint8_t (*table)[4],
                 unsigned outBytes);

// count copies of the pixelBytes bytes at pixel, which must lie outside the row.
void RepeatPixel(uint8_t *dst, const uint8_t *pixel, size_t pixelBytes, size_t count);

// The bitwise OR of 16-bit little-endian samples: the bit length of the
// largest sample is that of the result.
uint32_t OrOfSamples(const uint8_t *src, size_t samples);

// 16-bit little-endian samples whose low `bits` bits (8 to 16) carry the
// sample, scaled to the full 16-bit range by repeating the sample's top bits
// below it (0 stays 0, the largest sample becomes 65535), stored in `order`.
enum class ByteOrder { LittleEndian, BigEndian };
void ScaleSamplesToFullRange(uint8_t *dst, const uint8_t *src, size_t samples, unsigned bits,
                             ByteOrder order);

// The mask that clears the bits above a grey depth of 9 to 16 in a sample's high byte.
constexpr uint8_t HighByteMaskFor(unsigned bitDepth) {
    return bitDepth >= 16 ? 0xFF : static_cast<uint8_t>((1u << (bitDepth - 8)) - 1);
}

// The instruction sets the kernels are built for, each including the one before.
enum class PixelIsa { Plain, Sse2, Ssse3 };

// The richest set this build and processor run; the kernels use it unless told otherwise.
PixelIsa BestPixelIsa();

// Makes the kernels use `isa` (at most BestPixelIsa()): lets tests compare every set.
void UsePixelIsa(PixelIsa isa);
