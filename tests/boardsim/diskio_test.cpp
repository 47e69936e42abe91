// QXIOWriteSingle: BMP and TIFF files read back byte by byte, failures that
// leave no file behind, and the texts of QXIOErrorShow.
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "board_fixture.h"
#include "support/bytes.h"
#include "support/temp_file.h"

namespace qx {
namespace {

constexpr uint32_t W = 13, H = 5;

uint32_t BytesFor(uint32_t depth) { return depth == 8 ? 1 : depth <= 16 ? 2 : depth / 8; }

// Packed ramp lines as a board would deliver them (frame 2).
std::vector<uint8_t> RampImage(uint32_t depth, bool highBits = false) {
    std::vector<uint8_t> pixels;
    for (uint32_t y = 0; y < H; ++y)
        for (uint32_t x = 0; x < W; ++x)
            for (uint32_t k = 0; k < BytesFor(depth); ++k)
                pixels.push_back(depth >= 24 ? RampByte(x, y, 2, k)
                                             : static_cast<uint8_t>(RampSample(x, y, 2, depth, highBits) >> (8 * k)));
    return pixels;
}

std::set<std::string> FilesIn(const std::string &folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.insert(found.cFileName); while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
}

class DiskTest : public BoardTest {
protected:
    std::string Path(const char *name) { return disk.Path(name); }
    TempFolder disk{"qxsim-disk"};
    const std::string &folder = disk.path;
};

// Expected 8-bit grey or BGR bytes of BMP pixel (x, y) for a ramp image.
void ExpectBmp(const std::vector<uint8_t> &f, uint32_t depth, bool highBits = false) {
    const bool colour = depth >= 24;
    const uint32_t outBytes = colour ? 3 : 1;
    const uint32_t row = (W * outBytes + 3) & ~3u;
    const uint32_t off = colour ? 54 : 54 + 1024;
    ASSERT_EQ(f.size(), off + row * H);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(Get32(f, 2), f.size());
    EXPECT_EQ(Get32(f, 10), off);
    EXPECT_EQ(Get32(f, 14), 40u);
    EXPECT_EQ(Get32(f, 18), W);
    EXPECT_EQ(Get32(f, 22), H);  // positive: bottom-up
    EXPECT_EQ(Get16(f, 26), 1u);
    EXPECT_EQ(Get16(f, 28), colour ? 24u : 8u);
    EXPECT_EQ(Get32(f, 30), 0u);
    if (!colour) {
        for (uint32_t i = 0; i < 256; ++i)
            ASSERT_EQ(Get32(f, 54 + 4 * i), i | i << 8 | i << 16) << "palette entry " << i;
    }
    for (uint32_t y = 0; y < H; ++y) {
        const size_t line = off + (H - 1 - y) * row;
        for (uint32_t x = 0; x < W; ++x)
            for (uint32_t k = 0; k < outBytes; ++k) {
                uint8_t expected = colour ? RampByte(x, y, 2, k)
                                          : static_cast<uint8_t>(RampSample(x, y, 2, depth, highBits) >> (depth - 8));
                ASSERT_EQ(f[line + x * outBytes + k], expected) << "x " << x << " y " << y << " k " << k;
            }
        for (uint32_t i = W * outBytes; i < row; ++i) ASSERT_EQ(f[line + i], 0) << "row padding";
    }
}

TEST_F(DiskTest, BmpFilesHoldTheImageBottomUpWithPaddedRows) {
    struct Case {
        uint32_t depth;
        bool highBits;
    } cases[] = {{8, false}, {10, false}, {12, true}, {14, false}, {16, false}, {24, false}, {32, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE("depth " + std::to_string(c.depth));
        std::string name = Path(("ramp" + std::to_string(c.depth) + ".bmp").c_str());
        std::vector<uint8_t> pixels = RampImage(c.depth, c.highBits);
        ASSERT_EQ(QXIOWriteSingle(name.c_str(), pixels.data(), W, H, c.depth, 0), 0u);
        ExpectBmp(FileBytes(name), c.depth, c.highBits);
    }
}

// TIFF tags of the first IFD: tag -> (type, count, value or offset).
struct Tag {
    uint32_t type, count, value;
};
std::map<uint32_t, Tag> ReadTags(const std::vector<uint8_t> &f) {
    std::map<uint32_t, Tag> tags;
    uint32_t ifd = Get32(f, 4);
    uint32_t n = Get16(f, ifd);
    uint32_t previous = 0;
    for (uint32_t i = 0; i < n; ++i) {
        size_t e = ifd + 2 + 12 * i;
        uint32_t tag = Get16(f, e), type = Get16(f, e + 2), count = Get32(f, e + 4);
        EXPECT_GT(tag, previous) << "tags in ascending order";
        previous = tag;
        uint32_t value = type == 3 && count == 1 ? Get16(f, e + 8) : Get32(f, e + 8);
        tags[tag] = {type, count, value};
    }
    EXPECT_EQ(Get32(f, ifd + 2 + 12 * n), 0u) << "one image only";
    return tags;
}

TEST_F(DiskTest, TiffFilesAreBaselineUncompressedLittleEndian) {
    struct Case {
        uint32_t depth;
        const char *name;
    } cases[] = {{8, "ramp8.tif"}, {12, "ramp12.TIFF"}, {16, "ramp16.Tif"}, {24, "ramp24.tiff"},
                 {32, "ramp32.tif"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> pixels = RampImage(c.depth, c.depth == 12);
        std::string name = Path(c.name);
        ASSERT_EQ(QXIOWriteSingle(name.c_str(), pixels.data(), W, H, c.depth, 0), 0u);
        std::vector<uint8_t> f = FileBytes(name);
        ASSERT_GT(f.size(), 8u);
        EXPECT_EQ(f[0], 'I');
        EXPECT_EQ(f[1], 'I');
        EXPECT_EQ(Get16(f, 2), 42u);
        std::map<uint32_t, Tag> tags = ReadTags(f);
        const bool colour = c.depth >= 24;
        const uint32_t samples = colour ? 3 : 1, bits = c.depth == 8 || colour ? 8 : 16;
        EXPECT_EQ(tags[256].value, W);
        EXPECT_EQ(tags[257].value, H);
        EXPECT_EQ(tags[258].count, samples);
        if (colour) {
            for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(Get16(f, tags[258].value + 2 * i), 8u);
        } else {
            EXPECT_EQ(tags[258].value, bits);
        }
        EXPECT_EQ(tags[259].value, 1u);
        EXPECT_EQ(tags[262].value, colour ? 2u : 1u);
        EXPECT_EQ(tags[277].value, samples);
        EXPECT_EQ(tags[278].value, H);
        EXPECT_EQ(tags[284].value, 1u);
        ASSERT_TRUE(tags.count(282) && tags.count(283) && tags.count(296));
        const uint32_t pixelBytes = samples * bits / 8;
        ASSERT_EQ(tags[279].value, W * H * pixelBytes);
        ASSERT_LE(tags[273].value + tags[279].value, f.size());
        const uint8_t *data = f.data() + tags[273].value;
        const uint32_t inBytes = BytesFor(c.depth);
        for (uint32_t i = 0; i < W * H; ++i)
            ASSERT_EQ(memcmp(data + i * pixelBytes, pixels.data() + i * inBytes, pixelBytes), 0) << "pixel " << i;
    }
}

TEST_F(DiskTest, AnExistingFileIsReplacedWhole) {
    std::string name = Path("again.bmp");
    std::vector<uint8_t> big = RampImage(24), small = RampImage(8);
    ASSERT_EQ(QXIOWriteSingle(name.c_str(), big.data(), W, H, 24, 0), 0u);
    ASSERT_EQ(QXIOWriteSingle(name.c_str(), small.data(), W, H, 8, 0), 0u);
    ExpectBmp(FileBytes(name), 8);
    EXPECT_EQ(FilesIn(folder), (std::set<std::string>{".", "..", "again.bmp"}));
}

TEST_F(DiskTest, FailuresHaveTheirOwnCodesAndLeaveNoFile) {
    std::vector<uint8_t> pixels = RampImage(8);
    std::string name = Path("x.bmp");
    EXPECT_EQ(QXIOWriteSingle("", pixels.data(), W, H, 8, 0), 1u);
    EXPECT_EQ(QXIOWriteSingle(nullptr, pixels.data(), W, H, 8, 0), 1u);
    EXPECT_EQ(QXIOWriteSingle(name.c_str(), nullptr, W, H, 8, 0), 2u);
    EXPECT_EQ(QXIOWriteSingle(name.c_str(), pixels.data(), 0, H, 8, 0), 3u);
    EXPECT_EQ(QXIOWriteSingle(name.c_str(), pixels.data(), W, 0, 8, 0), 3u);
    for (uint32_t depth : {0u, 1u, 9u, 17u, 20u, 48u})
        EXPECT_EQ(QXIOWriteSingle(name.c_str(), pixels.data(), W, H, depth, 0), 4u) << depth;
    EXPECT_EQ(QXIOWriteSingle(Path("missing\\x.bmp").c_str(), pixels.data(), W, H, 8, 0), 5u);
    ASSERT_TRUE(CreateDirectoryA(Path("taken.bmp").c_str(), nullptr));
    EXPECT_EQ(QXIOWriteSingle(Path("taken.bmp").c_str(), pixels.data(), W, H, 8, 0), 7u);
    EXPECT_EQ(QXIOWriteSingle(name.c_str(), pixels.data(), 100000, 100000, 8, 0), 8u);
    EXPECT_EQ(FilesIn(folder), (std::set<std::string>{".", "..", "taken.bmp"}));
    EXPECT_EQ(GetFileAttributesA(Path("taken.bmp").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

// Files up to 2 GB (2147483647 bytes) are written, larger ones refused: the
// largest height of each file whose width is 65535, and one more line. The
// name lies in a missing folder, so an image within the limit fails at the
// file's creation (5) before a byte of its pixels is read.
TEST_F(DiskTest, OnlyFilesOver2GBAreTooLarge) {
    struct Case {
        const char *name;
        uint32_t depth, height;  // height: the last that fits
    } cases[] = {
        // BMP grey: 1078 bytes of headers and palette, rows of 65536 bytes.
        {"x.bmp", 8, 32767}, {"x.bmp", 12, 32767}, {"x.bmp", 16, 32767},
        // BMP colour: 54 bytes of headers, rows of 196608 bytes.
        {"x.bmp", 24, 10922}, {"x.bmp", 32, 10922},
        // TIFF: 192 bytes before the pixels, rows of 65535, 131070 and 196605 bytes.
        {"x.tif", 8, 32768}, {"x.tif", 10, 16384}, {"x.tif", 16, 16384},
        {"x.tif", 24, 10922}, {"x.tif", 32, 10922},
    };
    const uint8_t pixel[4] = {};
    const std::string missing = Path("missing\\");
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", depth " + std::to_string(c.depth));
        std::string name = missing + c.name;
        EXPECT_EQ(QXIOWriteSingle(name.c_str(), pixel, 65535, c.height, c.depth, 0), 5u);
        EXPECT_EQ(QXIOWriteSingle(name.c_str(), pixel, 65535, c.height + 1, c.depth, 0), 8u);
    }
    // Sizes that pass 32 bits in a row or in the whole file.
    EXPECT_EQ(QXIOWriteSingle((missing + "x.bmp").c_str(), pixel, 0xFFFFFFFF, 1, 32, 0), 8u);
    EXPECT_EQ(QXIOWriteSingle((missing + "x.tif").c_str(), pixel, 0x10000, 0x10000, 8, 0), 8u);
}

TEST_F(DiskTest, ErrorShowExplainsEachCode) {
    for (uint32_t code = 1; code <= 8; ++code) EXPECT_EQ(QXIOErrorShow(code), 0u);
    QXIOErrorShow(99);
    std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 9u);
    std::set<std::string> texts;
    for (const Box &box : boxes) {
        EXPECT_EQ(box.title, "Quorvex Error");
        texts.insert(box.text);
    }
    EXPECT_EQ(texts.size(), 9u) << "every code has its own text";
    EXPECT_EQ(boxes[4].text, "The image file cannot be created. Check the folder and its permissions.");
    EXPECT_EQ(boxes[8].text, "The image file could not be written (error 99).");
}

}  // namespace
}  // namespace qx
