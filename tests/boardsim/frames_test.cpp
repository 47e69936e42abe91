// Frames: the ramp pattern at every depth, line padding, the frame counter,
// the limits of the host buffer, and when a frame arrives or does not.
#include <algorithm>
#include <cstring>

#include "board_fixture.h"

namespace qx {
namespace {

struct Layout {
    uint32_t depth;
    bool highBits;
};

class RampTest : public BoardTest, public ::testing::WithParamInterface<Layout> {
protected:
    static constexpr uint32_t Width = 37, Height = 11, Padding = 5;
    uint32_t bpp() const { return GetParam().depth <= 8 ? 1 : GetParam().depth <= 16 ? 2 : GetParam().depth / 8; }
    uint32_t lineBytes() const { return Width * bpp() + Padding; }
    std::string Config() override {
        return "frame_ms = 0\nwidth = 37\nheight = 11\ndepth = " + std::to_string(GetParam().depth) +
               "\nline_bytes = " + std::to_string(lineBytes()) +
               "\nhigh_bits = " + std::to_string(GetParam().highBits ? 1 : 0);
    }
    // The buffer holds frame n exactly, padding included.
    void ExpectFrame(uint32_t n) {
        const Layout layout = GetParam();
        size_t mismatches = 0;
        for (uint32_t y = 0; y < Height; ++y) {
            const uint8_t *line = buffer.data() + y * lineBytes();
            for (uint32_t x = 0; x < Width; ++x) {
                const uint8_t *pixel = line + x * bpp();
                for (uint32_t k = 0; k < bpp(); ++k) {
                    uint8_t expected;
                    if (layout.depth >= 24) {
                        expected = RampByte(x, y, n, k);
                    } else {
                        bool high = layout.highBits && (layout.depth == 10 || layout.depth == 12 ||
                                                        layout.depth == 14);
                        expected = static_cast<uint8_t>(RampSample(x, y, n, layout.depth, high) >> (8 * k));
                    }
                    if (pixel[k] != expected && mismatches++ < 5)
                        ADD_FAILURE() << "frame " << n << " x " << x << " y " << y << " byte " << k
                                      << ": " << int(pixel[k]) << " != " << int(expected);
                }
            }
            for (uint32_t i = Width * bpp(); i < lineBytes(); ++i)
                if (line[i] != 0 && mismatches++ < 5) ADD_FAILURE() << "padding of line " << y;
        }
        EXPECT_EQ(mismatches, 0u);
        for (size_t i = imageBytesGiven; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], 0xAB) << "byte " << i << " past the image was written";
    }
};

TEST_P(RampTest, FramesFollowTheRampWithZeroPadding) {
    SetUpAcquisition();
    EXPECT_EQ(Inquire(KV_IMAGE_BYTES), lineBytes() * Height);
    for (uint32_t n = 0; n < 3; ++n) {
        ASSERT_EQ(Snap(), 0u);
        ExpectFrame(n);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, RampTest,
                         ::testing::Values(Layout{8, false}, Layout{10, false}, Layout{10, true},
                                           Layout{12, false}, Layout{12, true}, Layout{14, true},
                                           Layout{16, false}, Layout{16, true}, Layout{24, false},
                                           Layout{32, false}),
                         [](const ::testing::TestParamInfo<Layout> &info) {
                             return "Depth" + std::to_string(info.param.depth) +
                                    (info.param.highBits ? "HighBits" : "");
                         });

class FrameTest : public BoardTest {};

TEST_F(FrameTest, TheFrameCounterCountsEveryStartSinceTheConfiguration) {
    SetUpAcquisition();
    ASSERT_EQ(Snap(), 0u);                            // frame 0
    EXPECT_EQ(buffer[0], RampSample(0, 0, 0, 8));
    EXPECT_EQ(Command(2, 2), 0u);                     // frame 1, aborted
    EXPECT_EQ(Command(5, 1), 0u);
    ASSERT_EQ(Snap(), 0u);                            // frame 2
    EXPECT_EQ(buffer[0], RampSample(0, 0, 2, 8));
    EXPECT_EQ(buffer[641], RampSample(1, 1, 2, 8));
    ASSERT_EQ(KvSimConfigure("frame_ms = 0"), 0);
    ASSERT_EQ(Snap(), 0u);                            // frame 0 again
    EXPECT_EQ(buffer[0], RampSample(0, 0, 0, 8));
}

TEST_F(FrameTest, NeverWritesMoreThanTheImageSizeGivenAtSetUp) {
    SetUpAcquisition(1000, 4096);
    ASSERT_EQ(Snap(), 0u);
    for (uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(buffer[i], RampSample(i % 640, i / 640, 0, 8));
    EXPECT_TRUE(std::all_of(buffer.begin() + 1000, buffer.end(), [](uint8_t b) { return b == 0xAB; }));
}

TEST_F(FrameTest, ImageBytesBeyondTheLinesAreZeroAndNoMore) {
    ASSERT_EQ(KvSimConfigure("frame_ms = 0\nwidth = 4\nheight = 2\nimage_bytes = 12"), 0);
    SetUpAcquisition();
    ASSERT_EQ(Snap(), 0u);
    const uint8_t expected[12] = {0, 1, 2, 3, 3, 4, 5, 6, 0, 0, 0, 0};
    EXPECT_EQ(memcmp(buffer.data(), expected, 12), 0);
    EXPECT_EQ(buffer[12], 0xAB);
}

TEST_F(FrameTest, TwoSignalFramesRaiseTheFrameSignalTwice) {
    ASSERT_EQ(KvSimConfigure("frame_ms = 0\nsignals_per_frame = 2"), 0);
    SetUpAcquisition();
    EXPECT_EQ(Inquire(KV_SIGNALS_PER_FRAME), 2u);
    ASSERT_EQ(Snap(), 0u);
    EXPECT_EQ(Wait(frame, 5000), 0u);
    EXPECT_EQ(Wait(frame, 50), KV_WAIT_TIMEOUT);
    EXPECT_EQ(buffer[5], RampSample(5, 0, 0, 8));
}

TEST_F(FrameTest, ARaiseWithNobodyWaitingWaitsForTheNextWait) {
    SetUpAcquisition();
    EXPECT_EQ(Command(2, 2), 0u);
    ASSERT_TRUE(AwaitFrameWritten(0));
    EXPECT_EQ(Wait(frame, 0), 0u);
    EXPECT_EQ(buffer[7], RampSample(7, 0, 0, 8));
    EXPECT_EQ(Wait(frame, 0), KV_WAIT_TIMEOUT);
}

TEST_F(FrameTest, StartingAFrameDiscardsRaisesNobodyTook) {
    SetUpAcquisition();
    EXPECT_EQ(Command(2, 2), 0u);
    ASSERT_TRUE(AwaitFrameWritten(0));  // its raise is pending
    ASSERT_EQ(KvSimConfigure("frame_ms = 100000"), 0);
    EXPECT_EQ(Command(2, 2), 0u);
    EXPECT_EQ(Wait(frame, 50), KV_WAIT_TIMEOUT);
}

TEST_F(FrameTest, AnAbortedFrameNeverArrives) {
    ASSERT_EQ(KvSimConfigure("frame_ms = 100"), 0);
    SetUpAcquisition();
    EXPECT_EQ(Command(2, 2), 0u);
    EXPECT_EQ(Command(5, 1), 0u);
    EXPECT_EQ(Wait(frame, 400), KV_WAIT_TIMEOUT);
    EXPECT_TRUE(BufferUntouched(buffer.size()));
}

TEST_F(FrameTest, AFrameTakesFrameMsAndAWaitCanOutlastIt) {
    ASSERT_EQ(KvSimConfigure("frame_ms = 60"), 0);
    SetUpAcquisition();
    ASSERT_EQ(Snap(), 0u);
    EXPECT_EQ(buffer[3], RampSample(3, 0, 0, 8));
}

TEST_F(FrameTest, CommandsNeedAnOpenBoardAndFramesNeedASetUp) {
    OpenBoard();
    EXPECT_NE(Command(2, 2), 0u);
    EXPECT_EQ(Wait(frame, 50), KV_WAIT_TIMEOUT);
    EXPECT_NE(Command(7, 7), 0u);
    int notABoard = 0;
    EXPECT_NE(KvAqCommand(&notABoard, 2, 2, 0, 0), 0u);
    uint32_t value = 99;
    EXPECT_NE(KvBrdInquire(board, 65542, &value), 0u);
    EXPECT_EQ(value, 0u);
}

TEST_F(FrameTest, CleanUpEndsAcquisition) {
    SetUpAcquisition();
    ASSERT_EQ(Snap(), 0u);
    EXPECT_EQ(KvAqCleanUp(board, 0), 0u);
    setUp = false;
    std::fill(buffer.begin(), buffer.end(), 0xAB);
    EXPECT_NE(Command(2, 2), 0u);
    EXPECT_EQ(Wait(frame, 50), KV_WAIT_TIMEOUT);
    EXPECT_TRUE(BufferUntouched(buffer.size()));
}

}  // namespace
}  // namespace qx
