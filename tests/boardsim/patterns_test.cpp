// The patterns other than the ramp, by the property each one is defined by;
// playback of real files; large boards; and qxsim.exe.
#include <algorithm>
#include <fstream>
#include <set>

#include "board_fixture.h"
#include "support/child_process.h"
#include "support/temp_file.h"
#include "wic_image.h"

namespace qx {
namespace {

class PatternTest : public BoardTest {
protected:
    // Configures the board, then snaps frames 0 .. count-1 into `frames`.
    void SnapFrames(const std::string &keys, int count) {
        ASSERT_EQ(KvSimConfigure(("frame_ms = 0\n" + keys).c_str()), 0) << keys;
        SetUpAcquisition();
        width = Inquire(KV_IMAGE_WIDTH);
        for (int n = 0; n < count; ++n) {
            ASSERT_EQ(Snap(), 0u);
            frames.emplace_back(buffer.begin(), buffer.begin() + imageBytesGiven);
        }
    }
    uint8_t At(int n, uint32_t x, uint32_t y, uint32_t bytes = 1, uint32_t k = 0) const {
        return frames[n][(size_t(y) * width + x) * bytes + k];
    }
    uint32_t width = 0;
    std::vector<std::vector<uint8_t>> frames;
};

TEST_F(PatternTest, BarsAreEightEvenGreyStepsOrTheColourBars) {
    SnapFrames("width = 64\nheight = 4\npattern = bars", 2);
    for (uint32_t x = 0; x < 64; ++x)
        for (uint32_t y = 0; y < 4; ++y) ASSERT_EQ(At(1, x, y), At(0, x / 8 * 8, 0)) << x;
    for (uint32_t bar = 1; bar < 8; ++bar) EXPECT_GT(At(0, bar * 8, 0), At(0, bar * 8 - 8, 0));
    EXPECT_EQ(At(0, 0, 0), 0);
    EXPECT_EQ(At(0, 63, 3), 255);
    frames.clear();
    SnapFrames("width = 64\nheight = 4\ndepth = 32\npattern = bars", 1);
    std::set<std::vector<uint8_t>> colours;
    for (uint32_t bar = 0; bar < 8; ++bar)
        colours.insert({At(0, bar * 8, 2, 4, 0), At(0, bar * 8, 2, 4, 1), At(0, bar * 8, 2, 4, 2),
                        At(0, bar * 8, 2, 4, 3)});
    EXPECT_EQ(colours.size(), 8u);
    EXPECT_TRUE(colours.count({255, 255, 255, 0}) && colours.count({0, 0, 0, 0}));
}

TEST_F(PatternTest, CheckerSquaresAreSixteenPixelsAndMoveOneSquareAFrame) {
    SnapFrames("width = 64\nheight = 48\ndepth = 12\npattern = checker", 2);
    auto sample = [&](int n, uint32_t x, uint32_t y) { return At(n, x, y, 2, 0) | At(n, x, y, 2, 1) << 8; };
    for (uint32_t y = 0; y < 48; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            uint32_t v = sample(0, x, y);
            ASSERT_TRUE(v == 0 || v == 4095) << v;
            ASSERT_EQ(v, sample(0, x / 16 * 16, y / 16 * 16));  // one value per square
            if (x >= 16) {
                ASSERT_NE(v, sample(0, x - 16, y));  // alternating
            }
            ASSERT_EQ(sample(1, x, y), sample(0, (x + 16) % 64, y)) << "moved by one square";
        }
}

TEST_F(PatternTest, NoiseRepeatsForItsSeedAndDiffersAcrossFramesAndSeeds) {
    SnapFrames("width = 200\nheight = 50\npattern = noise\nseed = 5", 2);
    EXPECT_NE(frames[0], frames[1]);
    std::set<uint8_t> values(frames[0].begin(), frames[0].end());
    EXPECT_GT(values.size(), 200u);
    std::vector<std::vector<uint8_t>> first = frames;
    frames.clear();
    SnapFrames("width = 200\nheight = 50\npattern = noise\nseed = 5", 2);
    EXPECT_EQ(frames, first);
    frames.clear();
    SnapFrames("width = 200\nheight = 50\npattern = noise\nseed = 6", 1);
    EXPECT_NE(frames[0], first[0]);
}

TEST_F(PatternTest, TargetIsAWhiteDiscWithABlackCrosshairMovingOverMidGrey) {
    SnapFrames("width = 160\nheight = 120\npattern = target", 2);
    double centre[2][2];
    for (int n = 0; n < 2; ++n) {
        size_t white = 0, black = 0, grey = 0;
        double sx = 0, sy = 0;
        for (uint32_t y = 0; y < 120; ++y)
            for (uint32_t x = 0; x < 160; ++x) {
                uint8_t v = At(n, x, y);
                ASSERT_TRUE(v == 0 || v == 128 || v == 255) << int(v);
                if (v == 255) ++white, sx += x, sy += y;
                black += v == 0;
                grey += v == 128;
            }
        EXPECT_GT(grey, 160u * 100);
        EXPECT_GE(black, 160u + 119);  // a full row and a full column
        ASSERT_GT(white, 100u);
        centre[n][0] = sx / white, centre[n][1] = sy / white;
    }
    EXPECT_GT(std::abs(centre[1][0] - centre[0][0]) + std::abs(centre[1][1] - centre[0][1]), 2.0);
}

// Small images written with the imaging library into a fresh folder.
class PlaybackTest : public PatternTest {
protected:
    void SetUp() override {
        PatternTest::SetUp();
        // a.png: 8 x 6 colour (B = 30x, G = 40y, R = 100); b.bmp: 12 x 2 grey 20x;
        // c.tif: 3 x 3 white.
        std::vector<uint8_t> a(8 * 6 * 3), b(12 * 2), c(3 * 3 * 3, 255);
        for (uint32_t i = 0; i < 48; ++i)
            a[3 * i] = uint8_t(i % 8 * 30), a[3 * i + 1] = uint8_t(i / 8 * 40), a[3 * i + 2] = 100;
        for (uint32_t i = 0; i < 24; ++i) b[i] = uint8_t(i % 12 * 20);
        Write("a.png", qximg::ImageFormat::Png, qximg::PixelLayout::Bgr24, 8, 6, a, 24);
        Write("b.bmp", qximg::ImageFormat::Bmp, qximg::PixelLayout::Gray8, 12, 2, b, 12);
        Write("c.tif", qximg::ImageFormat::Tiff, qximg::PixelLayout::Bgr24, 3, 3, c, 9);
    }
    void Write(const char *name, qximg::ImageFormat format, qximg::PixelLayout layout, uint32_t w,
               uint32_t h, const std::vector<uint8_t> &rows, size_t stride) {
        std::string error;
        ASSERT_TRUE(qximg::WriteImage(play.Path(name), format, layout, w, h, rows.data(), stride, &error))
            << error;
    }
    TempFolder play{"qxsim-play"};
    const std::string &folder = play.path;
};

TEST_F(PlaybackTest, FilesPlayInNameOrderCroppedPaddedAndConvertedToTheDepth) {
    SnapFrames("width = 10\nheight = 4\ndepth = 32\npattern = files\nframes = " + folder, 4);
    EXPECT_EQ(frames[3], frames[0]) << "playback cycles";
    const uint8_t pixel[4] = {At(0, 7, 3, 4, 0), At(0, 7, 3, 4, 1), At(0, 7, 3, 4, 2), At(0, 7, 3, 4, 3)};
    EXPECT_EQ(std::vector<uint8_t>(pixel, pixel + 4), (std::vector<uint8_t>{210, 120, 100, 0}));
    for (uint32_t y = 0; y < 4; ++y)  // a.png is 8 wide: padded; 6 high: cropped
        for (uint32_t k = 0; k < 8; ++k) EXPECT_EQ(At(0, 8 + k / 4, y, 4, k % 4), 0);
    EXPECT_EQ(At(2, 2, 2, 4, 1), 255);
    EXPECT_EQ(At(2, 3, 2, 4, 1), 0);

    frames.clear();
    SnapFrames("width = 10\nheight = 4\ndepth = 12\npattern = files\nframes = " + folder + "\\*.bmp", 2);
    EXPECT_EQ(frames[1], frames[0]) << "one file only";
    for (uint32_t x = 0; x < 10; ++x)  // b.bmp is 12 wide: cropped; grey 20x scaled to 12 bits
        EXPECT_EQ(At(0, x, 1, 2, 0) | At(0, x, 1, 2, 1) << 8, (x * 20 * 4095 + 127) / 255) << x;
    for (uint32_t k = 0; k < 20; ++k) EXPECT_EQ(At(0, k / 2, 3, 2, k % 2), 0);  // 2 high: padded
}

TEST_F(PlaybackTest, MissingOrUndecodableFilesAndOversizedImagesAreBadLines) {
    EXPECT_EQ(KvSimConfigure(("pattern = files\nframes = " + folder + "\\*.jpg").c_str()), 2);
    std::ofstream(play.Path("d.png")) << "not an image";
    // Each configuration, and the bad line it reports (0: none).
    const std::pair<std::string, int> cases[] = {
        {"pattern = files", 1},
        {"frame_ms = 0\nframes = " + folder + "\npattern = files", 2},
        {"width = 65535\nheight = 16384", 0},
        {"width = 65535\nheight = 16385\nframe_ms = 0", 2},
        {"depth = 32\nheight = 65535\nwidth = 65535", 3},
        {"image_bytes = 0x40000001", 1},
    };
    for (const auto &[text, bad] : cases) EXPECT_EQ(KvSimConfigure(text.c_str()), bad) << text;
}

// qxsim.exe run beside the test program; returns its exit code and output.
DWORD RunQxsim(const std::string &arguments, std::string *output) {
    return RunProgram("qxsim.exe " + arguments, output, 60000);
}

TEST(QxsimTool, CheckListsEveryBadLineWithItsKeyAndReason) {
    std::string file = TempFile("qxsim-check.ini");
    std::ofstream(file) << "width = 640\nheight = 70000\ndepth = 8\ncolour = red\n# fine\npattern = waves\n";
    std::string output;
    EXPECT_EQ(RunQxsim("check " + file, &output), 1u) << output;
    for (const char *line : {"line 2: height: must be 1 to 65535", "line 4: colour: unknown key",
                             "line 6: pattern: must be ramp, bars"})
        EXPECT_NE(output.find(line), std::string::npos) << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 3) << output;
    std::ofstream(file) << "width = 65535\nheight = 65535\n";
    EXPECT_EQ(RunQxsim("check " + file, &output), 1u);
    EXPECT_NE(output.find("line 2: image_bytes: the image would be 4294836225 bytes"), std::string::npos)
        << output;
    std::ofstream(file) << "pattern = target\n";
    EXPECT_EQ(RunQxsim("check " + file, &output), 0u) << output;
    DeleteFileA(file.c_str());
}

TEST(QxsimTool, ShowAndSnapUseTheConfigurationAProcessWouldLoad) {
    std::string base = TempFile("qxsim-show");
    std::ofstream(base + ".ini") << "width = 40\nheight = 30\npattern = target\n";
    SetEnvironmentVariableA("QXSIM_CONFIG", (base + ".ini").c_str());
    std::string output;
    EXPECT_EQ(RunQxsim("show", &output), 0u);
    EXPECT_NE(output.find("# from QXSIM_CONFIG: " + base + ".ini"), std::string::npos) << output;
    EXPECT_NE(output.find("\npattern = target\n"), std::string::npos) << output;
    EXPECT_EQ(RunQxsim("snap " + base + ".png 3", &output), 0u) << output;
    SetEnvironmentVariableA("QXSIM_CONFIG", nullptr);
    qximg::DecodedImage image;
    std::string error;
    ASSERT_TRUE(qximg::ReadImage(base + ".png", &image, &error)) << error;
    EXPECT_EQ(image.width, 40u);
    EXPECT_EQ(image.height, 30u);
    EXPECT_EQ(image.bgra[0], 128);  // the target's mid-grey field
    DeleteFileA((base + ".ini").c_str());
    DeleteFileA((base + ".png").c_str());
}

}  // namespace
}  // namespace qx
