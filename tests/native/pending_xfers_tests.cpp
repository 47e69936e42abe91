// DAT_PENDINGXFERS around native transfers: the count each state reports,
// ending a transfer, discarding one, and the messages refused.
#include "support/transfer.h"

using namespace qx;

namespace {

constexpr const char *PendingFailure = "General failure in response to DAT_PENDINGXFER.  ";
constexpr TW_UINT16 Untouched = 0xBEEF;

class PendingXfersTest : public SourceTest {
protected:
    void Transfer() {
        NativeReply reply = NativeTransfer(*source);
        ASSERT_EQ(reply.result, TWRC_XFERDONE);
        Dib dib(reply.handle);
    }

    void ExpectRefused(TW_UINT16 msg, TW_UINT16 code, const char *sentence, TW_UINT16 count) {
        ClearBoxes();
        TW_UINT16 written = 0;
        EXPECT_EQ(PendingXfers(*source, msg, &written), TWRC_FAILURE);
        EXPECT_EQ(written, count);
        auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_BOX(boxes[0], "Twain Driver Error", std::string(PendingFailure) + sentence);
        EXPECT_EQ(source->Status(), code);
    }

    TW_UINT16 Count(TW_UINT16 msg) {
        TW_UINT16 count = 0;
        EXPECT_EQ(PendingXfers(*source, msg, &count), TWRC_SUCCESS);
        return count;
    }

    // 500 and not 400: a native transfer is refused, and disable is accepted.
    void ExpectEnabledNotReady() {
        ClearBoxes();
        EXPECT_EQ(NativeTransfer(*source).result, TWRC_FAILURE);
        EXPECT_EQ(source->Status(), TWCC_SEQERROR);
        EXPECT_EQ(source->Disable(), TWRC_SUCCESS);
        ClearBoxes();
    }
};

TEST_F(PendingXfersTest, CountFollowsTheState) {
    ExpectRefused(MSG_GET, TWCC_SEQERROR, SeqErrorSentence, Untouched);  // 300
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    EXPECT_EQ(Count(MSG_GET), 1);  // 400
    ASSERT_EQ(source->Enable(true), TWRC_SUCCESS);
    EXPECT_EQ(Count(MSG_GET), 1);  // 500
    ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    EXPECT_EQ(Count(MSG_GET), 1);  // 600
    Transfer();
    EXPECT_EQ(Count(MSG_GET), 0);  // 700
    EXPECT_EQ(Boxes().size(), 1u);  // only the one of state 300
}

TEST_F(PendingXfersTest, EndXferReturnsTo600AndAnotherTransferFollowsAtOnce) {
    MakeReady(*source);
    Transfer();
    EXPECT_EQ(Count(MSG_ENDXFER), 0);
    EXPECT_EQ(Count(MSG_GET), 1);
    Transfer();
    EXPECT_EQ(FramesStarted(), 2);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(PendingXfersTest, EndXferOutside700WritesCountZeroAndFails) {
    ExpectRefused(MSG_ENDXFER, TWCC_SEQERROR, SeqErrorSentence, 0);  // 300
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ExpectRefused(MSG_ENDXFER, TWCC_SEQERROR, SeqErrorSentence, 0);  // 400
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    ExpectRefused(MSG_ENDXFER, TWCC_SEQERROR, SeqErrorSentence, 0);  // 600
    // Still 600.
    Transfer();
}

TEST_F(PendingXfersTest, ResetDiscardsTheReadyTransfer) {
    MakeReady(*source);
    EXPECT_EQ(Count(MSG_RESET), 0);
    ExpectEnabledNotReady();
}

TEST_F(PendingXfersTest, ResetDuringATransferGoesBackTo500) {
    MakeReady(*source);
    Transfer();
    EXPECT_EQ(Count(MSG_RESET), 0);
    ExpectEnabledNotReady();
}

TEST_F(PendingXfersTest, ResetNeedsATransferReadyOrInProgress) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ExpectRefused(MSG_RESET, TWCC_SEQERROR, SeqErrorSentence, Untouched);  // 400
    ASSERT_EQ(source->Enable(true), TWRC_SUCCESS);
    ExpectRefused(MSG_RESET, TWCC_SEQERROR, SeqErrorSentence, Untouched);  // 500
}

TEST_F(PendingXfersTest, OtherMessagesAreBadProtocol) {
    MakeReady(*source);
    ExpectRefused(MSG_SET, TWCC_BADPROTOCOL, BadProtocolSentence, Untouched);
    ExpectRefused(MSG_GETCURRENT, TWCC_BADPROTOCOL, BadProtocolSentence, Untouched);
    Transfer();  // still 600
}

}  // namespace
