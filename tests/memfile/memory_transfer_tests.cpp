// Memory transfer through DS_Entry on the simulated board: buffer sizes,
// strips of whole lines, the conversions by depth, the state rules, buffers
// given as global-memory handles and transfers left before their last line.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "support/transfer.h"
#include "support/window_list.h"

using namespace qx;

namespace {

constexpr const char *MemXferText = "General failure in response to DAT_IMAGEMEMXFER.  ";
constexpr const char *SetupText =
    "General failure in response to DAT_SETUPMEMXFER, not supported.  ";

constexpr uint8_t Canary = 0xC5;

// What a series of MSG_GET calls with one buffer size delivered.
struct Delivery {
    std::vector<TW_IMAGEMEMXFER> strips;
    std::vector<TW_UINT16> results;
    // The strips placed at YOffset x BytesPerRow.
    std::vector<uint8_t> image;
    // The buffer as the last call left it.
    std::vector<uint8_t> lastBuffer;
};

// Calls until TWRC_XFERDONE, a failure or maxCalls; the buffer is filled with
// the canary before every call.
Delivery Deliver(LoadedSource &source, TW_UINT32 length, size_t maxCalls = 100000) {
    Delivery d;
    std::vector<uint8_t> buffer(length);
    for (size_t i = 0; i < maxCalls; ++i) {
        memset(buffer.data(), Canary, buffer.size());
        TW_IMAGEMEMXFER strip;
        TW_UINT16 result = MemoryStrip(source, strip, buffer.data(), length);
        d.results.push_back(result);
        d.strips.push_back(strip);
        d.lastBuffer = buffer;
        if (result == TWRC_FAILURE) break;
        if (strip.BytesWritten > length) {
            ADD_FAILURE() << "BytesWritten " << strip.BytesWritten << " > buffer " << length;
            break;
        }
        size_t at = size_t(strip.YOffset) * strip.BytesPerRow;
        if (d.image.size() < at + strip.BytesWritten) d.image.resize(at + strip.BytesWritten);
        memcpy(d.image.data() + at, buffer.data(), strip.BytesWritten);
        if (result == TWRC_XFERDONE) break;
    }
    return d;
}

// The frame the ramp pattern gives, in the form a memory transfer delivers it.
std::vector<uint8_t> ExpectedImage(uint32_t depth, uint32_t width, uint32_t height,
                                   uint32_t lineLength, uint32_t frame) {
    std::vector<uint8_t> image(size_t(lineLength) * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t *line = image.data() + size_t(y) * lineLength;
        for (uint32_t x = 0; x < width; ++x) {
            switch (depth) {
            case 8: line[x] = static_cast<uint8_t>(RampSample(x, y, frame, 8)); break;
            case 10:
            case 12:
            case 14: {
                uint32_t sample = RampSample(x, y, frame, depth);
                line[2 * x] = static_cast<uint8_t>(sample);
                line[2 * x + 1] = static_cast<uint8_t>(sample >> 8);
                break;
            }
            default:  // 24 and 32: three bytes, first and third exchanged
                for (uint32_t k = 0; k < 3; ++k) line[3 * x + k] = RampByte(x, y, frame, 2 - k);
            }
        }
    }
    return image;
}

::testing::AssertionResult SameBytes(const std::vector<uint8_t> &actual,
                                     const std::vector<uint8_t> &expected) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << "size " << actual.size() << ", expected " << expected.size();
    for (size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i])
            return ::testing::AssertionFailure() << "first difference at byte " << i << ": "
                                                 << int(actual[i]) << ", expected "
                                                 << int(expected[i]);
    return ::testing::AssertionSuccess();
}

TW_UINT16 SetupMem(LoadedSource &source, TW_UINT16 message, TW_SETUPMEMXFER *setup) {
    memset(setup, 0xAB, sizeof *setup);
    return source.Call(DG_CONTROL, DAT_SETUPMEMXFER, message, setup);
}

// ---------------------------------------------------------------- set-up

class MemorySetupTest : public SourceTest {};

