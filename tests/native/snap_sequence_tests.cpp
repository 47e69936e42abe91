// The snap sequence as a native transfer runs it: board commands and frame
// waits against scripted wait results, the attempt limit and its boxes.
#include <string>
#include <vector>

#include "support/transfer.h"

using namespace qx;

namespace {

constexpr const char *Start = "KvAqCommand 2 2 0 0 -> 0";
constexpr const char *Abort = "KvAqCommand 5 1 0 0 -> 0";
constexpr const char *Rearm = "KvAqCommand 2 1 0 0 -> 0";
constexpr const char *Frame = "KvSignalWait 4 5000 -> 0";
constexpr const char *TimedOut = "KvSignalWait 4 5000 -> 65536";
constexpr const char *Cancelled = "KvSignalWait 4 5000 -> 65537";

constexpr const char *ErrorText = "Error snapping image in ImageMemXferMsg.";
constexpr const char *TimedOutText = "Timed out snapping image in ImageMemXferMsg.";
constexpr const char *LimitText = "Exceeded the max. number of snaps in ImageMemXferMsg.";

// Board commands and frame waits, in the order the board saw them. The tests
// below are transcripts on purpose: each pins the exact snap sequence, which the
// board's logs show and its timing depends on.
std::vector<std::string> SnapCalls() {
    std::vector<std::string> calls;
    for (const std::string &line : BoardLog())
        if (line.rfind("KvAqCommand ", 0) == 0 || line.rfind("KvSignalWait 4 ", 0) == 0)
            calls.push_back(line);
    return calls;
}

std::vector<std::string> Repeat(int times, std::vector<std::string> calls) {
    std::vector<std::string> all;
    for (int i = 0; i < times; ++i) all.insert(all.end(), calls.begin(), calls.end());
    return all;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class SnapSequenceTest : public SourceTest {
protected:
    // The board for this test, then the source in state 600.
    void Ready(const std::string &keys, HWND parent = nullptr) {
        ConfigureBoard(keys);
        MakeReady(*source, parent);
    }

    void ExpectDelivered() {
        NativeReply reply = NativeTransfer(*source);
        ASSERT_EQ(reply.result, TWRC_XFERDONE);
        Dib dib(reply.handle);
        EXPECT_TRUE(Boxes().empty());
    }

    // The sequence's own box, then the transfer's; the source stays in 600.
    void ExpectFailedWith(const char *snapText) {
        NativeReply reply = NativeTransfer(*source);
        EXPECT_EQ(reply.result, TWRC_FAILURE);
        EXPECT_EQ(reply.handle, nullptr) << "a failed transfer wrote into the reply";
        auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_BOX(boxes[0], "Quorvex Error", snapText);
        EXPECT_BOX(boxes[1], "Twain Driver Error",
                   std::string(NativeFailure) + OperationErrorSentence);
        EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
        EXPECT_EQ(source->PendingCount(), 1);
    }
};

TEST_F(SnapSequenceTest, AGoodFrameTakesOneCommandAndOneWait) {
    Ready("");
    ExpectDelivered();
    EXPECT_EQ(SnapCalls(), (std::vector<std::string>{Start, Frame}));
}

TEST_F(SnapSequenceTest, CancelledWaitsAbortTheFrameAndTryAgain) {
    Ready("waits = cancel,cancel,cancel");
    ExpectDelivered();
    EXPECT_EQ(SnapCalls(), (Repeat(3, {Start, Cancelled, Abort}) + std::vector<std::string>{Start, Frame}));
}

TEST_F(SnapSequenceTest, AFifthAttemptNeverDeliversEvenWithAFrame) {
    Ready("waits = cancel,cancel,cancel,cancel");
    ExpectFailedWith(LimitText);
    EXPECT_EQ(SnapCalls(), (Repeat(4, {Start, Cancelled, Abort}) + std::vector<std::string>{Start, Frame}));

    // The application may ask again: a new sequence with a fresh count.
    ClearBoxes();
    ExpectDelivered();
    EXPECT_EQ(FramesStarted(), 6);
}

TEST_F(SnapSequenceTest, CancelsAndTimeOutsShareTheFiveAttempts) {
    Ready("waits = cancel,timeout,cancel,timeout,cancel");
    ExpectFailedWith(LimitText);
    EXPECT_EQ(SnapCalls(), (std::vector<std::string>{Start, Cancelled, Abort, Start, TimedOut, Rearm,
                                                     Start, Cancelled, Abort, Start, TimedOut, Rearm,
                                                     Start, Cancelled, Abort}));
}

TEST_F(SnapSequenceTest, ATimeOutRearmsAndCostsOneAttempt) {
    Ready("waits = timeout,timeout,timeout");
    ExpectDelivered();
    EXPECT_EQ(SnapCalls(), (Repeat(3, {Start, TimedOut, Rearm}) + std::vector<std::string>{Start, Frame}));
}

TEST_F(SnapSequenceTest, AFailedRearmEndsTheSequenceAtOnce) {
    Ready("waits = timeout\nrearm_result = 3");
    ExpectFailedWith(TimedOutText);
    EXPECT_EQ(SnapCalls(), (std::vector<std::string>{Start, TimedOut, "KvAqCommand 2 1 0 0 -> 3"}));
}

TEST_F(SnapSequenceTest, AnUnknownWaitResultEndsTheSequenceAtOnce) {
    Ready("waits = 1");
    ExpectFailedWith(ErrorText);
    EXPECT_EQ(SnapCalls(), (std::vector<std::string>{Start, "KvSignalWait 4 5000 -> 1"}));
}

TEST_F(SnapSequenceTest, BoxesBelongToTheApplicationsWindow) {
    HWND parent = CreateWindowA("STATIC", "application", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    Ready("waits = 7", parent);
    ExpectFailedWith(ErrorText);
    for (const Box &box : Boxes()) EXPECT_EQ(box.owner, parent) << box.text;
    source->Disable();
    DestroyWindow(parent);
}

TEST_F(SnapSequenceTest, TwoSignalFramesWaitTwicePerAttempt) {
    Ready("signals_per_frame = 2");
    ExpectDelivered();
    EXPECT_EQ(SnapCalls(), (std::vector<std::string>{Start, Frame, Frame}));
}

TEST_F(SnapSequenceTest, TwoSignalFramesTreatASecondTimeOutAsATimeOut) {
    Ready("signals_per_frame = 2\nwaits = ok,timeout");
    ExpectDelivered();
    EXPECT_EQ(SnapCalls(),
              (std::vector<std::string>{Start, Frame, TimedOut, Rearm, Start, Frame, Frame}));
}

TEST_F(SnapSequenceTest, TwoSignalFramesClassifyAFailedFirstWaitAtOnce) {
    Ready("signals_per_frame = 2\nwaits = cancel");
    ExpectDelivered();
    EXPECT_EQ(SnapCalls(), (std::vector<std::string>{Start, Cancelled, Abort, Start, Frame, Frame}));
}

TEST_F(SnapSequenceTest, ThreeSignalsPerFrameMeanOneWait) {
    Ready("signals_per_frame = 3");
    ExpectDelivered();
    EXPECT_EQ(SnapCalls(), (std::vector<std::string>{Start, Frame}));
}

// The board's kind-2 signal, through the monitor thread, cancels every wait
// long before a (slow) frame could complete.
TEST_F(SnapSequenceTest, TheCancelSignalMakesEveryFrameBad) {
    Ready("frame_ms = 4000\ncancel_signal_ms = 20");
    ExpectFailedWith(LimitText);
    EXPECT_EQ(SnapCalls(), Repeat(5, {Start, Cancelled, Abort}));
    EXPECT_FALSE(BoardLogMatching("KvSignalCancel 4").empty());
}

}  // namespace
