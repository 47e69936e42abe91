// The row kernels of every instruction set this processor runs against a plain
// byte-by-byte reference: every row length from 0 to 70 pixels (no vector
// group, one or several, and every tail), every alignment 0-15 of the source
// and of the destination, and in place. Nothing may be written outside the
// destination row.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "pixel_kernels.h"

namespace {

constexpr size_t MaxPixels = 70, Alignments = 16, MaxPixelBytes = 4;
constexpr uint8_t Guard = 0xA5;

typedef std::function<void(uint8_t *, const uint8_t *, size_t)> RowFunction;

struct Kernel {
    std::string name;
    size_t inBytes, outBytes;  // of one pixel
    RowFunction run, reference;
};

// Output byte k of a pixel is input byte from[k]: the reference of the kernels
// that keep or move whole bytes.
RowFunction Rearranged(size_t inBytes, std::vector<size_t> from) {
    return [inBytes, from](uint8_t *dst, const uint8_t *src, size_t pixels) {
        for (size_t i = 0; i < pixels; ++i)
            for (size_t k = 0; k < from.size(); ++k)
                dst[from.size() * i + k] = src[inBytes * i + from[k]];
    };
}

std::vector<Kernel> Kernels() {
    std::vector<Kernel> kernels = {
        {"DropFourthByte", 4, 3, DropFourthByte, Rearranged(4, {0, 1, 2})},
        {"SwapFirstAndThird", 3, 3, SwapFirstAndThird, Rearranged(3, {2, 1, 0})},
        {"DropFourthAndSwap", 4, 3, DropFourthAndSwap, Rearranged(4, {2, 1, 0})},
    };
    // 1 to 8: the depths 9 to 16; 9 and 10: bits from beyond the sample are not taken.
    for (unsigned shift = 1; shift <= 10; ++shift)
        kernels.push_back(
            {"ShiftSamplesToBytes by " + std::to_string(shift), 2, 1,
             [shift](uint8_t *d, const uint8_t *s, size_t n) { ShiftSamplesToBytes(d, s, n, shift); },
             [shift](uint8_t *d, const uint8_t *s, size_t n) {
                 for (size_t i = 0; i < n; ++i) d[i] = uint8_t((s[2 * i] | s[2 * i + 1] << 8) >> shift);
             }});
    for (unsigned depth = 9; depth <= 16; ++depth) {
        uint8_t mask = HighByteMaskFor(depth);
        kernels.push_back(
            {"MaskSamples for depth " + std::to_string(depth), 2, 2,
             [mask](uint8_t *d, const uint8_t *s, size_t n) { MaskSamples(d, s, n, mask); },
             [depth](uint8_t *d, const uint8_t *s, size_t n) {
                 for (size_t i = 0; i < 2 * n; ++i) d[i] = i % 2 ? s[i] % (1u << (depth - 8)) : s[i];
             }});
    }
    return kernels;
}

// Every byte of `buffer` outside [from, from + expected.size()) is the guard,
// and inside it the expected row.
::testing::AssertionResult RowAt(const std::vector<uint8_t> &buffer, size_t from,
                                 const std::vector<uint8_t> &expected) {
    for (size_t i = 0; i < buffer.size(); ++i) {
        bool inRow = i >= from && i - from < expected.size();
        if (buffer[i] != (inRow ? expected[i - from] : Guard))
            return ::testing::AssertionFailure()
                   << (inRow ? "wrong row byte " : "wrote outside the row, buffer byte ")
                   << (inRow ? i - from : i);
    }
    return ::testing::AssertionSuccess();
}

void ExpectMatchesReference(const Kernel &k, const std::vector<uint8_t> &input) {
    for (size_t n = 0; n <= MaxPixels; ++n)
        for (size_t from = 0; from < Alignments; ++from) {
            SCOPED_TRACE(::testing::Message() << k.name << ", " << n << " pixels, source at " << from);
            const uint8_t *src = input.data() + from;
            std::vector<uint8_t> expected(n * k.outBytes);
            k.reference(expected.data(), src, n);
            std::vector<uint8_t> out(2 * Alignments + MaxPixels * MaxPixelBytes);
            for (size_t to = 0; to < Alignments; ++to) {
                std::fill(out.begin(), out.end(), Guard);
                k.run(out.data() + to, src, n);
                ASSERT_TRUE(RowAt(out, to, expected)) << "destination at " << to;
            }
            std::vector<uint8_t> row(out.size(), Guard);
            std::copy(src, src + n * k.inBytes, row.begin() + from);
            k.run(row.data() + from, row.data() + from, n);
            row.resize(from + expected.size());
            ASSERT_EQ(std::vector<uint8_t>(row.begin() + from, row.end()), expected) << "in place";
        }
}

TEST(PixelKernels, MatchTheReferenceAtEveryLengthAndAlignment) {
    std::vector<uint8_t> input(Alignments + MaxPixels * MaxPixelBytes);
    uint32_t seed = 12345;
    for (uint8_t &b : input) b = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
    // Both Windows architectures build the vector kernels.
    ASSERT_NE(BestPixelIsa(), PixelIsa::Plain);
    for (int isa = 0; isa <= int(BestPixelIsa()); ++isa) {
        SCOPED_TRACE(::testing::Message() << "instruction set " << isa);
        UsePixelIsa(PixelIsa(isa));
        for (const Kernel &k : Kernels()) ExpectMatchesReference(k, input);
    }
    UsePixelIsa(BestPixelIsa());
}

TEST(PixelKernels, HighByteMasks) {
    EXPECT_EQ(HighByteMaskFor(10), 0x03);
    EXPECT_EQ(HighByteMaskFor(12), 0x0F);
    EXPECT_EQ(HighByteMaskFor(14), 0x3F);
    EXPECT_EQ(HighByteMaskFor(16), 0xFF);
}

}  // namespace