TEST_F(MemorySetupTest, ReportsTheBoardsLineAndImageSizesFrom400To600) {
    TW_SETUPMEMXFER setup;
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ASSERT_EQ(SetupMem(*source, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(setup.MinBufSize, 640u);
    EXPECT_EQ(setup.MaxBufSize, 307200u);
    EXPECT_EQ(setup.Preferred, 307200u);
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    ASSERT_EQ(SetupMem(*source, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(setup.MinBufSize, 640u);
    EXPECT_EQ(setup.Preferred, 307200u);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(FramesStarted(), 0);
}

TEST_F(MemorySetupTest, RefusesStatesOutside400To600AndMessagesOtherThanGet) {
    TW_SETUPMEMXFER setup;
    // 300: not open.
    EXPECT_EQ(SetupMem(*source, MSG_GET, &setup), TWRC_FAILURE);
    EXPECT_EQ(setup.MinBufSize, 0xABABABABu);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ExpectOneBox("Twain Driver Error", std::string(SetupText) + SeqErrorSentence);

    ClearBoxes();
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    EXPECT_EQ(SetupMem(*source, MSG_GETCURRENT, &setup), TWRC_FAILURE);
    EXPECT_EQ(setup.Preferred, 0xABABABABu);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    ExpectOneBox("Twain Driver Error", std::string(SetupText) + BadProtocolSentence);
}

// ---------------------------------------------------------------- strips

class EightBitStripTest : public ReadySourceTest {};

TEST_F(EightBitStripTest, PreferredBufferTakesTheFrameInOneCall) {
    Delivery d = Deliver(*source, 307200);
    ASSERT_EQ(d.results, std::vector<TW_UINT16>{TWRC_XFERDONE});
    const TW_IMAGEMEMXFER &strip = d.strips[0];
    EXPECT_EQ(strip.Compression, TWCP_NONE);
    EXPECT_EQ(strip.BytesPerRow, 640u);
    EXPECT_EQ(strip.Columns, 640u);
    EXPECT_EQ(strip.Rows, 480u);
    EXPECT_EQ(strip.XOffset, 0u);
    EXPECT_EQ(strip.YOffset, 0u);
    EXPECT_EQ(strip.BytesWritten, 307200u);
    // The application's record of its buffer is left alone.
    EXPECT_EQ(strip.Memory.Length, 307200u);
    EXPECT_EQ(strip.Memory.Flags, TWMF_APPOWNS | TWMF_POINTER);

    ASSERT_EQ(FramesStarted(), 1);
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(8, 640, 480, 640, 0)));
    EXPECT_EQ(source->PendingCount(), 0);  // state 700
    EXPECT_TRUE(Boxes().empty());
}

// `count` strips of `rows` whole 640-byte lines each, in order, the last one done.
void ExpectWholeLineStrips(const Delivery &d, uint32_t count, uint32_t rows) {
    ASSERT_EQ(d.results.size(), count);
    for (uint32_t k = 0; k < count; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(d.results[k], k + 1 < count ? TWRC_SUCCESS : TWRC_XFERDONE);
        EXPECT_EQ(d.strips[k].Rows, rows);
        EXPECT_EQ(d.strips[k].YOffset, rows * k);
        EXPECT_EQ(d.strips[k].BytesWritten, rows * 640);
        EXPECT_EQ(d.strips[k].BytesPerRow, 640u);
        EXPECT_EQ(d.strips[k].Columns, 640u);
        if (::testing::Test::HasFailure()) break;
    }
}

TEST_F(EightBitStripTest, MinBufSizeTakesOneLinePerCall) {
    Delivery d = Deliver(*source, 640);
    ExpectWholeLineStrips(d, 480, 1);
    // Only the first call snapped.
    EXPECT_EQ(FramesStarted(), 1);
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(8, 640, 480, 640, 0)));
}

TEST_F(EightBitStripTest, OnlyWholeLinesFitAndTheRestOfTheBufferIsLeftAlone) {
    Delivery d = Deliver(*source, 1600);
    ExpectWholeLineStrips(d, 240, 2);
    EXPECT_EQ(d.strips.back().YOffset, 478u);
    for (size_t i = 1280; i < 1600; ++i) ASSERT_EQ(d.lastBuffer[i], Canary) << "byte " << i;
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(8, 640, 480, 640, 0)));
}

TEST_F(EightBitStripTest, ALaterBufferShorterThanALineReceivesNothing) {
    std::vector<uint8_t> line(640);
    TW_IMAGEMEMXFER strip;
    ASSERT_EQ(MemoryStrip(*source, strip, line.data(), 640), TWRC_SUCCESS);
    std::vector<uint8_t> small(100, Canary);
    ASSERT_EQ(MemoryStrip(*source, strip, small.data(), 100), TWRC_SUCCESS);
    EXPECT_EQ(strip.Rows, 0u);
    EXPECT_EQ(strip.BytesWritten, 0u);
    EXPECT_EQ(strip.YOffset, 1u);
    EXPECT_EQ(small, std::vector<uint8_t>(100, Canary));
    // The transfer goes on where it was.
    ASSERT_EQ(MemoryStrip(*source, strip, line.data(), 640), TWRC_SUCCESS);
    EXPECT_EQ(strip.YOffset, 1u);
    EXPECT_EQ(line[0], RampSample(0, 1, 0, 8));
}

