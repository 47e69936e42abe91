// The kernels one pixel at a time. In place, dst stays at or below src: each
// byte is read before it is written.
#include "kernel_sets.h"

namespace {

void ShiftSamples(uint8_t *dst, const uint8_t *src, size_t samples, unsigned shift) {
    for (size_t i = 0; i < samples; ++i)
        dst[i] = static_cast<uint8_t>((src[2 * i] | src[2 * i + 1] << 8) >> shift);
}

void Mask(uint8_t *dst, const uint8_t *src, size_t samples, uint8_t highByteMask) {
    for (size_t i = 0; i < samples; ++i) {
        dst[2 * i] = src[2 * i];
        dst[2 * i + 1] = src[2 * i + 1] & highByteMask;
    }
}

void DropFourth(uint8_t *dst, const uint8_t *src, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

// InBytes a pixel in, 3 out, first and third exchanged.
template <size_t InBytes> void Swap(uint8_t *dst, const uint8_t *src, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, src += InBytes, dst += 3) {
        uint8_t first = src[0], second = src[1], third = src[2];
        dst[0] = third;
        dst[1] = second;
        dst[2] = first;
    }
}

}  // namespace

const KernelSet PlainKernels = {ShiftSamples, Mask, DropFourth, Swap<3>, Swap<4>};
