// Signals and waits: the wait script, cancels (pending or in progress), real
// time limits, the periodic cancel signal, and the source's three threads at once.
#include <atomic>
#include <thread>

#include "board_fixture.h"

namespace qx {
namespace {

class SignalTest : public BoardTest {};

TEST_F(SignalTest, TheWaitScriptForcesResultsAndTheirFramesNeverArrive) {
    ASSERT_EQ(KvSimConfigure("frame_ms = 0\nwaits = timeout, cancel, 7, ok"), 0);
    SetUpAcquisition();
    EXPECT_EQ(Snap(), KV_WAIT_TIMEOUT);
    EXPECT_EQ(Snap(), KV_WAIT_CANCELLED);
    EXPECT_EQ(Snap(), 7u);
    Sleep(50);
    EXPECT_TRUE(BufferUntouched(buffer.size()));
    // `ok` behaves normally: no raise is left behind by the forced results.
    EXPECT_EQ(Wait(frame, 0), KV_WAIT_TIMEOUT);
    ASSERT_EQ(Snap(), 0u);  // script used up: frame 3 arrives
    EXPECT_EQ(buffer[10], RampSample(10, 0, 3, 8));
    ASSERT_EQ(Snap(), 0u);
    EXPECT_EQ(buffer[10], RampSample(10, 0, 4, 8));
}

TEST_F(SignalTest, TheWaitScriptAppliesToFrameWaitsOnly) {
    ASSERT_EQ(KvSimConfigure("frame_ms = 0\nwaits = 65540"), 0);
    SetUpAcquisition();
    EXPECT_EQ(Wait(cancel, 0), KV_WAIT_TIMEOUT);
    KvSignalCancel(board, &cancel);
    EXPECT_EQ(Wait(cancel, 5000), KV_WAIT_CANCELLED);
    EXPECT_EQ(Snap(), 65540u);
    EXPECT_EQ(Snap(), 0u);
}

TEST_F(SignalTest, ACancelWithNobodyWaitingEndsTheNextWaitOnly) {
    SetUpAcquisition();
    KvSignalCancel(board, &frame);
    EXPECT_EQ(Snap(), KV_WAIT_CANCELLED);
    EXPECT_EQ(Snap(), 0u);
    KvSignalCancel(board, &cancel);
    KvSignalCancel(board, &cancel);
    EXPECT_EQ(Wait(cancel, KV_WAIT_FOREVER), KV_WAIT_CANCELLED);
    EXPECT_EQ(Wait(cancel, 20), KV_WAIT_TIMEOUT);
}

TEST_F(SignalTest, ACancelEndsAWaitInProgressOnAnotherThread) {
    ASSERT_EQ(KvSimConfigure("frame_ms = 100000"), 0);
    SetUpAcquisition();
    EXPECT_EQ(Command(2, 2), 0u);
    uint32_t result = 0;
    std::thread waiter([&] { result = KvSignalWait(board, &frame, KV_WAIT_FOREVER, nullptr); });
    Sleep(50);
    KvSignalCancel(board, &frame);
    waiter.join();
    EXPECT_EQ(result, KV_WAIT_CANCELLED);
    EXPECT_TRUE(BufferUntouched(buffer.size()));
}

TEST_F(SignalTest, AWaitTimesOutAndItsFrameIsDiscarded) {
    ASSERT_EQ(KvSimConfigure("frame_ms = 1500"), 0);
    SetUpAcquisition();
    EXPECT_EQ(Command(2, 2), 0u);
    EXPECT_EQ(Wait(frame, 0), KV_WAIT_TIMEOUT);
    EXPECT_EQ(Wait(frame, 2000), KV_WAIT_TIMEOUT) << "the timed-out frame arrived after all";
    EXPECT_TRUE(BufferUntouched(buffer.size()));
    EXPECT_EQ(Command(2, 1), 0u);
    ASSERT_EQ(KvSimConfigure("frame_ms = 50"), 0);
    EXPECT_EQ(Snap(), 0u);
    EXPECT_EQ(buffer[1], RampSample(1, 0, 0, 8));
}

TEST_F(SignalTest, TheCancelSignalIsRaisedPeriodicallyWhileSetUp) {
    ASSERT_EQ(KvSimConfigure("frame_ms = 0\ncancel_signal_ms = 20"), 0);
    OpenBoard();
    EXPECT_EQ(Wait(cancel, 150), KV_WAIT_TIMEOUT) << "raised before the set-up";
    SetUpAcquisition();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Wait(cancel, 5000), 0u);
    EXPECT_EQ(KvAqCleanUp(board, 0), 0u);
    setUp = false;
    while (Wait(cancel, 0) == 0) {
    }
    EXPECT_EQ(Wait(cancel, 150), KV_WAIT_TIMEOUT) << "raised after the clean-up";
}

TEST_F(SignalTest, FreedSignalsAreRefused) {
    OpenBoard();
    KvSignal extra = {};
    ASSERT_EQ(KvSignalCreate(board, KV_SIGNAL_FRAME, &extra), 0u);
    EXPECT_EQ(KvSignalFree(board, &extra), 0u);
    EXPECT_NE(KvSignalWait(board, &extra, 0, &detail), KV_WAIT_TIMEOUT);
    EXPECT_NE(KvSignalFree(board, &extra), 0u);
    KvSignal bad = {};
    EXPECT_NE(KvSignalCreate(board, 3, &bad), 0u);
}

// The source's threads: a monitor that waits without limit on the cancel
// signal and cancels frame waits, a preview that snaps, and the application
// snapping too, against a board that raises its cancel signal often.
TEST_F(SignalTest, MonitorPreviewAndApplicationThreadsShareTheBoard) {
    ASSERT_EQ(KvSimConfigure("frame_ms = 2\ncancel_signal_ms = 7"), 0);
    SetUpAcquisition();
    std::atomic<bool> monitorRunning{true};
    std::atomic<int> cancelsSeen{0};
    std::thread monitor([&] {
        while (monitorRunning) {
            if (KvSignalWait(board, &cancel, KV_WAIT_FOREVER, nullptr) == 0) {
                ++cancelsSeen;
                KvSignalCancel(board, &frame);
            }
        }
    });
    std::atomic<int> unexpected{0}, good{0};
    auto snapper = [&] {
        for (int i = 0; i < 60; ++i) {
            KvAqCommand(board, 2, 2, 0, 0);
            uint32_t r = KvSignalWait(board, &frame, 5000, nullptr);
            if (r == 0) ++good;
            else if (r == KV_WAIT_CANCELLED) KvAqCommand(board, 5, 1, 0, 0);
            else if (r != KV_WAIT_TIMEOUT) ++unexpected;
        }
    };
    std::thread preview(snapper);
    snapper();
    preview.join();
    monitorRunning = false;
    KvSignalCancel(board, &cancel);
    monitor.join();
    EXPECT_EQ(unexpected, 0);
    EXPECT_GT(cancelsSeen, 0);
    EXPECT_GT(good, 0);
}

}  // namespace
}  // namespace qx