TEST_F(EightBitStripTest, AFirstBufferLargerThanTheImageOrShorterThanALineIsABadValue) {
    for (TW_UINT32 length : {307201u, 639u}) {
        SCOPED_TRACE(length);
        ClearBoxes();
        std::vector<uint8_t> buffer(length, Canary);
        TW_IMAGEMEMXFER strip;
        EXPECT_EQ(MemoryStrip(*source, strip, buffer.data(), length), TWRC_FAILURE);
        EXPECT_EQ(source->Status(), TWCC_BADVALUE);
        ExpectOneBox("Twain Driver Error", std::string(MemXferText) + BadValueSentence);
        EXPECT_EQ(buffer, std::vector<uint8_t>(length, Canary));
        EXPECT_EQ(FramesStarted(), 0);
        EXPECT_EQ(source->PendingCount(), 1);  // still 600
    }
    // A good buffer afterwards starts the transfer.
    EXPECT_EQ(Deliver(*source, 307200).results, std::vector<TW_UINT16>{TWRC_XFERDONE});
}

TEST_F(EightBitStripTest, NoBufferRecordIsRefusedWithoutABox) {
    EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(FramesStarted(), 0);
}

// The board cancels every wait: the snap gives up after five attempts.
class FailingSnapTest : public ReadySourceTest {
    std::string BoardConfig() override { return "waits = cancel,cancel,cancel,cancel,cancel\n"; }
};

TEST_F(FailingSnapTest, ASnapThatFailsLeavesTheSourceReady) {
    std::vector<uint8_t> buffer(307200, Canary);
    TW_IMAGEMEMXFER strip;
    EXPECT_EQ(MemoryStrip(*source, strip, buffer.data(), 307200), TWRC_FAILURE);
    ASSERT_TRUE(WaitForBoxes(2, 2000));
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_BOX(boxes[0], "Quorvex Error", "Exceeded the max. number of snaps in ImageMemXferMsg.");
    EXPECT_BOX(boxes[1], "Twain Driver Error", std::string(MemXferText) + OperationErrorSentence);
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    EXPECT_EQ(source->PendingCount(), 1);
    EXPECT_EQ(buffer, std::vector<uint8_t>(307200, Canary));
}

// ---------------------------------------------------------------- depths

// Depth and the board's line length: 640 bytes is unpadded; an odd padding
// puts every other line's samples at odd offsets, and it travels unchanged.
class DeepGreyTest : public ReadySourceTest,
                     public ::testing::WithParamInterface<std::pair<uint32_t, uint32_t>> {
    std::string BoardConfig() override {
        return "width = 320\nheight = 200\nhigh_bits = 1\ndepth = " + std::to_string(GetParam().first) +
               "\nline_bytes = " + std::to_string(GetParam().second) + "\n";
    }
};

TEST_P(DeepGreyTest, SamplesArriveAsWordsWithTheBitsAboveTheDepthCleared) {
    const auto [depth, line] = GetParam();
    // Strips of 7 lines, so the copy kept between calls is checked as well.
    Delivery d = Deliver(*source, 7 * line);
    ASSERT_EQ(d.results.back(), TWRC_XFERDONE);
    ASSERT_EQ(d.results.size(), 29u);  // 200 lines, 7 a call
    EXPECT_EQ(d.strips[0].BytesPerRow, line);
    EXPECT_EQ(d.strips.back().Rows, 4u);
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(depth, 320, 200, line, 0)));
    // The board did set the high bits: the clearing is the source's.
    EXPECT_NE(RampSample(5, 5, 0, depth, true), RampSample(5, 5, 0, depth, false));
}

INSTANTIATE_TEST_SUITE_P(Depths, DeepGreyTest,
                         ::testing::Values(std::pair(10u, 640u), std::pair(12u, 640u), std::pair(14u, 640u),
                                           std::pair(12u, 643u)));

class ColourTest : public ReadySourceTest {
protected:
    std::string BoardConfig() override { return "width = 640\nheight = 120\ndepth = 24\n"; }
};

