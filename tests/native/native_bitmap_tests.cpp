// The bitmap a native transfer hands over, read as an application reads a
// packed DIB and compared pixel by pixel with the frame the board delivered.
#include <algorithm>
#include <cstring>
#include <string>

#include "support/transfer.h"

using namespace qx;

namespace {

struct BoardCase {
    const char *name;
    uint32_t width, height, depth;
    const char *extraKeys;
    uint32_t lineBytes = 0;  // the board's line length; 0: its pixels only
};

void PrintTo(const BoardCase &c, std::ostream *os) { *os << c.name; }

std::string KeysOf(const BoardCase &c) {
    return "width = " + std::to_string(c.width) + "\nheight = " + std::to_string(c.height) +
           "\ndepth = " + std::to_string(c.depth) + "\n" + c.extraKeys +
           (c.lineBytes ? "line_bytes = " + std::to_string(c.lineBytes) + "\n" : "");
}

uint32_t BytesPerPixel(uint32_t depth) { return depth == 8 ? 1 : depth < 24 ? 2 : depth / 8; }
bool HighBits(const BoardCase &c) { return strstr(c.extraKeys, "high_bits = 1") != nullptr; }

// Converted bytes of one row before padding.
size_t RowBytes(const BoardCase &c) {
    return c.depth < 24 ? c.width : size_t(c.width) * 3;
}

// The byte the bitmap holds for byte i of converted line y of frame n.
uint8_t Expected(const BoardCase &c, uint32_t i, uint32_t y, uint32_t n) {
    if (c.depth == 8) return static_cast<uint8_t>(RampSample(i, y, n, 8));
    if (c.depth < 24) return static_cast<uint8_t>(RampSample(i, y, n, c.depth, HighBits(c)) >> (c.depth - 8));
    return RampByte(i / 3, y, n, i % 3);
}

class NativeBitmapTest : public SourceTest, public ::testing::WithParamInterface<BoardCase> {
protected:
    std::string BoardConfig() override { return KeysOf(GetParam()); }
    void SetUp() override {
        SourceTest::SetUp();
        MakeReady(*source);
    }

    void ExpectFrame(const Dib &dib, uint32_t n) {
        const BoardCase &c = GetParam();
        size_t mismatches = 0, dirtyPadding = 0;
        std::string first;
        for (uint32_t y = 0; y < c.height; ++y) {
            const uint8_t *line = dib.line(y);
            for (uint32_t i = 0; i < RowBytes(c); ++i) {
                if (line[i] == Expected(c, i, y, n)) continue;
                if (mismatches++ == 0)
                    first = "line " + std::to_string(y) + " byte " + std::to_string(i) + ": " +
                            std::to_string(line[i]) + " instead of " +
                            std::to_string(Expected(c, i, y, n));
            }
            for (size_t i = RowBytes(c); i < dib.stride(); ++i) dirtyPadding += line[i] != 0;
        }
        EXPECT_EQ(mismatches, 0u) << first;
        EXPECT_EQ(dirtyPadding, 0u) << "row padding is not zero";
    }
};

TEST_P(NativeBitmapTest, HeaderPaletteAndPixelsDescribeTheFrame) {
    const BoardCase &c = GetParam();
    NativeReply reply = NativeTransfer(*source);
    ASSERT_EQ(reply.result, TWRC_XFERDONE);
    EXPECT_TRUE(reply.bytesAfterHandleUntouched);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
    EXPECT_EQ(source->PendingCount(), 0);  // state 700

    Dib dib(reply.handle);
    const BITMAPINFOHEADER &h = dib.header;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, int32_t(c.width));
    EXPECT_EQ(h.biHeight, int32_t(c.height));  // bottom-up
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, c.depth >= 24 ? 24 : 8);
    EXPECT_EQ(h.biCompression, uint32_t(BI_RGB));
    EXPECT_EQ(h.biXPelsPerMeter, 0);
    EXPECT_EQ(h.biYPelsPerMeter, 0);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(h.biClrImportant, 0u);

    const size_t imageBytes = (c.lineBytes ? c.lineBytes : size_t(c.width) * BytesPerPixel(c.depth)) * c.height;
    const size_t padded = dib.stride() * c.height;
    const bool rowsPadded = dib.stride() != RowBytes(c) || c.lineBytes;
    size_t sizeImage = c.depth == 32 ? size_t(c.width) * c.height * 3
                       : c.depth == 8 || c.depth == 24 ? imageBytes
                                                        : imageBytes / 2;
    EXPECT_EQ(h.biSizeImage, rowsPadded ? padded : sizeImage);
    EXPECT_EQ(dib.blockBytes, dib.pixelOffset() + std::max(imageBytes, padded));

    if (dib.hasPalette()) {
        size_t wrong = 0;
        for (size_t i = 0; i < 256; ++i) {
            const RGBQUAD &q = dib.palette(i);
            wrong += q.rgbBlue != i || q.rgbGreen != i || q.rgbRed != i || q.rgbReserved != 0;
        }
        EXPECT_EQ(wrong, 0u) << "palette entries that are not grey";
    }

    ASSERT_EQ(FramesStarted(), 1);
    ExpectFrame(dib, 0);
    // Whatever the pixels do not fill stays zero.
    size_t tail = dib.pixelOffset() + padded;
    EXPECT_TRUE(std::all_of(dib.block.begin() + tail, dib.block.end(), [](uint8_t b) { return b == 0; }));
}

