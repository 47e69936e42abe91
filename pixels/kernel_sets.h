// Inside the kernel library: the kernels built for each instruction set, one
// of which pixel_kernels.cpp chooses at run time.
#pragma once

#include "pixel_kernels.h"

// x86-64 always has SSE2; 32-bit builds ask for it (-msse2, or MSVC's default
// /arch:SSE2). A build for anything else has the plain loops alone.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define QX_PIXELS_SSE2 1
#else
#define QX_PIXELS_SSE2 0
#endif

struct KernelSet {
    void (*shiftSamplesToBytes)(uint8_t *dst, const uint8_t *src, size_t samples, unsigned shift);
    void (*maskSamples)(uint8_t *dst, const uint8_t *src, size_t samples, uint8_t highByteMask);
    void (*dropFourthByte)(uint8_t *dst, const uint8_t *src, size_t pixels);
    void (*swapFirstAndThird)(uint8_t *dst, const uint8_t *src, size_t pixels);
    void (*dropFourthAndSwap)(uint8_t *dst, const uint8_t *src, size_t pixels);
};

// Whole rows one pixel at a time; the vector kernels finish their rows with them.
extern const KernelSet PlainKernels;

#if QX_PIXELS_SSE2
extern const KernelSet Sse2Kernels;
extern const KernelSet Ssse3Kernels;
#endif