TEST_F(ColourTest, TwentyFourBitPixelsHaveTheirFirstAndThirdBytesExchanged) {
    TW_SETUPMEMXFER setup;
    ASSERT_EQ(SetupMem(*source, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(setup.MinBufSize, 1920u);
    Delivery d = Deliver(*source, 10000);  // 5 lines a call
    ASSERT_EQ(d.results.back(), TWRC_XFERDONE);
    ASSERT_EQ(d.results.size(), 24u);
    EXPECT_EQ(d.strips[0].BytesPerRow, 1920u);
    EXPECT_EQ(d.strips[0].Rows, 5u);
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(24, 640, 120, 1920, 0)));
}

class PaddedColourTest : public ReadySourceTest {
    std::string BoardConfig() override {
        return "width = 100\nheight = 50\ndepth = 24\nline_bytes = 304\n";
    }
};

TEST_F(PaddedColourTest, PaddingOfABoardLineTravelsUnchanged) {
    Delivery d = Deliver(*source, 304 * 50);
    ASSERT_EQ(d.results, std::vector<TW_UINT16>{TWRC_XFERDONE});
    EXPECT_EQ(d.strips[0].BytesPerRow, 304u);
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(24, 100, 50, 304, 0)));
}

class ThirtyTwoBitTest : public ReadySourceTest {
    std::string BoardConfig() override { return "width = 1024\nheight = 64\ndepth = 32\n"; }
};

TEST_F(ThirtyTwoBitTest, PixelsLoseTheirFourthByteAndLinesAreThreeBytesAPixel) {
    TW_SETUPMEMXFER setup;
    ASSERT_EQ(SetupMem(*source, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(setup.MinBufSize, 4096u);
    EXPECT_EQ(setup.Preferred, 4096u * 64);
    // A buffer of one board line holds one delivered line.
    Delivery d = Deliver(*source, 4096);
    ASSERT_EQ(d.results.size(), 64u);
    EXPECT_EQ(d.results.back(), TWRC_XFERDONE);
    for (const TW_IMAGEMEMXFER &strip : d.strips) {
        EXPECT_EQ(strip.BytesPerRow, 3072u);
        EXPECT_EQ(strip.Columns, 1024u);
        EXPECT_EQ(strip.Rows, 1u);
        EXPECT_EQ(strip.BytesWritten, 3072u);
    }
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(32, 1024, 64, 3072, 0)));
}

TEST_F(ThirtyTwoBitTest, ThePreferredBufferTakesTheWholeFrame) {
    Delivery d = Deliver(*source, 4096 * 64);
    ASSERT_EQ(d.results, std::vector<TW_UINT16>{TWRC_XFERDONE});
    EXPECT_EQ(d.strips[0].Rows, 64u);
    EXPECT_EQ(d.strips[0].BytesWritten, 3072u * 64);
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(32, 1024, 64, 3072, 0)));
}

class PaddedThirtyTwoBitTest : public ReadySourceTest {
    std::string BoardConfig() override {
        return "width = 100\nheight = 30\ndepth = 32\nline_bytes = 416\n";
    }
};

TEST_F(PaddedThirtyTwoBitTest, LinesAreReadAtTheBoardsLineLength) {
    Delivery d = Deliver(*source, 416 * 3);  // 4 delivered lines a call
    ASSERT_EQ(d.results.back(), TWRC_XFERDONE);
    EXPECT_EQ(d.strips[0].Rows, 4u);
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(32, 100, 30, 300, 0)));
}

// Board parameters that do not describe a frame inside the host buffer.
class MisfitFrameTest : public ReadySourceTest, public ::testing::WithParamInterface<const char *> {
    std::string BoardConfig() override { return GetParam(); }
};