TEST_P(NativeBitmapTest, EachTransferDeliversAFreshFrameInANewBlock) {
    NativeReply first = NativeTransfer(*source);
    ASSERT_EQ(first.result, TWRC_XFERDONE);
    TW_UINT16 count = 0;
    ASSERT_EQ(PendingXfers(*source, MSG_ENDXFER, &count), TWRC_SUCCESS);
    NativeReply second = NativeTransfer(*source);
    ASSERT_EQ(second.result, TWRC_XFERDONE);
    EXPECT_NE(first.handle, second.handle);
    // The first block is still the application's.
    Dib older(first.handle);
    Dib newer(second.handle);
    ASSERT_EQ(FramesStarted(), 2);
    ExpectFrame(newer, 1);
    EXPECT_NE(older.block, newer.block);
}

const BoardCase Cases[] = {
    {"Grey8", 640, 480, 8, ""},
    {"Grey10", 320, 240, 10, ""},
    {"Grey12", 320, 240, 12, ""},
    {"Grey14", 320, 240, 14, ""},
    {"Grey12HighBitsSet", 320, 240, 12, "high_bits = 1\n"},
    {"Grey14HighBitsSet", 64, 48, 14, "high_bits = 1\n"},
    {"Colour24", 320, 240, 24, ""},
    {"Colour32", 320, 240, 32, ""},
    {"Grey8OddWidth", 322, 31, 8, ""},
    {"Grey12OddWidth", 321, 17, 12, ""},
    {"Colour24OddWidth", 322, 29, 24, ""},
    {"Colour32OddWidth", 321, 23, 32, ""},
    {"Colour24OneColumn", 1, 5, 24, ""},
    {"Grey8PaddedLines", 64, 48, 8, "", 128},
    {"Grey12PaddedLines", 61, 48, 12, "high_bits = 1\n", 130},
    {"Colour24PaddedLines", 64, 48, 24, "", 200},
};

INSTANTIATE_TEST_SUITE_P(Depths, NativeBitmapTest, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<BoardCase> &info) {
                             return std::string(info.param.name);
                         });

// The frames named as sizes: exact block layouts.
class NativeLayoutTest : public SourceTest {
protected:
    Dib Transfer(const std::string &keys) {
        ConfigureBoard(keys);
        MakeReady(*source);
        NativeReply reply = NativeTransfer(*source);
        EXPECT_EQ(reply.result, TWRC_XFERDONE);
        return Dib(reply.handle);
    }
};

TEST_F(NativeLayoutTest, Grey8At640By480) {
    Dib dib = Transfer("");
    EXPECT_EQ(dib.blockBytes, 307200u + 1064u);
    EXPECT_EQ(dib.header.biBitCount, 8);
    EXPECT_EQ(dib.header.biSizeImage, 307200u);
    const RGBQUAD &white = dib.palette(255);
    EXPECT_EQ(white.rgbBlue, 255);
    EXPECT_EQ(white.rgbGreen, 255);
    EXPECT_EQ(white.rgbRed, 255);
    EXPECT_EQ(white.rgbReserved, 0);
    // The first row stored is the frame's last line.
    for (uint32_t x = 0; x < 640; ++x)
        ASSERT_EQ(dib.block[1064 + x], RampSample(x, 479, 0, 8)) << x;
}

