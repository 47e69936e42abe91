// When a native transfer is refused: wrong state, wrong message, no reply
// record, or a frame that does not fit the host buffer. None touches the board.
#include "support/transfer.h"

using namespace qx;

namespace {

class NativeGuardTest : public SourceTest {
protected:
    // Refused with one box naming the transfer, the board untouched.
    void ExpectRefused(TW_UINT16 msg, TW_UINT16 code, const char *sentence) {
        ClearBoxes();
        size_t logged = BoardLog().size();
        NativeReply reply = NativeTransfer(*source, msg);
        EXPECT_EQ(reply.result, TWRC_FAILURE);
        EXPECT_EQ(reply.handle, nullptr) << "a refused transfer wrote into the reply";
        auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_BOX(boxes[0], "Twain Driver Error", std::string(NativeFailure) + sentence);
        EXPECT_EQ(BoardLog().size(), logged) << "the board was used: " << BoardLog().back();
        EXPECT_EQ(source->Status(), code);
    }
};

TEST_F(NativeGuardTest, OnlyState600Transfers) {
    ExpectRefused(MSG_GET, TWCC_SEQERROR, SeqErrorSentence);  // 300
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ExpectRefused(MSG_GET, TWCC_SEQERROR, SeqErrorSentence);  // 400
    ASSERT_EQ(source->Enable(true), TWRC_SUCCESS);
    ExpectRefused(MSG_GET, TWCC_SEQERROR, SeqErrorSentence);  // 500
    ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    ClearBoxes();
    NativeReply reply = NativeTransfer(*source);  // 600
    ASSERT_EQ(reply.result, TWRC_XFERDONE);
    Dib dib(reply.handle);
    ExpectRefused(MSG_GET, TWCC_SEQERROR, SeqErrorSentence);  // 700
    EXPECT_EQ(FramesStarted(), 1);
}

TEST_F(NativeGuardTest, OnlyMsgGetTransfers) {
    MakeReady(*source);
    ExpectRefused(MSG_GETDEFAULT, TWCC_BADPROTOCOL, BadProtocolSentence);
    ExpectRefused(MSG_SET, TWCC_BADPROTOCOL, BadProtocolSentence);
    EXPECT_EQ(source->PendingCount(), 1);
}

TEST_F(NativeGuardTest, ANullReplyIsABadValueWithoutABox) {
    MakeReady(*source);
    size_t logged = BoardLog().size();
    EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(BoardLog().size(), logged);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    // Still ready for a proper request.
    NativeReply reply = NativeTransfer(*source);
    ASSERT_EQ(reply.result, TWRC_XFERDONE);
    Dib dib(reply.handle);
}

// The board changed its image size after the host buffer was allocated.
TEST_F(NativeGuardTest, AnImageLargerThanTheHostBufferIsNotRead) {
    MakeReady(*source);
    ConfigureBoard("image_bytes = 400000\n");
    NativeReply reply = NativeTransfer(*source);
    EXPECT_EQ(reply.result, TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    // The board answered; the source refused what it said.
    EXPECT_EQ(BoardLogMatching("KvBrdInquire 65543 -> 0").size(), 1u);
    EXPECT_TRUE(BoardLogMatching("KvAqCommand").empty());
}

// A board whose image size cannot hold its frame: the transfer fails before
// the snap and reads nothing past the host buffer.
struct BadGeometry {
    const char *name;
    const char *keys;
};

void PrintTo(const BadGeometry &g, std::ostream *os) { *os << g.name; }

class BadGeometryTest : public SourceTest, public ::testing::WithParamInterface<BadGeometry> {
protected:
    std::string BoardConfig() override { return GetParam().keys; }
};

TEST_P(BadGeometryTest, FailsWithAnOperationErrorBeforeSnapping) {
    MakeReady(*source);
    NativeReply reply = NativeTransfer(*source);
    EXPECT_EQ(reply.result, TWRC_FAILURE);
    EXPECT_EQ(reply.handle, nullptr);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Twain Driver Error", std::string(NativeFailure) + OperationErrorSentence);
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    EXPECT_TRUE(BoardLogMatching("KvAqCommand").empty());
    EXPECT_TRUE(BoardLogMatching("KvSignalWait 4").empty());
    // Still in 600: the image can be described, and pending transfers count one.
    TW_IMAGEINFO info{};
    EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    EXPECT_EQ(source->PendingCount(), 1);
}

const BadGeometry BadGeometries[] = {
    {"ImageSmallerThanTheFrame", "image_bytes = 1000\n"},
    {"ImageOneByteShort", "width = 64\nheight = 48\nimage_bytes = 3071\n"},
    {"Colour32ImageOfThreeBytesAPixel", "width = 64\nheight = 48\ndepth = 32\nimage_bytes = 9216\n"},
    {"Grey12ImageOfOneByteAPixel", "width = 64\nheight = 48\ndepth = 12\nimage_bytes = 3072\n"},
    {"LinesShorterThanTheirPixels", "width = 64\nheight = 48\nline_bytes = 60\nimage_bytes = 4096\n"},
    {"ImageSmallerThanItsLines", "width = 64\nheight = 48\nline_bytes = 128\nimage_bytes = 4096\n"},
};

INSTANTIATE_TEST_SUITE_P(Boards, BadGeometryTest, ::testing::ValuesIn(BadGeometries),
                         [](const ::testing::TestParamInfo<BadGeometry> &info) {
                             return std::string(info.param.name);
                         });

}  // namespace