TEST_P(MisfitFrameTest, IsAnOperationErrorBeforeAnythingIsSnapped) {
    TW_SETUPMEMXFER setup;
    ASSERT_EQ(SetupMem(*source, MSG_GET, &setup), TWRC_SUCCESS);
    std::vector<uint8_t> buffer(setup.Preferred, Canary);
    TW_IMAGEMEMXFER strip;
    EXPECT_EQ(MemoryStrip(*source, strip, buffer.data(), setup.Preferred), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    ExpectOneBox("Twain Driver Error", std::string(MemXferText) + OperationErrorSentence);
    EXPECT_EQ(FramesStarted(), 0);
    EXPECT_EQ(source->PendingCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, MisfitFrameTest,
    ::testing::Values(
        // lines shorter than their pixels
        "width = 640\nheight = 48\ndepth = 24\nline_bytes = 1000\nimage_bytes = 92160\n",
        // 8-bit lines shorter than their pixels, in an image large enough for them
        "width = 64\nheight = 48\nline_bytes = 60\nimage_bytes = 4096\n",
        // image smaller than its lines
        "width = 64\nheight = 48\nline_bytes = 100\nimage_bytes = 4000\n",
        // a 32-bit line shorter than its four-byte pixels
        "width = 64\nheight = 48\ndepth = 32\nline_bytes = 200\nimage_bytes = 12288\n"));

// ---------------------------------------------------------------- states

class MemoryStateTest : public SourceTest {};

TEST_F(MemoryStateTest, BeforeTheTransferIsReadyNothingIsSnapped) {
    std::vector<uint8_t> buffer(307200);
    TW_IMAGEMEMXFER strip;
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    EXPECT_EQ(MemoryStrip(*source, strip, buffer.data(), 307200), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ExpectOneBox("Twain Driver Error", std::string(MemXferText) + SeqErrorSentence);

    ClearBoxes();
    ASSERT_EQ(source->Enable(true), TWRC_SUCCESS);  // 500: the dialog waits for the user
    EXPECT_EQ(MemoryStrip(*source, strip, buffer.data(), 307200), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ExpectOneBox("Twain Driver Error", std::string(MemXferText) + SeqErrorSentence);
    EXPECT_EQ(FramesStarted(), 0);
}

class ReadyMemoryStateTest : public ReadySourceTest {};

TEST_F(ReadyMemoryStateTest, TheMessageIsCheckedFirst) {
    std::vector<uint8_t> buffer(640);
    TW_IMAGEMEMXFER strip = {};
    strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, 640, buffer.data()};
    size_t logged = BoardLog().size();
    EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GETCURRENT, &strip), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    ExpectOneBox("Twain Driver Error", std::string(MemXferText) + BadProtocolSentence);
    // The board was not asked anything.
    EXPECT_EQ(BoardLog().size(), logged);

    // Also in the middle of a transfer, which goes on afterwards.
    ASSERT_EQ(MemoryStrip(*source, strip, buffer.data(), 640), TWRC_SUCCESS);
    ClearBoxes();
    EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GETDEFAULT, &strip), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    ASSERT_EQ(MemoryStrip(*source, strip, buffer.data(), 640), TWRC_SUCCESS);
    EXPECT_EQ(strip.YOffset, 1u);
}

TEST_F(ReadyMemoryStateTest, SetupIsRefusedDuringATransfer) {
    std::vector<uint8_t> buffer(640);
    TW_IMAGEMEMXFER strip;
    ASSERT_EQ(MemoryStrip(*source, strip, buffer.data(), 640), TWRC_SUCCESS);
    TW_SETUPMEMXFER setup;
    EXPECT_EQ(SetupMem(*source, MSG_GET, &setup), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ExpectOneBox("Twain Driver Error", std::string(SetupText) + SeqErrorSentence);
    ClearBoxes();
    EXPECT_EQ(SetupMem(*source, MSG_GETCURRENT, &setup), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);  // the state is checked first here
}

TEST_F(ReadyMemoryStateTest, AfterTheLastLineTheTransferMustBeEnded) {
    ASSERT_EQ(Deliver(*source, 307200).results.back(), TWRC_XFERDONE);
    std::vector<uint8_t> buffer(307200, Canary);
    TW_IMAGEMEMXFER strip;
    EXPECT_EQ(MemoryStrip(*source, strip, buffer.data(), 307200), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ExpectOneBox("Twain Driver Error", std::string(MemXferText) + SeqErrorSentence);
    EXPECT_EQ(buffer, std::vector<uint8_t>(307200, Canary));
    EXPECT_EQ(FramesStarted(), 1);

    TW_UINT16 count = 0xFFFF;
    ASSERT_EQ(PendingXfers(*source, MSG_ENDXFER, &count), TWRC_SUCCESS);
    EXPECT_EQ(count, 0);
    // 600 again: a new transfer with a new frame.
    Delivery d = Deliver(*source, 307200);
    ASSERT_EQ(d.results, std::vector<TW_UINT16>{TWRC_XFERDONE});
    EXPECT_EQ(FramesStarted(), 2);
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(8, 640, 480, 640, 1)));
}

TEST_F(ReadyMemoryStateTest, AfterANativeOrFileTransferThereIsNoStripToGive) {
    TW_HANDLE bitmap = nullptr;
    ASSERT_EQ(source->Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &bitmap), TWRC_XFERDONE);
    GlobalFree(bitmap);
    std::vector<uint8_t> buffer(640);
    TW_IMAGEMEMXFER strip;
    EXPECT_EQ(MemoryStrip(*source, strip, buffer.data(), 640), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ASSERT_EQ(PendingXfers(*source, MSG_ENDXFER), TWRC_SUCCESS);

    TW_SETUPFILEXFER file = {};
    std::string name = TempFile("after-file.bmp");
    strcpy(file.FileName, name.c_str());
    file.Format = TWFF_BMP;
    ASSERT_EQ(source->Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &file), TWRC_SUCCESS);
    ASSERT_EQ(FileTransfer(*source), TWRC_XFERDONE);
    DeleteFileA(name.c_str());
    ClearBoxes();
    EXPECT_EQ(MemoryStrip(*source, strip, buffer.data(), 640), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ExpectOneBox("Twain Driver Error", std::string(MemXferText) + SeqErrorSentence);
}

// ---------------------------------------------------------------- handles

class HandleBufferTest : public ReadySourceTest {};

TEST_F(HandleBufferTest, AGlobalMemoryHandleIsWrittenThroughItsLock) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 1600);
    ASSERT_NE(block, nullptr);
    std::vector<uint8_t> image;
    TW_IMAGEMEMXFER strip;
    TW_UINT16 result = TWRC_SUCCESS;
    int calls = 0;
    while (result == TWRC_SUCCESS && calls < 1000) {
        result = MemoryStrip(*source, strip, block, 1600, TWMF_APPOWNS | TWMF_HANDLE);
        ++calls;
        ASSERT_NE(result, TWRC_FAILURE);
        // Unlocked again when the call returns.
        EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
        auto *bytes = static_cast<uint8_t *>(GlobalLock(block));
        ASSERT_NE(bytes, nullptr);
        image.insert(image.end(), bytes, bytes + strip.BytesWritten);
        GlobalUnlock(block);
    }
    GlobalFree(block);
    EXPECT_EQ(result, TWRC_XFERDONE);
    EXPECT_EQ(calls, 240);
    EXPECT_TRUE(SameBytes(image, ExpectedImage(8, 640, 480, 640, 0)));
}

