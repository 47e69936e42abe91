// The kernels callers see: each runs the set of the richest instruction set
// the processor has, chosen once from cpuid.
#include "pixel_kernels.h"

#include "kernel_sets.h"

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace {

bool HasSsse3() {
#if defined(_MSC_VER)
    int registers[4];
    __cpuid(registers, 1);
    return (registers[2] & (1 << 9)) != 0;
#elif defined(__GNUC__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
#else
    return false;
#endif
}

constexpr KernelSet PlainKernels = {plain::ShiftSamples, plain::Mask, plain::DropFourth, plain::Swap,
                                    plain::DropFourthSwapped};
#if QX_PIXELS_SSE2
constexpr KernelSet Sse2Kernels = {sse2::ShiftSamples, sse2::Mask, sse2::DropFourth, sse2::Swap,
                                   sse2::DropFourthSwapped};
constexpr KernelSet Ssse3Kernels = {sse2::ShiftSamples, sse2::Mask, ssse3::DropFourth, ssse3::Swap,
                                    ssse3::DropFourthSwapped};
#endif

const KernelSet &SetFor(PixelIsa isa) {
#if QX_PIXELS_SSE2
    if (isa == PixelIsa::Ssse3) return Ssse3Kernels;
    if (isa == PixelIsa::Sse2) return Sse2Kernels;
#endif
    (void)isa;
    return PlainKernels;
}

const KernelSet *&Active() {
    static const KernelSet *set = &SetFor(BestPixelIsa());
    return set;
}

}  // namespace

PixelIsa BestPixelIsa() {
    if (!QX_PIXELS_SSE2) return PixelIsa::Plain;
    return HasSsse3() ? PixelIsa::Ssse3 : PixelIsa::Sse2;
}

void UsePixelIsa(PixelIsa isa) { Active() = &SetFor(isa); }

void ShiftSamplesToBytes(uint8_t *dst, const uint8_t *src, size_t samples, unsigned shift) {
    Active()->shiftSamplesToBytes(dst, src, samples, shift);
}

void MaskSamples(uint8_t *dst, const uint8_t *src, size_t samples, uint8_t highByteMask) {
    Active()->maskSamples(dst, src, samples, highByteMask);
}

void DropFourthByte(uint8_t *dst, const uint8_t *src, size_t pixels) {
    Active()->dropFourthByte(dst, src, pixels);
}

void SwapFirstAndThird(uint8_t *dst, const uint8_t *src, size_t pixels) {
    Active()->swapFirstAndThird(dst, src, pixels);
}

void DropFourthAndSwap(uint8_t *dst, const uint8_t *src, size_t pixels) {
    Active()->dropFourthAndSwap(dst, src, pixels);
}
