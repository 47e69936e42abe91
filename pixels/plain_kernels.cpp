// The kernels one pixel at a time. In place, dst stays at or below src: each
// byte is read before it is written.
#include "kernel_sets.h"

void plain::ShiftSamples(uint8_t *dst, const uint8_t *src, size_t samples, unsigned shift) {
    for (size_t i = 0; i < samples; ++i)
        dst[i] = static_cast<uint8_t>((src[2 * i] | src[2 * i + 1] << 8) >> shift);
}

void plain::Mask(uint8_t *dst, const uint8_t *src, size_t samples, uint8_t highByteMask) {
    for (size_t i = 0; i < samples; ++i) {
        dst[2 * i] = src[2 * i];
        dst[2 * i + 1] = src[2 * i + 1] & highByteMask;
    }
}

void plain::DropFourth(uint8_t *dst, const uint8_t *src, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

namespace {

// InBytes a pixel in, 3 out, first and third exchanged.
template <size_t InBytes> void Swapped(uint8_t *dst, const uint8_t *src, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, src += InBytes, dst += 3) {
        uint8_t first = src[0], second = src[1], third = src[2];
        dst[0] = third;
        dst[1] = second;
        dst[2] = first;
    }
}

}  // namespace

void plain::Swap(uint8_t *dst, const uint8_t *src, size_t pixels) { Swapped<3>(dst, src, pixels); }

void plain::DropFourthSwapped(uint8_t *dst, const uint8_t *src, size_t pixels) {
    Swapped<4>(dst, src, pixels);
}