// A handle whose memory has been discarded cannot be locked.
HGLOBAL UnlockableHandle() {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DISCARDABLE, 640);
    if (block) block = GlobalDiscard(block);
    return block;
}

TEST_F(HandleBufferTest, AHandleThatCannotBeLockedIsABadValue) {
    HGLOBAL unlockable = UnlockableHandle();
    ASSERT_NE(unlockable, nullptr);
    ASSERT_EQ(GlobalLock(unlockable), nullptr) << "the test needs a handle that cannot be locked";

    TW_IMAGEMEMXFER strip;
    EXPECT_EQ(MemoryStrip(*source, strip, unlockable, 640, TWMF_APPOWNS | TWMF_HANDLE),
              TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    ExpectOneBox("Twain Driver Error", std::string(MemXferText) + BadValueSentence);
    EXPECT_EQ(FramesStarted(), 0);
    EXPECT_EQ(source->PendingCount(), 1);

    // In the middle of a transfer: nothing delivered, the transfer goes on.
    std::vector<uint8_t> line(640);
    ASSERT_EQ(MemoryStrip(*source, strip, line.data(), 640), TWRC_SUCCESS);
    ClearBoxes();
    EXPECT_EQ(MemoryStrip(*source, strip, unlockable, 640, TWMF_APPOWNS | TWMF_HANDLE),
              TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(Boxes().size(), 1u);
    ASSERT_EQ(MemoryStrip(*source, strip, line.data(), 640), TWRC_SUCCESS);
    EXPECT_EQ(strip.YOffset, 1u);
    EXPECT_EQ(line[0], RampSample(0, 1, 0, 8));
    GlobalFree(unlockable);
}

TEST_F(HandleBufferTest, AHandleSmallerThanItsClaimedLengthIsABadValue) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1000);
    ASSERT_NE(block, nullptr);
    ASSERT_LT(GlobalSize(block), 1280u);
    TW_IMAGEMEMXFER strip;
    EXPECT_EQ(MemoryStrip(*source, strip, block, 1280, TWMF_APPOWNS | TWMF_HANDLE), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(FramesStarted(), 0);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
    auto *bytes = static_cast<uint8_t *>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 1000), std::vector<uint8_t>(1000, 0));
    GlobalUnlock(block);
    GlobalFree(block);
}

// ---------------------------------------------------------------- left early

