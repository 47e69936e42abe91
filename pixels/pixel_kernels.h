// Row kernels: one pass over one row of pixels, the only per-pixel loops of
// the source and the simulated board. Tight loops, no per-pixel calls. Built
// for SSE2 on both Windows architectures; the kernels that move whole bytes
// use SSSE3's byte shuffle where the processor has it. Rows of any length
// and any alignment.
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
