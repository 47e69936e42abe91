// The kernels with one build for every instruction set: lookups, fills and
// conversions that the compiler vectorises where it can. In place, dst stays
// at or below src.
#include <cstring>

#include "luminance.h"
#include "pixel_kernels.h"

void NarrowPixels(uint8_t *dst, const uint8_t *src, size_t pixels, unsigned outBytes,
                  uint8_t fourthMask) {
    const uint8_t masks[4] = {0xFF, 0xFF, 0xFF, fourthMask};
    for (size_t i = 0; i < pixels; ++i, src += 4, dst += outBytes)
        for (unsigned k = 0; k < outBytes; ++k) dst[k] = src[k] & masks[k];
}

bool GreyOfFour(uint8_t *dst, const uint8_t *src, size_t pixels) {
    unsigned differs = 0;
    for (size_t i = 0; i < pixels; ++i, src += 4) {
        differs |= unsigned(src[0] ^ src[1]) | unsigned(src[1] ^ src[2]);
        dst[i] = src[0];
    }
    return differs == 0;
}

void LuminanceOfPixels(uint8_t *dst, const uint8_t *src, size_t pixels, unsigned inBytes) {
    for (size_t i = 0; i < pixels; ++i, src += inBytes) dst[i] = Luminance(src[0], src[1], src[2]);
}

void OpaquePixels(uint8_t *dst, const uint8_t *src, size_t pixels, unsigned inBytes) {
    for (size_t i = 0; i < pixels; ++i, src += inBytes, dst += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = 255;
    }
}

void LookUpPixels(uint8_t *dst, const uint8_t *src, size_t pixels, const uint8_t (*table)[4],
                  unsigned outBytes) {
    for (size_t i = 0; i < pixels; ++i, dst += outBytes)
        for (unsigned k = 0; k < outBytes; ++k) dst[k] = table[src[i]][k];
}

void LookUpWords(uint8_t *dst, const uint8_t *src, size_t pixels, const uint8_t (*table)[4],
                 unsigned outBytes) {
    for (size_t i = 0; i < pixels; ++i, src += 2, dst += outBytes)
        for (unsigned k = 0; k < outBytes; ++k) dst[k] = table[src[0] | src[1] << 8][k];
}

void RepeatPixel(uint8_t *dst, const uint8_t *pixel, size_t pixelBytes, size_t count) {
    // One pixel, then the filled part copied onto the rest, doubling each time.
    const size_t total = pixelBytes * count;
    if (total == 0) return;
    memcpy(dst, pixel, pixelBytes);
    for (size_t done = pixelBytes; done < total; done *= 2)
        memcpy(dst + done, dst, done < total - done ? done : total - done);
}

uint32_t OrOfSamples(const uint8_t *src, size_t samples) {
    uint32_t low = 0, high = 0;
    for (size_t i = 0; i < 2 * samples; i += 2) {
        low |= src[i];
        high |= src[i + 1];
    }
    return high << 8 | low;
}

void ScaleSamplesToFullRange(uint8_t *dst, const uint8_t *src, size_t samples, unsigned bits,
                             ByteOrder order) {
    const uint32_t mask = (1u << bits) - 1, up = 16 - bits, down = 2 * bits - 16;
    const size_t high = order == ByteOrder::BigEndian ? 0 : 1;
    for (size_t i = 0; i < 2 * samples; i += 2) {
        uint32_t v = (src[i] | src[i + 1] << 8) & mask;
        v = v << up | v >> down;
        dst[i + high] = uint8_t(v >> 8);
        dst[i + 1 - high] = uint8_t(v);
    }
}