class LeftTransferTest : public ReadySourceTest {
protected:
    // Takes `lines` one-line strips of a transfer.
    void TakeLines(int lines) {
        std::vector<uint8_t> line(640);
        TW_IMAGEMEMXFER strip;
        for (int k = 0; k < lines; ++k)
            ASSERT_EQ(MemoryStrip(*source, strip, line.data(), 640), TWRC_SUCCESS);
    }
};

TEST_F(LeftTransferTest, EndingATransferEarlyMakesTheNextOneSnapAfresh) {
    ASSERT_NO_FATAL_FAILURE(TakeLines(10));
    ASSERT_EQ(PendingXfers(*source, MSG_ENDXFER), TWRC_SUCCESS);
    EXPECT_EQ(source->PendingCount(), 1);  // 600

    Delivery d = Deliver(*source, 6400);
    ASSERT_EQ(d.results.back(), TWRC_XFERDONE);
    EXPECT_EQ(d.strips[0].YOffset, 0u);
    EXPECT_EQ(d.results.size(), 48u);
    EXPECT_EQ(FramesStarted(), 2);
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(8, 640, 480, 640, 1)));
}

TEST_F(LeftTransferTest, ResetAndDisableEndTheTransferToo) {
    ASSERT_NO_FATAL_FAILURE(TakeLines(3));
    ASSERT_EQ(PendingXfers(*source, MSG_RESET), TWRC_SUCCESS);
    // 500: no strip can follow.
    std::vector<uint8_t> line(640);
    TW_IMAGEMEMXFER strip;
    EXPECT_EQ(MemoryStrip(*source, strip, line.data(), 640), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);

    ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    ASSERT_NO_FATAL_FAILURE(TakeLines(5));
    ASSERT_EQ(source->Disable(), TWRC_SUCCESS);  // from 700
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    Delivery d = Deliver(*source, 307200);
    ASSERT_EQ(d.results, std::vector<TW_UINT16>{TWRC_XFERDONE});
    EXPECT_EQ(FramesStarted(), 3);
    EXPECT_TRUE(SameBytes(d.image, ExpectedImage(8, 640, 480, 640, 2)));
}

// Large frames show whether the private copy of an abandoned transfer is kept.
class LeftLargeTransferTest : public ReadySourceTest {
    std::string BoardConfig() override { return "width = 2048\nheight = 2048\nframe_ms = 0\n"; }

protected:
    void AbandonTransfers(int count, TW_UINT16 how) {
        std::vector<uint8_t> line(2048);
        TW_IMAGEMEMXFER strip;
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(MemoryStrip(*source, strip, line.data(), 2048), TWRC_SUCCESS);
            if (how == MSG_ENDXFER) {
                ASSERT_EQ(PendingXfers(*source, MSG_ENDXFER), TWRC_SUCCESS);
            } else if (how == MSG_DISABLEDS) {
                ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
                ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
            } else {
                ASSERT_EQ(source->Close(), TWRC_SUCCESS);
                ASSERT_EQ(source->Open(), TWRC_SUCCESS);
                ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
            }
        }
    }
};

TEST_F(LeftLargeTransferTest, AbandonedTransfersDoNotKeepTheirCopies) {
    constexpr SIZE_T Frame = 2048 * 2048;
    constexpr int Transfers = 12;
    {
        // The measure does see heap blocks of that size being kept.
        SIZE_T before = qx::CommittedPrivateBytes();
        std::vector<std::vector<uint8_t>> kept;
        for (int i = 0; i < Transfers; ++i) kept.emplace_back(Frame, uint8_t(i));
        ASSERT_GE(qx::CommittedPrivateBytes(), before + Frame * Transfers * 3 / 4);
    }
    for (TW_UINT16 how : {MSG_ENDXFER, MSG_DISABLEDS, MSG_CLOSEDS}) {
        SCOPED_TRACE(how);
        // One round first, so the heap has grown to its working size.
        ASSERT_NO_FATAL_FAILURE(AbandonTransfers(1, how));
        SIZE_T before = qx::CommittedPrivateBytes();
        ASSERT_GT(before, 0u);
        ASSERT_NO_FATAL_FAILURE(AbandonTransfers(Transfers, how));
        SIZE_T after = qx::CommittedPrivateBytes();
        // Kept copies would add Transfers x Frame (48 MiB).
        EXPECT_LT(after, before + Frame * Transfers / 2)
            << "private bytes grew from " << before << " to " << after;
    }
}

// ---------------------------------------------------------------- preview

