// The row kernels of every instruction set this processor runs against a plain
// byte-by-byte reference: every row length from 0 to 70 pixels (no vector
// group, one or several, and every tail), every alignment 0-15 of the source
// and of the destination, and in place. Nothing may be written outside the
// destination row.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "luminance.h"
#include "pixel_kernels.h"

namespace {

constexpr size_t MaxPixels = 70, Alignments = 16, MaxPixelBytes = 4;
constexpr uint8_t Guard = 0xA5;

typedef std::function<void(uint8_t *, const uint8_t *, size_t)> RowFunction;

struct Kernel {
    std::string name;
    size_t inBytes, outBytes;  // of one pixel
    RowFunction run, reference;
    bool inPlace = true;  // whether it may convert a row in place
};

// 256 entries of 4 bytes with no two neighbours alike.
const uint8_t (*LookUpTable())[4] {
    static uint8_t table[256][4];
    for (size_t i = 0; i < 256; ++i)
        for (size_t k = 0; k < 4; ++k) table[i][k] = uint8_t((4 * i + k) * 37 + 11);
    return table;
}

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
    for (unsigned out = 1; out <= 4; ++out) {
        const std::string bytes = std::to_string(out) + " bytes";
        std::vector<size_t> first = {0, 1, 2, 3};
        first.resize(out);
        for (uint8_t fourth : {uint8_t(0xFF), uint8_t(0)})
            kernels.push_back({"NarrowPixels to " + bytes + ", fourth mask " + std::to_string(fourth), 4, out,
                               [out, fourth](uint8_t *d, const uint8_t *s, size_t n) {
                                   NarrowPixels(d, s, n, out, fourth);
                               },
                               [out, fourth, first](uint8_t *d, const uint8_t *s, size_t n) {
                                   Rearranged(4, first)(d, s, n);
                                   for (size_t i = 3; out == 4 && i < 4 * n; i += 4) d[i] &= fourth;
                               }});
        kernels.push_back({"LookUpPixels to " + bytes, 1, out,
                           [out](uint8_t *d, const uint8_t *s, size_t n) {
                               LookUpPixels(d, s, n, LookUpTable(), out);
                           },
                           [out](uint8_t *d, const uint8_t *s, size_t n) {
                               for (size_t i = 0; i < n * out; ++i) d[i] = LookUpTable()[s[i / out]][i % out];
                           },
                           false});
        kernels.push_back({"RepeatPixel of " + bytes, 0, out,
                           [out](uint8_t *d, const uint8_t *s, size_t n) { RepeatPixel(d, s, out, n); },
                           [out](uint8_t *d, const uint8_t *s, size_t n) {
                               for (size_t i = 0; i < n * out; ++i) d[i] = s[i % out];
                           },
                           false});
    }
    kernels.push_back({"GreyOfFour", 4, 1,
                       [](uint8_t *d, const uint8_t *s, size_t n) { GreyOfFour(d, s, n); },
                       Rearranged(4, {0})});
    for (unsigned in : {3u, 4u}) {
        kernels.push_back({"LuminanceOfPixels of " + std::to_string(in) + " bytes", in, 1,
                           [in](uint8_t *d, const uint8_t *s, size_t n) { LuminanceOfPixels(d, s, n, in); },
                           [in](uint8_t *d, const uint8_t *s, size_t n) {
                               for (size_t i = 0; i < n; ++i, s += in) d[i] = Luminance(s[0], s[1], s[2]);
                           }});
        kernels.push_back({"OpaquePixels of " + std::to_string(in) + " bytes", in, 4,
                           [in](uint8_t *d, const uint8_t *s, size_t n) { OpaquePixels(d, s, n, in); },
                           [in](uint8_t *d, const uint8_t *s, size_t n) {
                               for (size_t i = 0; i < 4 * n; ++i) d[i] = i % 4 == 3 ? 255 : s[in * (i / 4) + i % 4];
                           },
                           false});
    }
    // Bit replication: the sample's bits, most significant first, repeated
    // until 16 bits are filled; bits above the depth are ignored.
    for (unsigned bits = 8; bits <= 16; ++bits)
        for (ByteOrder order : {ByteOrder::LittleEndian, ByteOrder::BigEndian}) {
            const size_t big = order == ByteOrder::BigEndian;
            kernels.push_back(
                {"ScaleSamplesToFullRange from " + std::to_string(bits) + (big ? " bits, big-endian" : " bits"),
                 2, 2,
                 [bits, order](uint8_t *d, const uint8_t *s, size_t n) {
                     ScaleSamplesToFullRange(d, s, n, bits, order);
                 },
                 [bits, big](uint8_t *d, const uint8_t *s, size_t n) {
                     for (size_t i = 0; i < n; ++i) {
                         uint32_t v = (s[2 * i] | s[2 * i + 1] << 8) % (1u << bits), scaled = 0;
                         for (int to = 15, from = int(bits) - 1; to >= 0; --to) {
                             scaled |= (v >> from & 1) << to;
                             from = from ? from - 1 : int(bits) - 1;
                         }
                         d[2 * i + big] = uint8_t(scaled);
                         d[2 * i + 1 - big] = uint8_t(scaled >> 8);
                     }
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
            if (!k.inPlace) continue;
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

// The kernels that answer about a row.
TEST(PixelKernels, SummariesOfARow) {
    uint8_t grey[4 * 20], row[20];
    for (size_t i = 0; i < sizeof grey; ++i) grey[i] = i % 4 == 3 ? uint8_t(i) : uint8_t(7 * (i / 4));
    EXPECT_TRUE(GreyOfFour(row, grey, 20));
    EXPECT_TRUE(GreyOfFour(row, grey, 0));
    for (size_t i = 0; i < sizeof grey; ++i) {
        if (i % 4 == 3) continue;
        uint8_t keep = grey[i];
        grey[i] ^= 0x10;
        EXPECT_FALSE(GreyOfFour(row, grey, 20)) << "byte " << i << " differs";
        grey[i] = keep;
    }
    const uint8_t samples[] = {0x01, 0x00, 0x00, 0x02, 0x80, 0x00, 0x00, 0x40};
    EXPECT_EQ(OrOfSamples(samples, 0), 0u);
    EXPECT_EQ(OrOfSamples(samples, 1), 0x0001u);
    EXPECT_EQ(OrOfSamples(samples, 4), 0x4281u);
    // The scaling's known pairs, little-endian.
    const uint8_t in[] = {0x00, 0x00, 0xFF, 0x0F, 0xBC, 0x0A};
    uint8_t scaled[6];
    ScaleSamplesToFullRange(scaled, in, 3, 12, ByteOrder::LittleEndian);
    EXPECT_EQ(std::vector<uint8_t>(scaled, scaled + 6),
              (std::vector<uint8_t>{0x00, 0x00, 0xFF, 0xFF, 0xCA, 0xAB}));
}

TEST(PixelKernels, HighByteMasks) {
    EXPECT_EQ(HighByteMaskFor(10), 0x03);
    EXPECT_EQ(HighByteMaskFor(12), 0x0F);
    EXPECT_EQ(HighByteMaskFor(14), 0x3F);
    EXPECT_EQ(HighByteMaskFor(16), 0xFF);
}

}  // namespace
