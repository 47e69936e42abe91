// Nothing of the source outlives its session: enabled on one thread and
// disabled, closed or unloaded on another or on that one (which may be busy,
// or handling a click), or after 300 sessions with transfers.
#include <atomic>
#include <thread>

#include "../faults/import_faults.h"
#include "res/resource.h"
#include "support/transfer.h"
#include "ui_support.h"

namespace {

size_t HeapBlocks() {
    HANDLE heaps[256];
    DWORD count = std::min<DWORD>(GetProcessHeaps(256, heaps), 256);
    size_t busy = 0;
    for (DWORD i = 0; i < count && HeapLock(heaps[i]); HeapUnlock(heaps[i++]))
        for (PROCESS_HEAP_ENTRY e = {}; HeapWalk(heaps[i], &e);) busy += (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
    return busy;
}

enum Ending { DisableAndClose, CloseEnabled, UnloadEnabled, UnloadOnDialogThread, DialogThreadNotAnswering,
              ClickAsTheLastRunEnds, DialogThreadBusy };

class TeardownTest : public qx::SourceTest, public ::testing::WithParamInterface<Ending> {
protected:
    std::string BoardConfig() override { return "width = 64\nheight = 48\nframe_ms = 0\n"; }
    void SetUp() override {
        qx::SourceTest::SetUp();
        ASSERT_TRUE(qx::PatchImports(source->module));
        windows = qx::ProcessWindows().size();
        threads = qx::ThreadCount();
    }
    void TearDown() override {
        qx::SetDialogAction("Quorvex Error", IDOK);
        stop = true;
        if (app.joinable()) app.join();
        qx::SourceTest::TearDown();
    }
    void Unload() {
        FreeLibrary(source->module);
        source->module = nullptr;
        source->entry = nullptr;
    }
    // The source's windows and threads are gone; `kept` other threads remain.
    void ExpectNothingLeft(int kept) {
        EXPECT_TRUE(qx::PumpUntil([&] {
            return !IsWindow(dialog) && qx::ProcessWindows().size() == windows &&
                   qx::ThreadCount() == threads + kept;
        }, 5000)) << qx::ProcessWindows().size() << " windows, " << qx::ThreadCount() << " threads";
    }
    std::thread app;
    std::atomic<HWND> dialog{nullptr};
    std::atomic<bool> stop{false}, pumping{true}, unloadThere{false};
    size_t windows = 0;
    int threads = 0;
};

// The application's second thread enables with the dialog, starts the preview
// (unless it unloads the source itself) and handles its messages while
// `pumping`; this thread ends the session.
TEST_P(TeardownTest, NothingOfTheSourceOutlivesAnEndOnAnotherThread) {
    // The preview's first frame wait fails: it shows its box and waits in it.
    if (GetParam() == DialogThreadNotAnswering) {
        qx::ConfigureBoard(BoardConfig() + "waits = 7\n");
        qx::SetDialogAction("Quorvex Error", 0);
    }
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    const bool previewing = GetParam() != UnloadOnDialogThread;
    app = std::thread([this, previewing] {
        EXPECT_EQ(source->Enable(true), TWRC_SUCCESS);
        dialog = qx::FindSourceDialog();
        if (previewing) PostMessageA(dialog, WM_COMMAND, IDC_PREVIEW, 0);
        while (!stop) {
            pumping ? qx::PumpMessages(5) : Sleep(5);
            if (unloadThere.exchange(false)) FreeLibrary(source->module);
        }
    });
    ASSERT_TRUE(qx::PumpUntil([&] { return dialog && (!previewing || qx::ControlText(dialog, IDC_PREVIEW) == "Stop Preview"); }, 5000));
    if (GetParam() == DialogThreadNotAnswering) {
        ASSERT_TRUE(qx::PumpUntil([] { return FindWindowA("#32770", "Quorvex Error"); }, 5000));
        pumping = false;
        Sleep(50);
        EXPECT_EQ(source->Disable(), TWRC_SUCCESS);  // returns all the same, leaving the dialog
        EXPECT_TRUE(IsWindow(dialog));
        // Enabled again for a larger frame meanwhile: the preview still holds
        // the old frame's memory and the signals it was left.
        qx::ConfigureBoard("width = 96\nheight = 64\nframe_ms = 0\n");
        ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
        PostMessageA(FindWindowA("#32770", "Quorvex Error"), WM_COMMAND, IDOK, 0);
        pumping = true;  // the dialog goes once its thread answers again
        qx::NativeReply reply = qx::NativeTransfer(*source);
        ASSERT_EQ(reply.result, TWRC_XFERDONE);
        EXPECT_EQ(qx::Dib(reply.handle).header.biWidth, 96);
    }
    if (GetParam() == ClickAsTheLastRunEnds) {
        // The run is held in its surface's close, its caption back to "Preview",
        // while the dialog's thread handles a click on Preview and this one disables.
        qx::FailCalls(qx::Import::SurfaceClose, 1);
        PostMessageA(dialog, WM_COMMAND, IDC_PREVIEW, 0);
        ASSERT_TRUE(qx::PumpUntil([&] { return qx::ControlText(dialog, IDC_PREVIEW) == "Preview"; }, 5000));
        PostMessageA(dialog, WM_COMMAND, IDC_PREVIEW, 0);
        Sleep(100);
        EXPECT_EQ(qx::Passed(qx::Import::BeginThread), 1u);  // that click started a run
    }
    if (GetParam() == DialogThreadBusy) {
        pumping = false;
        Sleep(50);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);  // an Acquire its thread sees after the close
    }
    if (GetParam() == UnloadOnDialogThread) {
        unloadThere = true;
        EXPECT_TRUE(qx::PumpUntil([] { return !GetModuleHandleA("QXTwain.ds"); }, 5000));
        source->module = nullptr;
        source->entry = nullptr;
    }
    if (GetParam() == DisableAndClose || GetParam() >= ClickAsTheLastRunEnds) {
        EXPECT_EQ(source->Disable(), TWRC_SUCCESS);
    }
    if (GetParam() == UnloadEnabled) {
        Unload();
        PostMessageA(dialog, WM_COMMAND, IDC_PREVIEW, 0);  // a running preview keeps the source loaded
        EXPECT_TRUE(qx::PumpUntil([] { return !GetModuleHandleA("QXTwain.ds"); }, 5000));
    }
    if (source->module) { EXPECT_EQ(source->Close(), TWRC_SUCCESS); }
    size_t logged = qx::BoardLog().size();
    if (GetParam() == DialogThreadBusy) {
        // Its thread still busy, only the dialog is left; it goes once that thread answers.
        EXPECT_TRUE(qx::PumpUntil([&] { return qx::ThreadCount() == threads + 1; }, 2000)) << qx::ThreadCount();
        pumping = true;
    }
    // The application's thread remains, and the board's when the source was unloaded with it open.
    int kept = GetParam() == UnloadEnabled || GetParam() == UnloadOnDialogThread ? 2 : 1;
    ExpectNothingLeft(kept);
    if (source->module) Unload();
    ExpectNothingLeft(kept);
    EXPECT_TRUE(qx::Boxes().empty());
    // Nothing was started after the teardown, nor run after the close.
    if (GetParam() >= ClickAsTheLastRunEnds) {
        EXPECT_EQ(qx::LogCount(qx::BoardLog(), "VizpaneCreate*"), 1);
        EXPECT_EQ(qx::BoardLog().size(), logged);
        EXPECT_TRUE(qx::Notifications().empty());
    }
    // The signals left to a preview were not made a second time, and went once.
    auto log = qx::BoardLog();
    EXPECT_EQ(qx::LogCount(log, "KvSignalCreate 4 -> 0"), qx::LogCount(log, "KvSignalFree 4 -> 0") -
                                                              (GetParam() == DialogThreadNotAnswering));
}

INSTANTIATE_TEST_SUITE_P(Endings, TeardownTest,
                         ::testing::Values(DisableAndClose, CloseEnabled, UnloadEnabled, UnloadOnDialogThread,
                                           DialogThreadNotAnswering, ClickAsTheLastRunEnds, DialogThreadBusy));

// Sessions of open, enable, a native, a memory and a file transfer, disable, close.
TEST_F(TeardownTest, ThreeHundredSessionsLeaveHeapBlocksThreadsAndWindowsAsTheyWere) {
    TW_HANDLE bitmap = nullptr;
    uint8_t strip[64 * 48];
    TW_IMAGEMEMXFER memory = {};
    memory.Memory = {TWMF_APPOWNS | TWMF_POINTER, sizeof strip, strip};
    TW_SETUPFILEXFER file = {"teardown_test.bmp", TWFF_BMP, 0};
    TW_PENDINGXFERS pending = {};
    size_t blocks = 0;
    for (int i = 0; i <= 300; ++i) {
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
        ASSERT_EQ(source->Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &file), TWRC_SUCCESS);
        ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
        for (auto [dat, data] : {std::pair<TW_UINT16, void *>{DAT_IMAGENATIVEXFER, &bitmap},
                                 {DAT_IMAGEMEMXFER, &memory}, {DAT_IMAGEFILEXFER, nullptr}}) {
            ASSERT_EQ(source->Call(DG_IMAGE, dat, MSG_GET, data), TWRC_XFERDONE) << i << " " << dat;
            ASSERT_EQ(source->Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
        }
        GlobalFree(bitmap);
        ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
        ASSERT_EQ(source->Close(), TWRC_SUCCESS);
        if (i == 0) blocks = HeapBlocks();  // the first session makes what the process keeps once made
    }
    EXPECT_EQ(HeapBlocks(), blocks);
    ExpectNothingLeft(0);
    DeleteFileA("teardown_test.bmp");
}

}  // namespace
