#include "xfer/pixels.h"

#include <cstring>

namespace {

// Unaligned little-endian loads and stores; compilers turn these into plain moves.
inline uint16_t Load16(const uint8_t *p) {
    uint16_t v;
    memcpy(&v, p, sizeof v);
    return v;
}
inline uint32_t Load32(const uint8_t *p) {
    uint32_t v;
    memcpy(&v, p, sizeof v);
    return v;
}
inline uint64_t Load64(const uint8_t *p) {
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return v;
}
inline void Store16(uint8_t *p, uint16_t v) { memcpy(p, &v, sizeof v); }
inline void Store32(uint8_t *p, uint32_t v) { memcpy(p, &v, sizeof v); }
inline void Store64(uint8_t *p, uint64_t v) { memcpy(p, &v, sizeof v); }

inline uint32_t SwapOuterBytes(uint32_t p) {
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}

// Packs four 3-byte values (in the low 24 bits of each) into 12 bytes at dst.
// Every source byte is read before dst is written, so in-place packing is safe.
inline void Store4x24(uint8_t *dst, uint64_t p0, uint64_t p1, uint64_t p2, uint64_t p3) {
    Store64(dst, p0 | (p1 << 24) | (p2 << 48));
    Store32(dst + 8, static_cast<uint32_t>((p2 >> 16) | (p3 << 8)));
}

inline void Store24(uint8_t *dst, uint32_t p) {
    dst[0] = static_cast<uint8_t>(p);
    dst[1] = static_cast<uint8_t>(p >> 8);
    dst[2] = static_cast<uint8_t>(p >> 16);
}

}  // namespace

void ShiftSamplesToBytes(uint8_t *dst, const uint8_t *src, size_t samples, unsigned shift) {
    for (size_t i = 0; i < samples; ++i)
        dst[i] = static_cast<uint8_t>(Load16(src + 2 * i) >> shift);
}

void MaskSamples(uint8_t *dst, const uint8_t *src, size_t samples, uint8_t highByteMask) {
    const uint16_t mask = static_cast<uint16_t>(highByteMask << 8 | 0xFF);
    for (size_t i = 0; i < samples; ++i) Store16(dst + 2 * i, Load16(src + 2 * i) & mask);
}

void DropFourthByte(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = 0;
    for (; i + 4 <= pixels; i += 4, src += 16, dst += 12) {
        uint64_t a = Load64(src), b = Load64(src + 8);
        Store4x24(dst, a & 0xFFFFFF, (a >> 32) & 0xFFFFFF, b & 0xFFFFFF, (b >> 32) & 0xFFFFFF);
    }
    for (; i < pixels; ++i, src += 4, dst += 3) Store24(dst, Load32(src));
}

void SwapFirstAndThird(uint8_t *dst, const uint8_t *src, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, src += 3, dst += 3) {
        uint8_t first = src[0], second = src[1], third = src[2];
        dst[0] = third;
        dst[1] = second;
        dst[2] = first;
    }
}

void DropFourthAndSwap(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = 0;
    for (; i + 4 <= pixels; i += 4, src += 16, dst += 12) {
        uint64_t a = Load64(src), b = Load64(src + 8);
        Store4x24(dst, SwapOuterBytes(static_cast<uint32_t>(a)),
                  SwapOuterBytes(static_cast<uint32_t>(a >> 32)),
                  SwapOuterBytes(static_cast<uint32_t>(b)),
                  SwapOuterBytes(static_cast<uint32_t>(b >> 32)));
    }
    for (; i < pixels; ++i, src += 4, dst += 3) Store24(dst, SwapOuterBytes(Load32(src)));
}
