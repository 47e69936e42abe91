// The host buffer of a frame of up to 64 MB stays from a disable to the next
// enable while the source is open, and goes at MSG_CLOSEDS or the unload; a
// larger frame's goes at MSG_DISABLEDS. The transfer worker that a native
// transfer started goes with it.
#include "support/transfer.h"
#include "ui_support.h"

namespace {

constexpr SIZE_T Limit = SIZE_T(64) << 20;

enum class Ending { Close, Unload };

struct HostBufferCase {
    uint32_t height;  // lines of 8192 bytes: 8192 lines are 64 MB
    bool keptAfterDisable;
    Ending ending;
};

class HostBufferTest : public qx::SourceTest, public ::testing::WithParamInterface<HostBufferCase> {
protected:
    std::string BoardConfig() override {
        return "width = 8192\nheight = " + std::to_string(GetParam().height) + "\nframe_ms = 0\n";
    }
};

TEST_P(HostBufferTest, KeptBetweenEnablesOnlyUpTo64MBAndOnlyWhileOpen) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    const SIZE_T open = qx::CommittedPrivateBytes();
    const int threads = qx::ThreadCount();
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
        EXPECT_GT(qx::CommittedPrivateBytes(), open + Limit * 3 / 4) << round;
        qx::NativeReply reply = qx::NativeTransfer(*source);
        ASSERT_EQ(reply.result, TWRC_XFERDONE);
        GlobalFree(reply.handle);
        ASSERT_EQ(qx::PendingXfers(*source, MSG_ENDXFER), TWRC_SUCCESS);
        ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
        SIZE_T disabled = qx::CommittedPrivateBytes();
        // Kept once, and not a second time beside it.
        if (GetParam().keptAfterDisable)
            EXPECT_TRUE(disabled > open + Limit * 3 / 4 && disabled < open + Limit * 5 / 4) << round;
        else
            EXPECT_LT(disabled, open + Limit / 4) << round;
    }
    if (GetParam().ending == Ending::Close) {
        ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    } else {
        FreeLibrary(source->module);
        source->module = nullptr;
        source->entry = nullptr;
    }
    EXPECT_LT(qx::CommittedPrivateBytes(), open + Limit / 4);
    EXPECT_TRUE(qx::PumpUntil([&] { return qx::ThreadCount() <= threads; }, 5000))
        << qx::ThreadCount() << " threads, " << threads << " when opened";
}

INSTANTIATE_TEST_SUITE_P(Frames, HostBufferTest,
                         ::testing::Values(HostBufferCase{8192, true, Ending::Close},
                                           HostBufferCase{8192, true, Ending::Unload},
                                           HostBufferCase{8193, false, Ending::Close}));

}  // namespace
