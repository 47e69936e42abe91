// MSG_ENABLEDS and MSG_DISABLEDS: what enable arms, how it reports, what
// disable and close take down, and what a failed enable leaves behind.
#include "ui_support.h"

#include <algorithm>

#include "support/sentences.h"

using namespace qx;

namespace {

constexpr const char *EnableFailure = "General failure in response to MSG_ENABLEDS.  ";

// The monitor's unlimited wait, released by disable's cancel. A monitor stopped
// before it first waited ends without it.
const std::string MonitorReleased = "KvSignalWait 2 4294967295 -> 65537";
// The monitor answering the board's cancel signal.
const std::string MonitorAnswered = "KvSignalWait 2 4294967295 -> 0";

// Transcripts on purpose: the board calls of enable and of disable, in the
// order the board's logs show them (other calls may come between).
const std::vector<std::string> EnableCalls = {
    "QXQTabModeRequest 1 -> 0", "KvSignalCreate 4 -> 0",
    "KvSignalCreate 2 -> 0",    "KvBrdInquire 65545 -> 0",
    "KvBrdInquire 65543 -> 0",  "KvAqSetup 307200 640 3 4 0 0 1 1 0 -> 0",
};

const std::vector<std::string> DisableCalls = {
    "KvSignalCancel 2", "KvSignalFree 2 -> 0", "KvSignalFree 4 -> 0", "KvAqCleanUp 0 -> 0"};

// A monitor wait that was released came back before its signal was freed.
void ExpectMonitorReleasedBeforeFree(const std::vector<std::string> &log) {
    int released = LogIndex(log, MonitorReleased);
    if (released >= 0) {
        EXPECT_LT(released, LogIndex(log, "KvSignalFree 2 -> 0"));
    }
    EXPECT_LE(LogCount(log, MonitorReleased), 1);
}

class EnableDisableTest : public SourceTest {
protected:
    void SetUp() override {
        SourceTest::SetUp();
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
        threadsWhenOpen = ThreadCount();
        aboveNormalWhenOpen = AboveNormalThreadCount();
    }

    TW_UINT16 EnableWith(TW_USERINTERFACE &ui) {
        return source->Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }

    // 600 is the only state in which MSG_RESET succeeds; it leaves the source in 500.
    bool ResetSucceeds() {
        TW_PENDINGXFERS pending = {7, 0};
        return source->Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending) == TWRC_SUCCESS &&
               pending.Count == 0;
    }

    void ExpectEnableStillRefused() {
        EXPECT_EQ(source->Enable(true), TWRC_FAILURE);
        EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    }

    // An ended thread may stay listed for a moment after it has ended.
    void ExpectThreadsAsWhenOpen() {
        EXPECT_TRUE(PumpUntil(
            [&] {
                return ThreadCount() == threadsWhenOpen &&
                       AboveNormalThreadCount() == aboveNormalWhenOpen;
            },
            5000))
            << ThreadCount() << " threads instead of " << threadsWhenOpen;
    }

    // Every signal the source created was freed again.
    void ExpectSignalsBalanced() {
        auto log = BoardLog();
        for (const char *kind : {"4", "2"}) {
            std::string created = std::string("KvSignalCreate ") + kind + " -> 0";
            std::string freed = std::string("KvSignalFree ") + kind + " -> 0";
            EXPECT_EQ(LogCount(log, created), LogCount(log, freed)) << kind;
        }
    }

    AppWindow app;
    int threadsWhenOpen = 0;
    int aboveNormalWhenOpen = 0;
};

TEST_F(EnableDisableTest, WithoutUserInterfaceATransferIsReadyAtOnce) {
    TW_USERINTERFACE ui = {0, 1, app.hwnd};
    ASSERT_EQ(EnableWith(ui), TWRC_SUCCESS);

    auto notes = Notifications();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].message, MSG_XFERREADY);
    EXPECT_TRUE(SameIdentity(notes[0].origin, source->opened));
    EXPECT_TRUE(SameIdentity(notes[0].destination, source->app));
    EXPECT_EQ(ui.ModalUI, 1);

    // The dialog exists but nothing of the source is on screen.
    HWND dialog = FindSourceDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(VisibleWindowsExcept(nullptr).empty());
    EXPECT_TRUE(Boxes().empty());

    EXPECT_TRUE(LogHasInOrder(BoardLog(), EnableCalls));
    EXPECT_EQ(AboveNormalThreadCount(), aboveNormalWhenOpen + 1);
    EXPECT_EQ(source->PendingCount(), 1);
    EXPECT_TRUE(ResetSucceeds());

    ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(LogHasInOrder(BoardLog(), DisableCalls));
    ExpectMonitorReleasedBeforeFree(BoardLog());
    ExpectThreadsAsWhenOpen();
}