int LastIndexOf(const std::vector<std::string> &log, const std::string &prefix) {
    for (int i = int(log.size()) - 1; i >= 0; --i)
        if (log[i].compare(0, prefix.size(), prefix) == 0) return i;
    return -1;
}

class PreviewRunningTest : public SourceTest {
protected:
    static constexpr DWORD LongEnough = 10000;

    // A user who pressed Acquire: state 600 with the dialog shown.
    void AcquireFromTheDialog() {
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
        ASSERT_EQ(source->Enable(true), TWRC_SUCCESS);
        dialog = FindSourceDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(IsWindowVisible(dialog));
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        ASSERT_TRUE(PumpUntil([] { return !Notifications().empty(); }, LongEnough));
        ASSERT_EQ(Notifications()[0].message, MSG_XFERREADY);
    }

    // ... and then Preview, which stays usable in 600.
    void StartPreview() {
        size_t blits = BoardLogMatching("VizpaneBlit").size();
        PostMessageA(GetDlgItem(dialog, IDC_PREVIEW), BM_CLICK, 0, 0);
        ASSERT_TRUE(PumpUntil(
            [&] { return BoardLogMatching("VizpaneBlit").size() >= blits + 2; }, LongEnough));
    }

    // The preview ended (its surface closed) before the transfer's frame was
    // started, and the dialog shows it idle.
    void ExpectPreviewEndedBeforeTheSnap() {
        auto log = BoardLog();
        int closed = LastIndexOf(log, "VizpaneClose");
        int snapped = LastIndexOf(log, "KvAqCommand 2 2 ");
        EXPECT_GE(closed, 0);
        EXPECT_LT(closed, snapped);
        char caption[32] = {};
        GetWindowTextA(GetDlgItem(dialog, IDC_PREVIEW), caption, sizeof caption);
        EXPECT_STREQ(caption, "Preview");
    }

    HWND dialog = nullptr;
};

TEST_F(PreviewRunningTest, TransfersEndARunningPreviewBeforeTheySnap) {
    ASSERT_NO_FATAL_FAILURE(AcquireFromTheDialog());
    ASSERT_NO_FATAL_FAILURE(StartPreview());
    std::vector<uint8_t> buffer(307200);
    TW_IMAGEMEMXFER strip;
    ASSERT_EQ(MemoryStrip(*source, strip, buffer.data(), 307200), TWRC_XFERDONE);
    ExpectPreviewEndedBeforeTheSnap();
    // The frame delivered is the transfer's own, the last one started.
    uint32_t n = uint32_t(FramesStarted() - 1);
    EXPECT_TRUE(SameBytes(buffer, ExpectedImage(8, 640, 480, 640, n)));
    ASSERT_EQ(PendingXfers(*source, MSG_ENDXFER), TWRC_SUCCESS);

    ASSERT_NO_FATAL_FAILURE(StartPreview());
    TW_SETUPFILEXFER file = {};
    std::string name = TempFile("preview.bmp");
    strcpy(file.FileName, name.c_str());
    ASSERT_EQ(source->Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &file), TWRC_SUCCESS);
    EXPECT_EQ(FileTransfer(*source), TWRC_XFERDONE);
    DeleteFileA(name.c_str());
    ExpectPreviewEndedBeforeTheSnap();
    EXPECT_TRUE(Boxes().empty());
}

// The strips are converted from the host buffer as they are asked for; a
// preview started between two of them snaps over that buffer, and the strips
// after it still carry the transfer's own frame.
TEST_F(PreviewRunningTest, APreviewStartedBetweenStripsLeavesTheTransfersFrameAlone) {
    ASSERT_NO_FATAL_FAILURE(AcquireFromTheDialog());
    std::vector<uint8_t> first(640 * 5);
    TW_IMAGEMEMXFER strip;
    ASSERT_EQ(MemoryStrip(*source, strip, first.data(), TW_UINT32(first.size())), TWRC_SUCCESS);
    const uint32_t n = uint32_t(FramesStarted() - 1);
    ASSERT_NO_FATAL_FAILURE(StartPreview());
    ASSERT_GT(FramesStarted(), int(n) + 1);
    Delivery rest = Deliver(*source, 640 * 7);
    ASSERT_EQ(rest.results.back(), TWRC_XFERDONE);
    ASSERT_EQ(rest.strips.front().YOffset, 5u);
    std::copy(first.begin(), first.end(), rest.image.begin());
    EXPECT_TRUE(SameBytes(rest.image, ExpectedImage(8, 640, 480, 640, n)));
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
