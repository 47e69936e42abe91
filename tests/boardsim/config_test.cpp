// The configuration text: keys, defaults, numbers, comments and bad lines.
#include "board_fixture.h"

namespace qx {
namespace {

class ConfigTest : public BoardTest {
protected:
    std::string Config() override { return ""; }
    // Reconfigures (without a log) and, when accepted, opens a board to read it.
    int Reconfigure(const char *text) {
        if (board) {
            KvSignalFree(board, &cancel);
            KvSignalFree(board, &frame);
            KvBrdClose(board);
            board = nullptr;
        }
        int bad = KvSimConfigure(text);
        if (bad == 0 && KvSysBrdEnumCount(0x20) > 0) OpenBoard();
        return bad;
    }
    // What the board reports of its image: width, height, bits and bytes per
    // pixel, line and image bytes.
    std::vector<uint32_t> ImageSizes() {
        std::vector<uint32_t> sizes;
        for (uint32_t parameter : {KV_IMAGE_WIDTH, KV_IMAGE_HEIGHT, KV_BITS_PER_PIXEL,
                                   KV_BYTES_PER_PIXEL, KV_LINE_BYTES, KV_IMAGE_BYTES})
            sizes.push_back(Inquire(parameter));
        return sizes;
    }
    static uint32_t KvSysBrdEnumCount(uint32_t family) {
        uint32_t count = 0xDEAD;
        KvSysBrdEnum(family, &count);
        return count;
    }
};

TEST_F(ConfigTest, EmptyTextGivesTheDefaults) {
    ASSERT_EQ(Reconfigure(""), 0);
    EXPECT_EQ(ImageSizes(), (std::vector<uint32_t>{640, 480, 8, 1, 640, 640 * 480}));
    EXPECT_EQ(Inquire(KV_SIGNALS_PER_FRAME), 1u);
    uint32_t major = 0, minor = 0;
    EXPECT_EQ(KvDVersion(&major, &minor), 0u);
    EXPECT_EQ(major, 6u);
    EXPECT_EQ(minor, 0x201u);
    EXPECT_EQ(KvSysBrdEnumCount(0x10), 0u);
    EXPECT_EQ(KvSysBrdEnumCount(0x20), 1u);
    EXPECT_EQ(KvSysBrdEnumCount(0x40), 0u);
    uint32_t mode = 0;
    EXPECT_EQ(QXQTabModeRequest(board, 1, &mode), 0u);
    EXPECT_EQ(mode, 1u);
}

TEST_F(ConfigTest, NumbersAreDecimalOrHexAndCommentsAndBlankLinesAreIgnored) {
    ASSERT_EQ(Reconfigure("# a board\r\n"
                          "width = 0x100\r\n"
                          "\r\n"
                          "  height=100   # lines\r\n"
                          "depth\t=\t12\n"
                          "version_major = 0x80000006\n"
                          "version_minor = 0X20f\n"
                          "qtab_mode = 2"),
              0);
    EXPECT_EQ(ImageSizes(), (std::vector<uint32_t>{256, 100, 12, 2, 512, 51200}));
    uint32_t major = 0, minor = 0, mode = 0;
    KvDVersion(&major, &minor);
    EXPECT_EQ(major, 0x80000006u);
    EXPECT_EQ(minor, 0x20Fu);
    QXQTabModeRequest(board, 1, &mode);
    EXPECT_EQ(mode, 2u);
}

TEST_F(ConfigTest, SizesDeriveFromDepthWidthAndHeightUnlessGiven) {
    struct Case {
        const char *text;
        uint32_t bytesPerPixel, lineBytes, imageBytes;
    } cases[] = {
        {"depth = 10\nwidth = 10\nheight = 3", 2, 20, 60},
        {"depth = 16\nwidth = 10\nheight = 3", 2, 20, 60},
        {"depth = 24\nwidth = 10\nheight = 3", 3, 30, 90},
        {"depth = 32\nwidth = 10\nheight = 3", 4, 40, 120},
        {"width = 10\nheight = 3\nline_bytes = 16", 1, 16, 48},
        {"line_bytes = 16\nwidth = 10\nheight = 3\nimage_bytes = 100", 1, 16, 100},
        {"bytes_per_pixel = 4\nwidth = 10\nheight = 3\ndepth = 24", 4, 40, 120},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_EQ(Reconfigure(c.text), 0);
        EXPECT_EQ(Inquire(KV_BYTES_PER_PIXEL), c.bytesPerPixel);
        EXPECT_EQ(Inquire(KV_LINE_BYTES), c.lineBytes);
        EXPECT_EQ(Inquire(KV_IMAGE_BYTES), c.imageBytes);
    }
}

TEST_F(ConfigTest, BadLinesAreReportedByTheirNumber) {
    struct Case {
        const char *text;
        int line;
    } cases[] = {
        {"width = 640\nbogus = 1", 2},
        {"Width = 640", 1},
        {"width = abc", 1},
        {"width = 640 480", 1},
        {"width = 0x", 1},
        {"width = 0", 1},
        {"width = -1", 1},
        {"frame_ms = 4294967296", 1},
        {"width 640", 1},
        {"depth = 9", 1},
        {"depth = 48", 1},
        {"high_bits = 2", 1},
        {"bytes_per_pixel = 5", 1},
        {"\n# comment\nboards = 0x30:1", 3},
        {"boards = 0x20", 1},
        {"boards = 0x20:1,0x20:2", 1},
        {"boards = 0x20:1,", 1},
        {"select = 0x20", 1},
        {"select = maybe", 1},
        {"select = 0x30:0", 1},
        {"waits = ok, maybe", 1},
        {"waits = ok,,timeout", 1},
        {"pattern = stripes", 1},
        {"log = ", 1},
        {"height = 10\nwidth = 20\n\nsignals_per_frame = 0", 4},
    };
    for (const Case &c : cases) EXPECT_EQ(KvSimConfigure(c.text), c.line) << c.text;
}

TEST_F(ConfigTest, ABadTextChangesNothing) {
    ASSERT_EQ(Reconfigure("width = 100\nboards = 0x20:2"), 0);
    EXPECT_EQ(KvSimConfigure("width = 200\nboards = 0x10:1\nnope = 1"), 3);
    EXPECT_EQ(Inquire(KV_IMAGE_WIDTH), 100u);
    EXPECT_EQ(KvSysBrdEnumCount(0x20), 2u);
    EXPECT_EQ(KvSysBrdEnumCount(0x10), 0u);
}

TEST_F(ConfigTest, KeysNotGivenReturnToTheirDefaults) {
    ASSERT_EQ(Reconfigure("width = 100\nqtab_mode = 3\nboards = 0x10:1,0x20:1"), 0);
    ASSERT_EQ(Reconfigure("height = 20"), 0);
    EXPECT_EQ(Inquire(KV_IMAGE_WIDTH), 640u);
    EXPECT_EQ(Inquire(KV_IMAGE_HEIGHT), 20u);
    uint32_t mode = 0;
    QXQTabModeRequest(board, 1, &mode);
    EXPECT_EQ(mode, 1u);
    EXPECT_EQ(KvSysBrdEnumCount(0x10), 0u);
}

TEST_F(ConfigTest, BoardsListInstallsBoardsPerFamily) {
    ASSERT_EQ(Reconfigure("boards = 0x10:2, 0x40:1"), 0);
    EXPECT_EQ(KvSysBrdEnumCount(0x10), 2u);
    EXPECT_EQ(KvSysBrdEnumCount(0x20), 0u);
    EXPECT_EQ(KvSysBrdEnumCount(0x40), 1u);
    KvBoardEntry entry = {};
    EXPECT_EQ(KvSysBrdFind(0x10, 1, &entry), 0u);
    EXPECT_EQ(entry.family, 0x10u);
    EXPECT_EQ(entry.number, 1u);
    EXPECT_NE(KvSysBrdFind(0x10, 2, &entry), 0u);
    EXPECT_NE(KvSysBrdFind(0x20, 0, &entry), 0u);
    EXPECT_EQ(KvSysBrdFind(0x40, 0, &entry), 0u);

    ASSERT_EQ(Reconfigure("boards = none"), 0);
    for (uint32_t family : {0x10u, 0x20u, 0x40u}) EXPECT_EQ(KvSysBrdEnumCount(family), 0u);
    EXPECT_NE(KvSysBrdFind(0x20, 0, &entry), 0u);
}

TEST_F(ConfigTest, AnEntryOfABoardNoLongerInstalledDoesNotOpen) {
    KvBoardEntry entry = {};
    ASSERT_EQ(KvSysBrdFind(0x20, 0, &entry), 0u);
    ASSERT_EQ(KvSimConfigure("boards = 0x10:1"), 0);
    KvBoard other = nullptr;
    EXPECT_NE(KvBrdOpen(&entry, &other, 1), 0u);
    KvBoardEntry never = {0x20, 0, {}};
    ASSERT_EQ(KvSimConfigure(""), 0);
    EXPECT_NE(KvBrdOpen(&never, &other, 1), 0u);
}

}  // namespace
}  // namespace qx
