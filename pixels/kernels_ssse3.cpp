// The kernels that move whole bytes, sixteen pixels at a time with SSSE3's
// byte shuffle: each output register gathers its bytes from the input
// registers they lie in. The deep-grey kernels gain nothing from it and stay
// SSE2's. Each group loads all of its input before it stores.
#include "kernel_sets.h"

#if QX_PIXELS_SSE2
#include <tmmintrin.h>

#include <array>

#include "vector_access.h"

// Compiled for SSSE3 whatever the build targets; run only where cpuid has it.
#if defined(__GNUC__)
#define QX_SSSE3 __attribute__((target("ssse3")))
#else
#define QX_SSSE3
#endif

namespace {

// Sixteen pixels of InBytes in, 3 out: output byte k of a pixel is its input
// byte k, or 2 - k when Swapped. masks[r][s] shuffles input register s into
// output register r (0x80: the byte comes from another register).
template <size_t InBytes, bool Swapped> struct Gather {
    std::array<std::array<std::array<uint8_t, 16>, InBytes>, 3> masks{};
    std::array<std::array<bool, InBytes>, 3> uses{};
    constexpr Gather() {
        for (size_t r = 0; r < 3; ++r)
            for (size_t j = 0; j < 16; ++j) {
                size_t g = 16 * r + j, k = g % 3;
                size_t from = InBytes * (g / 3) + (Swapped ? 2 - k : k);
                for (size_t s = 0; s < InBytes; ++s) masks[r][s][j] = 0x80;
                masks[r][from / 16][j] = static_cast<uint8_t>(from % 16);
                uses[r][from / 16] = true;
            }
    }
};

template <size_t InBytes, bool Swapped> constexpr Gather<InBytes, Swapped> Masks{};

// Input register s shuffled into its bytes of output register r.
template <size_t InBytes, bool Swapped>
QX_SSSE3 inline __m128i Part(__m128i in, size_t r, size_t s) {
    return _mm_shuffle_epi8(in, Load(Masks<InBytes, Swapped>.masks[r][s].data()));
}

// True when output register r takes no byte from an input register outside [first, last].
template <size_t InBytes, bool Swapped> constexpr bool TakesOnly(size_t r, size_t first, size_t last) {
    for (size_t s = 0; s < InBytes; ++s)
        if ((s < first || s > last) && Masks<InBytes, Swapped>.uses[r][s]) return false;
    return true;
}

// 4-byte pixels: output register r takes input registers r and r + 1.
template <bool Swapped> constexpr bool TakesTwoEach() {
    return TakesOnly<4, Swapped>(0, 0, 1) && TakesOnly<4, Swapped>(1, 1, 2) &&
           TakesOnly<4, Swapped>(2, 2, 3);
}
static_assert(TakesTwoEach<false>() && TakesTwoEach<true>());
template <bool Swapped> QX_SSSE3 size_t RearrangeFour(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16, src += 64, dst += 48) {
        __m128i a = Load(src), b = Load(src + 16), c = Load(src + 32), d = Load(src + 48);
        Store(dst, _mm_or_si128(Part<4, Swapped>(a, 0, 0), Part<4, Swapped>(b, 0, 1)));
        Store(dst + 16, _mm_or_si128(Part<4, Swapped>(b, 1, 1), Part<4, Swapped>(c, 1, 2)));
        Store(dst + 32, _mm_or_si128(Part<4, Swapped>(c, 2, 2), Part<4, Swapped>(d, 2, 3)));
    }
    return i;
}

// 3-byte pixels: the first and last output registers take no bytes from the
// register farthest from them.
static_assert(TakesOnly<3, true>(0, 0, 1) && TakesOnly<3, true>(2, 1, 2));
QX_SSSE3 size_t RearrangeThree(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16, src += 48, dst += 48) {
        __m128i a = Load(src), b = Load(src + 16), c = Load(src + 32);
        Store(dst, _mm_or_si128(Part<3, true>(a, 0, 0), Part<3, true>(b, 0, 1)));
        Store(dst + 16, _mm_or_si128(_mm_or_si128(Part<3, true>(a, 1, 0), Part<3, true>(b, 1, 1)),
                                     Part<3, true>(c, 1, 2)));
        Store(dst + 32, _mm_or_si128(Part<3, true>(b, 2, 1), Part<3, true>(c, 2, 2)));
    }
    return i;
}

}  // namespace

void ssse3::DropFourth(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = RearrangeFour<false>(dst, src, pixels);
    plain::DropFourth(dst + 3 * i, src + 4 * i, pixels - i);
}

void ssse3::Swap(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = RearrangeThree(dst, src, pixels);
    plain::Swap(dst + 3 * i, src + 3 * i, pixels - i);
}

void ssse3::DropFourthSwapped(uint8_t *dst, const uint8_t *src, size_t pixels) {
    size_t i = RearrangeFour<true>(dst, src, pixels);
    plain::DropFourthSwapped(dst + 3 * i, src + 4 * i, pixels - i);
}

#endif
