// Inside the kernel library: the kernels built for each instruction set, one
// of which pixel_kernels.cpp chooses at run time. Each set's functions are
// named here, so that the sets are tables of function addresses, constant
// when the program starts, whatever the order of the files' initialisation.
#pragma once

#include "pixel_kernels.h"

// x86-64 always has SSE2; 32-bit builds ask for it (-msse2, or MSVC's default
// /arch:SSE2). A build for anything else has the plain loops alone.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define QX_PIXELS_SSE2 1
#else
#define QX_PIXELS_SSE2 0
#endif

// The kernels' function types: deep grey with a shift or a mask, and whole pixels.
using ShiftKernel = void(uint8_t *dst, const uint8_t *src, size_t samples, unsigned shift);
using MaskKernel = void(uint8_t *dst, const uint8_t *src, size_t samples, uint8_t highByteMask);
using PixelKernel = void(uint8_t *dst, const uint8_t *src, size_t pixels);

struct KernelSet {
    ShiftKernel *shiftSamplesToBytes;
    MaskKernel *maskSamples;
    PixelKernel *dropFourthByte;
    PixelKernel *swapFirstAndThird;
    PixelKernel *dropFourthAndSwap;
};

// Whole rows one pixel at a time; the vector kernels finish their rows with them.
namespace plain {
ShiftKernel ShiftSamples;
MaskKernel Mask;
PixelKernel DropFourth, Swap, DropFourthSwapped;
}  // namespace plain

#if QX_PIXELS_SSE2
namespace sse2 {
ShiftKernel ShiftSamples;
MaskKernel Mask;
PixelKernel DropFourth, Swap, DropFourthSwapped;
}  // namespace sse2

// The kernels that move whole bytes; the deep-grey ones are SSE2's.
namespace ssse3 {
PixelKernel DropFourth, Swap, DropFourthSwapped;
}  // namespace ssse3
#endif
