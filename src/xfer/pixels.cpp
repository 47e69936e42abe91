#include "xfer/pixels.h"

#include <cstring>
#include <initializer_list>

#ifdef _MSC_VER
#include <stdlib.h>
#endif

// Word-at-a-time loops: every wide load of a group comes before its stores, so
// a row converted in place (dst at or below src) never reads a byte it wrote.

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
inline void Store64(uint8_t *p, uint64_t v) { memcpy(p, &v, sizeof v); }

inline uint32_t ByteSwap32(uint32_t v) {
#ifdef _MSC_VER
    return _byteswap_ulong(v);
#else
    return __builtin_bswap32(v);
#endif
}

// A 4-byte pixel cut to 3 bytes with its first and third byte exchanged, in
// the low 24 bits (one byte swap instead of three masks).
inline uint64_t Swapped24(uint32_t p) { return ByteSwap32(p << 8); }

// A mask of whole bytes of a 64-bit word, byte 0 the lowest.
constexpr uint64_t Bytes(std::initializer_list<int> positions) {
    uint64_t mask = 0;
    for (int k : positions) mask |= uint64_t(0xFF) << (8 * k);
    return mask;
}

inline uint64_t Low24(uint64_t p) { return p & 0xFFFFFF; }

// Packs eight 3-byte values (each in the low 24 bits, higher bits clear) into
// 24 bytes at dst.
inline void Store8x24(uint8_t *dst, const uint64_t (&p)[8]) {
    Store64(dst, p[0] | p[1] << 24 | p[2] << 48);
    Store64(dst + 8, p[2] >> 16 | p[3] << 8 | p[4] << 32 | p[5] << 56);
    Store64(dst + 16, p[5] >> 8 | p[6] << 16 | p[7] << 40);
}

inline void Store24(uint8_t *dst, uint32_t p) {
    dst[0] = static_cast<uint8_t>(p);
    dst[1] = static_cast<uint8_t>(p >> 8);
    dst[2] = static_cast<uint8_t>(p >> 16);
}

// The low bytes of the four 16-bit lanes of v, packed into 32 bits.
inline uint64_t PackLowBytes(uint64_t v) {
    v &= 0x00FF00FF00FF00FFull;
    v = (v | v >> 8) & 0x0000FFFF0000FFFFull;
    return (v | v >> 16) & 0xFFFFFFFFull;
}

// Reads eight 4-byte pixels from src as four 64-bit words.
inline void LoadEight32(const uint8_t *src, uint32_t (&p)[8]) {
    for (int k = 0; k < 4; ++k) {
        uint64_t w = Load64(src + 8 * k);
        p[2 * k] = static_cast<uint32_t>(w);
        p[2 * k + 1] = static_cast<uint32_t>(w >> 32);
    }
}

}  // namespace

void ShiftSamplesToBytes(uint8_t *dst, const uint8_t *src, size_t samples, unsigned shift) {
    size_t i = 0;
    // A lane shifted by at most 8 takes its 8 bits from within itself.
    if (shift <= 8)
        for (; i + 8 <= samples; i += 8) {
            uint64_t a = Load64(src + 2 * i) >> shift, b = Load64(src + 2 * i + 8) >> shift;
            Store64(dst + i, PackLowBytes(a) | PackLowBytes(b) << 32);
        }
    for (; i < samples; ++i) dst[i] = static_cast<uint8_t>(Load16(src + 2 * i) >> shift);
}

void MaskSamples(uint8_t *dst, const uint8_t *src, size_t samples, uint8_t highByteMask) {
    const uint64_t lane = uint64_t(highByteMask) << 8 | 0xFF;
    const uint64_t mask = lane * 0x0001000100010001ull;
    size_t i = 0;
    for (; i + 8 <= samples; i += 8) {
        uint64_t a = Load64(src + 2 * i), b = Load64(src + 2 * i + 8);
        Store64(dst + 2 * i, a & mask);
        Store64(dst + 2 * i + 8, b & mask);
    }
    for (; i < samples; ++i)
        Store16(dst + 2 * i, static_cast<uint16_t>(Load16(src + 2 * i) & lane));
}

void DropFourthByte(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = 0;
    for (; i + 8 <= pixels; i += 8, src += 32, dst += 24) {
        uint32_t p[8];
        LoadEight32(src, p);
        uint64_t q[8];
        for (int k = 0; k < 8; ++k) q[k] = Low24(p[k]);
        Store8x24(dst, q);
    }
    for (; i < pixels; ++i, src += 4, dst += 3) Store24(dst, Load32(src));
}

void SwapFirstAndThird(uint8_t *dst, const uint8_t *src, size_t pixels) {
    // Eight pixels are three words: within a word the outer bytes move two
    // places (16 bits) either way; the pairs split across words (bytes 6|8
    // and 15|17 of the group) are moved by the cross terms.
    size_t i = 0;
    for (; i + 8 <= pixels; i += 8, src += 24, dst += 24) {
        uint64_t a = Load64(src), b = Load64(src + 8), c = Load64(src + 16);
        Store64(dst, (a & Bytes({1, 4, 7})) | (a >> 16 & Bytes({0, 3})) |
                         (a << 16 & Bytes({2, 5})) | (b << 48 & Bytes({6})));
        Store64(dst + 8, (b & Bytes({2, 5})) | (b >> 16 & Bytes({1, 4})) |
                             (b << 16 & Bytes({3, 6})) | (a >> 48 & Bytes({0})) |
                             (c << 48 & Bytes({7})));
        Store64(dst + 16, (c & Bytes({0, 3, 6})) | (c >> 16 & Bytes({2, 5})) |
                              (c << 16 & Bytes({4, 7})) | (b >> 48 & Bytes({1})));
    }
    for (; i < pixels; ++i, src += 3, dst += 3) {
        uint8_t first = src[0], second = src[1], third = src[2];
        dst[0] = third;
        dst[1] = second;
        dst[2] = first;
    }
}

void DropFourthAndSwap(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = 0;
    for (; i + 8 <= pixels; i += 8, src += 32, dst += 24) {
        uint32_t p[8];
        LoadEight32(src, p);
        uint64_t q[8];
        for (int k = 0; k < 8; ++k) q[k] = Swapped24(p[k]);
        Store8x24(dst, q);
    }
    for (; i < pixels; ++i, src += 4, dst += 3) Store24(dst, static_cast<uint32_t>(Swapped24(Load32(src))));
}
