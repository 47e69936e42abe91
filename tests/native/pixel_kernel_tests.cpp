// The row kernels on their own, against a byte-by-byte reading of what each
// must produce: every row length from 0 to 33 pixels (none, one or several
// groups of the word-at-a-time loops, and every tail), into a separate row
// and in place.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "xfer/pixels.h"

namespace {

constexpr size_t MaxPixels = 34;

std::vector<uint8_t> Row(size_t bytes) {
    std::vector<uint8_t> row(bytes);
    for (size_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(i * 37 + 11);
    return row;
}

// Runs kernel into a fresh row and in place; both must match expected, and the
// separate output must not be written past its end.
template <class Kernel>
void ExpectKernel(size_t inBytes, const std::vector<uint8_t> &expected, Kernel kernel) {
    const std::vector<uint8_t> in = Row(inBytes);
    constexpr uint8_t Guard = 0xA5;
    std::vector<uint8_t> out(expected.size() + 8, Guard);
    kernel(out.data(), in.data());
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + expected.size()), expected);
    for (size_t i = expected.size(); i < out.size(); ++i) EXPECT_EQ(out[i], Guard) << "wrote past the row";

    std::vector<uint8_t> same = in;
    kernel(same.data(), same.data());
    EXPECT_EQ(std::vector<uint8_t>(same.begin(), same.begin() + expected.size()), expected)
        << "in place";
}

TEST(PixelKernels, ShiftSamplesToBytes) {
    // 1 to 8: the depths 9 to 16; 9 and 10: bits from beyond the sample are not taken.
    for (unsigned shift = 1; shift <= 10; ++shift)
        for (size_t n = 0; n < MaxPixels; ++n) {
            SCOPED_TRACE(testing::Message() << "shift " << shift << ", " << n << " samples");
            std::vector<uint8_t> in = Row(2 * n), expected(n);
            for (size_t i = 0; i < n; ++i)
                expected[i] = static_cast<uint8_t>((in[2 * i] | in[2 * i + 1] << 8) >> shift);
            ExpectKernel(2 * n, expected,
                         [&](uint8_t *d, const uint8_t *s) { ShiftSamplesToBytes(d, s, n, shift); });
        }
}

TEST(PixelKernels, MaskSamples) {
    for (unsigned depth = 9; depth <= 16; ++depth)
        for (size_t n = 0; n < MaxPixels; ++n) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << ", " << n << " samples");
            std::vector<uint8_t> expected = Row(2 * n);
            for (size_t i = 0; i < n; ++i) expected[2 * i + 1] &= (1u << (depth - 8)) - 1;
            ExpectKernel(2 * n, expected, [&](uint8_t *d, const uint8_t *s) {
                MaskSamples(d, s, n, HighByteMaskFor(depth));
            });
        }
    EXPECT_EQ(HighByteMaskFor(10), 0x03);
    EXPECT_EQ(HighByteMaskFor(12), 0x0F);
    EXPECT_EQ(HighByteMaskFor(14), 0x3F);
    EXPECT_EQ(HighByteMaskFor(16), 0xFF);
}

TEST(PixelKernels, DropFourthByte) {
    for (size_t n = 0; n < MaxPixels; ++n) {
        SCOPED_TRACE(n);
        std::vector<uint8_t> in = Row(4 * n), expected;
        for (size_t i = 0; i < n; ++i) expected.insert(expected.end(), {in[4 * i], in[4 * i + 1], in[4 * i + 2]});
        ExpectKernel(4 * n, expected, [&](uint8_t *d, const uint8_t *s) { DropFourthByte(d, s, n); });
    }
}

TEST(PixelKernels, SwapFirstAndThird) {
    for (size_t n = 0; n < MaxPixels; ++n) {
        SCOPED_TRACE(n);
        std::vector<uint8_t> in = Row(3 * n), expected;
        for (size_t i = 0; i < n; ++i) expected.insert(expected.end(), {in[3 * i + 2], in[3 * i + 1], in[3 * i]});
        ExpectKernel(3 * n, expected, [&](uint8_t *d, const uint8_t *s) { SwapFirstAndThird(d, s, n); });
    }
}

TEST(PixelKernels, DropFourthAndSwap) {
    for (size_t n = 0; n < MaxPixels; ++n) {
        SCOPED_TRACE(n);
        std::vector<uint8_t> in = Row(4 * n), expected;
        for (size_t i = 0; i < n; ++i) expected.insert(expected.end(), {in[4 * i + 2], in[4 * i + 1], in[4 * i]});
        ExpectKernel(4 * n, expected, [&](uint8_t *d, const uint8_t *s) { DropFourthAndSwap(d, s, n); });
    }
}

}  // namespace