TEST_F(EnableDisableTest, WithUserInterfaceTheDialogIsShownModeless) {
    TW_USERINTERFACE ui = {1, 1, app.hwnd};
    ASSERT_EQ(EnableWith(ui), TWRC_SUCCESS);
    EXPECT_EQ(ui.ModalUI, 0);
    EXPECT_TRUE(Notifications().empty());

    HWND dialog = FindSourceDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), app.hwnd);
    EXPECT_EQ(GetWindowThreadProcessId(dialog, nullptr), GetCurrentThreadId());

    // State 500: not 400 (enable refused), not 600 (reset refused).
    EXPECT_EQ(source->PendingCount(), 1);
    EXPECT_FALSE(ResetSucceeds());
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ExpectEnableStillRefused();

    ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(FindSourceDialog(), nullptr);
    // Back in 400: enable is accepted again.
    EXPECT_EQ(source->Enable(true, app.hwnd), TWRC_SUCCESS);
}

TEST_F(EnableDisableTest, EnablingTwiceIsOutOfSequenceAndChangesNothing) {
    ASSERT_EQ(source->Enable(true, app.hwnd), TWRC_SUCCESS);
    HWND dialog = FindSourceDialog();
    ClearBoxes();

    EXPECT_EQ(source->Enable(false, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Twain Driver Error", std::string(EnableFailure) + SeqErrorSentence);
    EXPECT_EQ(boxes[0].owner, app.hwnd);

    auto log = BoardLog();
    EXPECT_EQ(LogCount(log, "KvSignalCreate 4 -> 0"), 1);
    EXPECT_EQ(LogCount(log, "QXQTabModeRequest 1 -> 0"), 1);
    EXPECT_EQ(FindSourceDialog(), dialog);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(Notifications().empty());
}

TEST_F(EnableDisableTest, OtherUserInterfaceMessagesAreBadProtocol) {
    TW_USERINTERFACE ui = {1, 1, app.hwnd};
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, &ui), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Twain Driver Error",
               std::string("General failure in response to DAT_USERINTERFACE.  ") +
                   BadProtocolSentence);
    EXPECT_EQ(FindSourceDialog(), nullptr);
    EXPECT_TRUE(BoardLogMatching("KvSignalCreate").empty());
    // Still 400.
    EXPECT_EQ(EnableWith(ui), TWRC_SUCCESS);
}

TEST_F(EnableDisableTest, DisablingAnOpenSourceIsOutOfSequence) {
    EXPECT_EQ(source->Disable(), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Twain Driver Error",
               std::string("General failure in response to MSG_DISABLEDS.  ") + SeqErrorSentence);
    EXPECT_TRUE(BoardLogMatching("KvSignalFree").empty());
    EXPECT_TRUE(BoardLogMatching("KvAqCleanUp").empty());
}

// The board raises its cancel signal now and then, so the test sees the
// monitor at work before it disables.
class MonitorTest : public EnableDisableTest {
    std::string BoardConfig() override { return "cancel_signal_ms = 300"; }
};

TEST_F(MonitorTest, EveryDisableWaitsForItsMonitorThread) {
    EventLoop loop(*source);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        size_t earlier = BoardLog().size();
        auto roundLog = [earlier] {
            auto log = BoardLog();
            log.erase(log.begin(), log.begin() + std::min(earlier, log.size()));
            return log;
        };
        ASSERT_EQ(source->Enable(round % 2 == 0, app.hwnd), TWRC_SUCCESS);
        EXPECT_EQ(ThreadCount(), threadsWhenOpen + 1);
        EXPECT_EQ(AboveNormalThreadCount(), aboveNormalWhenOpen + 1);
        // The monitor answered the board's signal and went back to its wait.
        ASSERT_TRUE(loop.RunUntil(
            [&] { return LogHasInOrder(roundLog(), {MonitorAnswered, "KvSignalCancel 4"}); },
            10000));

        ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
        auto log = roundLog();
        // The monitor is normally in its wait and released by the disable; it
        // may also be between two waits and see its flag cleared first.
        ExpectMonitorReleasedBeforeFree(log);
        EXPECT_TRUE(LogHasInOrder(log, DisableCalls));
        ExpectThreadsAsWhenOpen();
        ExpectSignalsBalanced();
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(EnableDisableTest, EnableAndDisableAtOnceLeaveNothingRunning) {
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(source->Enable(round % 2 == 0, app.hwnd), TWRC_SUCCESS);
        ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
        ExpectThreadsAsWhenOpen();
    }
    auto log = BoardLog();
    EXPECT_EQ(LogCount(log, "KvAqSetup*"), 5);
    EXPECT_EQ(LogCount(log, "KvAqCleanUp 0 -> 0"), 5);
    EXPECT_EQ(LogCount(log, "KvSignalCancel 2"), 5);
    ExpectSignalsBalanced();
}

