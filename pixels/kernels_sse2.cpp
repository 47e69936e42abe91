// The kernels sixteen pixels at a time with SSE2. Each group loads all of its
// input before it stores, and writes no further than it has read: a row
// converted in place never reads a byte it wrote. The plain loops finish a row.
#include "kernel_sets.h"

#if QX_PIXELS_SSE2
#include <emmintrin.h>

#include <array>

#include "vector_access.h"

namespace {

// Four 4-byte pixels to their first three bytes, packed into the low 12 bytes
// (the top 4 are zero): within each 64-bit lane the second pixel moves down
// one byte, then the upper lane two bytes.
inline __m128i PackThreeOfFour(__m128i x) {
    const __m128i first = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
    const __m128i second = _mm_set_epi32(0x0000FFFF, int(0xFF000000), 0x0000FFFF, int(0xFF000000));
    const __m128i lowLane = _mm_set_epi32(0, 0, 0x0000FFFF, -1);
    __m128i t = _mm_or_si128(_mm_and_si128(x, first), _mm_and_si128(_mm_srli_epi64(x, 8), second));
    return _mm_or_si128(_mm_and_si128(t, lowLane), _mm_andnot_si128(lowLane, _mm_srli_si128(t, 2)));
}

// Four packed groups of 12 bytes stored as 48 bytes.
inline void StoreFourTwelves(uint8_t *dst, __m128i a, __m128i b, __m128i c, __m128i d) {
    Store(dst, _mm_or_si128(a, _mm_slli_si128(b, 12)));
    Store(dst + 16, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    Store(dst + 32, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
}

// First and third byte of each 4-byte pixel exchanged.
inline __m128i SwapInFour(__m128i x) {
    const __m128i middle = _mm_set1_epi32(0x0000FF00);
    const __m128i low = _mm_set1_epi32(0x000000FF);
    const __m128i third = _mm_set1_epi32(0x00FF0000);
    return _mm_or_si128(_mm_and_si128(x, middle),
                        _mm_or_si128(_mm_and_si128(_mm_srli_epi32(x, 16), low),
                                     _mm_and_si128(_mm_slli_epi32(x, 16), third)));
}

// 0xFF at every third byte from the first: loaded at offset k, the bytes j
// of a register with j % 3 == (3 - k) % 3.
constexpr std::array<uint8_t, 18> EveryThird = [] {
    std::array<uint8_t, 18> bytes{};
    for (size_t j = 0; j < bytes.size(); j += 3) bytes[j] = 0xFF;
    return bytes;
}();

}  // namespace

void sse2::ShiftSamples(uint8_t *dst, const uint8_t *src, size_t samples, unsigned shift) {
    const __m128i count = _mm_cvtsi32_si128(int(shift));
    const __m128i low = _mm_set1_epi16(0xFF);
    size_t i = 0;
    for (; i + 16 <= samples; i += 16) {
        __m128i a = _mm_and_si128(_mm_srl_epi16(Load(src + 2 * i), count), low);
        __m128i b = _mm_and_si128(_mm_srl_epi16(Load(src + 2 * i + 16), count), low);
        Store(dst + i, _mm_packus_epi16(a, b));
    }
    plain::ShiftSamples(dst + i, src + 2 * i, samples - i, shift);
}

void sse2::Mask(uint8_t *dst, const uint8_t *src, size_t samples, uint8_t highByteMask) {
    const __m128i mask = _mm_set1_epi16(static_cast<short>(highByteMask << 8 | 0xFF));
    size_t i = 0;
    for (; i + 16 <= samples; i += 16) {
        __m128i a = Load(src + 2 * i), b = Load(src + 2 * i + 16);
        Store(dst + 2 * i, _mm_and_si128(a, mask));
        Store(dst + 2 * i + 16, _mm_and_si128(b, mask));
    }
    plain::Mask(dst + 2 * i, src + 2 * i, samples - i, highByteMask);
}

void sse2::DropFourth(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16, src += 64, dst += 48) {
        __m128i a = Load(src), b = Load(src + 16), c = Load(src + 32), d = Load(src + 48);
        StoreFourTwelves(dst, PackThreeOfFour(a), PackThreeOfFour(b), PackThreeOfFour(c),
                         PackThreeOfFour(d));
    }
    plain::DropFourth(dst, src, pixels - i);
}

void sse2::DropFourthSwapped(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16, src += 64, dst += 48) {
        __m128i a = Load(src), b = Load(src + 16), c = Load(src + 32), d = Load(src + 48);
        StoreFourTwelves(dst, PackThreeOfFour(SwapInFour(a)), PackThreeOfFour(SwapInFour(b)),
                         PackThreeOfFour(SwapInFour(c)), PackThreeOfFour(SwapInFour(d)));
    }
    plain::DropFourthSwapped(dst, src, pixels - i);
}

void sse2::Swap(uint8_t *dst, const uint8_t *src, size_t pixels) {
    // Sixteen pixels are three registers a, b, c. Byte g of the group stays
    // when g % 3 == 1, takes byte g + 2 when g % 3 == 0 and byte g - 2 when
    // g % 3 == 2; a register starts one place further along that cycle than
    // the one before it (16 % 3 == 1), and bytes that cross a register
    // boundary come from its neighbour.
    const __m128i m0 = Load(EveryThird.data()), m1 = Load(EveryThird.data() + 2),
                  m2 = Load(EveryThird.data() + 1);
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16, src += 48, dst += 48) {
        __m128i a = Load(src), b = Load(src + 16), c = Load(src + 32);
        __m128i aUp = _mm_or_si128(_mm_srli_si128(a, 2), _mm_slli_si128(b, 14));
        __m128i bUp = _mm_or_si128(_mm_srli_si128(b, 2), _mm_slli_si128(c, 14));
        __m128i cUp = _mm_srli_si128(c, 2);
        __m128i aDown = _mm_slli_si128(a, 2);
        __m128i bDown = _mm_or_si128(_mm_slli_si128(b, 2), _mm_srli_si128(a, 14));
        __m128i cDown = _mm_or_si128(_mm_slli_si128(c, 2), _mm_srli_si128(b, 14));
        Store(dst, _mm_or_si128(_mm_and_si128(a, m1),
                                _mm_or_si128(_mm_and_si128(aUp, m0), _mm_and_si128(aDown, m2))));
        Store(dst + 16, _mm_or_si128(_mm_and_si128(b, m0),
                                     _mm_or_si128(_mm_and_si128(bUp, m2), _mm_and_si128(bDown, m1))));
        Store(dst + 32, _mm_or_si128(_mm_and_si128(c, m2),
                                     _mm_or_si128(_mm_and_si128(cUp, m1), _mm_and_si128(cDown, m0))));
    }
    plain::Swap(dst, src, pixels - i);
}

#endif