TEST_F(NativeLayoutTest, Grey12At1024By1024) {
    Dib dib = Transfer("width = 1024\nheight = 1024\ndepth = 12\n");
    EXPECT_EQ(dib.blockBytes, 2098216u);
    EXPECT_EQ(dib.header.biBitCount, 8);
    EXPECT_EQ(dib.header.biSizeImage, 1048576u);
    EXPECT_EQ(dib.block[1064], uint8_t(RampSample(0, 1023, 0, 12) >> 4));
    EXPECT_TRUE(std::all_of(dib.block.end() - 1048576, dib.block.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_NE(dib.block[1064 + 1048576 - 1], 0);
}

TEST_F(NativeLayoutTest, Colour32DropsTheFourthByteAndKeepsTheOrder) {
    Dib dib = Transfer("width = 4\nheight = 2\ndepth = 32\n");
    EXPECT_EQ(dib.blockBytes, 40u + 32u);
    EXPECT_EQ(dib.header.biSizeImage, 24u);
    // Bottom row first: line 1, pixels 0..3, bytes k = 0, 1, 2 of each.
    for (uint32_t x = 0; x < 4; ++x)
        for (uint32_t k = 0; k < 3; ++k) EXPECT_EQ(dib.block[40 + 3 * x + k], RampByte(x, 1, 0, k));
    EXPECT_EQ(dib.block[40 + 12], RampByte(0, 0, 0, 0));
}

TEST_F(NativeLayoutTest, Colour24PadsRowsOfAnOddWidth) {
    Dib dib = Transfer("width = 322\nheight = 2\ndepth = 24\n");
    EXPECT_EQ(dib.header.biSizeImage, 968u * 2);
    EXPECT_EQ(dib.blockBytes, 40u + 968u * 2);
    EXPECT_EQ(dib.block[40 + 966], 0);
    EXPECT_EQ(dib.block[40 + 967], 0);
    EXPECT_EQ(dib.block[40 + 968], RampByte(0, 0, 0, 0));  // second row stored: line 0
}

}  // namespace

// Each transfer's block is made ready while the last image is handled; what
// is made and not taken goes with the disable.
class PreparedBitmapTest : public ReadySourceTest {
    std::string BoardConfig() override { return "width = 2048\nheight = 2048\nframe_ms = 0\n"; }
};

TEST_F(PreparedBitmapTest, BlocksMadeReadyAreExactAndNeverKeptAfterDisable) {
    constexpr SIZE_T Block = 2048 * 2048 + 1064;
    SIZE_T before = CommittedPrivateBytes();  // enabled, nothing made ready yet
    for (int i = 0; i < 4; ++i) {
        // The frame shrinks after a block was made ready for the third
        // transfer's size (the board starts counting frames afresh).
        if (i == 3) ConfigureBoard("width = 1024\nheight = 1024\nframe_ms = 0\n");
        uint32_t side = i < 3 ? 2048 : 1024;
        NativeReply reply = NativeTransfer(*source);
        ASSERT_EQ(reply.result, TWRC_XFERDONE);
        EXPECT_EQ(GlobalSize(reply.handle), SIZE_T(side) * side + 1064);
        Dib dib(reply.handle);
        EXPECT_EQ(dib.header.biSizeImage, side * side);
        EXPECT_EQ(dib.line(0)[7], uint8_t(7 + 5 * (i % 3)));
        TW_UINT16 count = 0;
        ASSERT_EQ(PendingXfers(*source, MSG_ENDXFER, &count), TWRC_SUCCESS);
    }
    // The last transfer left a block made ready behind it: disable frees it.
    Sleep(50);
    ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
    EXPECT_LT(CommittedPrivateBytes(), before + Block / 2);
    // And a new enable starts afresh.
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    NativeReply reply = NativeTransfer(*source);
    ASSERT_EQ(reply.result, TWRC_XFERDONE);
    EXPECT_EQ(GlobalSize(reply.handle), SIZE_T(1024) * 1024 + 1064);
    GlobalFree(reply.handle);
}