TEST_F(EnableDisableTest, ClosingAnEnabledSourceTakesItsAcquisitionDown) {
    ASSERT_EQ(source->Enable(true, app.hwnd), TWRC_SUCCESS);
    HWND dialog = FindSourceDialog();
    ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    EXPECT_FALSE(IsWindow(dialog));
    auto log = BoardLog();
    std::vector<std::string> closing = DisableCalls;
    closing.push_back("KvBrdClose -> 0");
    EXPECT_TRUE(LogHasInOrder(log, closing));
    ExpectMonitorReleasedBeforeFree(log);
    ExpectSignalsBalanced();
    EXPECT_EQ(AboveNormalThreadCount(), aboveNormalWhenOpen);
    EXPECT_TRUE(Boxes().empty());

    // The source opens and enables again as new.
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    EXPECT_EQ(source->Enable(true, app.hwnd), TWRC_SUCCESS);
}

class NotHostQTabTest : public EnableDisableTest {
    std::string BoardConfig() override { return "qtab_mode = 0"; }
};

TEST_F(NotHostQTabTest, EnableFailsWithTwoBoxesAndCreatesNothing) {
    TW_USERINTERFACE ui = {1, 1, app.hwnd};
    EXPECT_EQ(EnableWith(ui), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_BOX(boxes[0], "Quorvex Error",
               "Board is not in host qtab mode. To run the Twain driver, the board must use host "
               "qtabs");
    EXPECT_BOX(boxes[1], "Twain Driver Error", std::string(EnableFailure) + OperationErrorSentence);
    // The first enable has no parent window yet for its boxes.
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[1].owner, nullptr);
    EXPECT_EQ(ui.ModalUI, 1);

    EXPECT_TRUE(BoardLogMatching("KvSignalCreate").empty());
    EXPECT_TRUE(BoardLogMatching("KvAqSetup").empty());
    EXPECT_EQ(FindSourceDialog(), nullptr);
    ExpectThreadsAsWhenOpen();
    // Still 400.
    EXPECT_EQ(source->Disable(), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
}

class SetupFailureTest : public EnableDisableTest {
    std::string BoardConfig() override { return "setup_result = 7"; }
};

TEST_F(SetupFailureTest, EnableShowsTheBoardErrorThenReleasesWhatItCreated) {
    TW_USERINTERFACE ui = {1, 1, app.hwnd};
    EXPECT_EQ(EnableWith(ui), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Quorvex Error");
    EXPECT_BOX(boxes[1], "Twain Driver Error", std::string(EnableFailure) + OperationErrorSentence);

    auto log = BoardLog();
    EXPECT_TRUE(LogHasInOrder(log, {"KvSignalCreate 4 -> 0", "KvSignalCreate 2 -> 0",
                                    "KvAqSetup 307200 640 3 4 0 0 1 1 0 -> 7", "QXErrorShow -> 0",
                                    "KvSignalCancel 2", "KvSignalFree 2 -> 0",
                                    "KvSignalFree 4 -> 0"}));
    ExpectMonitorReleasedBeforeFree(log);
    // Acquisition never was set up, so there is nothing to clean up.
    EXPECT_TRUE(BoardLogMatching("KvAqCleanUp").empty());
    ExpectSignalsBalanced();
    ExpectThreadsAsWhenOpen();
    EXPECT_EQ(FindSourceDialog(), nullptr);
    EXPECT_TRUE(Notifications().empty());

    // Still 400: disable is refused, a second enable runs the whole way again.
    EXPECT_EQ(source->Disable(), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ClearBoxes();
    EXPECT_EQ(EnableWith(ui), TWRC_FAILURE);
    EXPECT_EQ(Boxes().size(), 2u);
    ExpectSignalsBalanced();
    ExpectThreadsAsWhenOpen();
}

}  // namespace
