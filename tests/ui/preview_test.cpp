// The live preview: what it shows on its surface for each board depth, how it
// counts bad frames, how it ends, and how disable and close stop it.
#include "ui_support.h"

#include "res/resource.h"

#include <cstdio>
#include <functional>

using namespace qx;

namespace {

constexpr DWORD LongEnough = 20000;
const std::string FrameStart = "KvAqCommand 2 2 0 0 -> 0";
const std::string FrameAbort = "KvAqCommand 5 1 0 0 -> 0";
const std::string SmallBoard = "width = 64\nheight = 48\n";

std::string Repeat(const std::string &item, int times) {
    std::string list;
    for (int i = 0; i < times; ++i) list += (list.empty() ? "" : ",") + item;
    return list;
}

// Frame starts and frame waits, in order: what the preview asked of the board per pass.
std::vector<std::string> FrameTraffic(const std::vector<std::string> &log) {
    std::vector<std::string> traffic;
    for (const std::string &line : log)
        if (line.rfind("KvAqCommand", 0) == 0 || line.rfind("KvSignalWait 4 ", 0) == 0)
            traffic.push_back(line);
    return traffic;
}

HWND FindBox(const char *title) {
    for (HWND window : VisibleWindowsExcept(nullptr)) {
        char cls[16] = {};
        GetClassNameA(window, cls, sizeof cls);
        if (strcmp(cls, "#32770") == 0 && WindowText(window) == title) return window;
    }
    return nullptr;
}

// The surface id the source passed when it asked for the pixel buffer.
uint32_t SurfaceIdFromLog() {
    auto lines = BoardLogMatching("VizpaneGetBitmap ");
    unsigned id = 0xFFFFFFFF;
    if (!lines.empty()) sscanf(lines.back().c_str(), "VizpaneGetBitmap %u", &id);
    return id;
}

const uint8_t *SurfacePixels(uint32_t surface) {
    typedef uint32_t (*GetBitmap)(uint32_t, void **);
    HMODULE vizpane = GetModuleHandleA("Vizpane.dll");
    auto get = reinterpret_cast<GetBitmap>(
        reinterpret_cast<void *>(GetProcAddress(vizpane, "VizpaneGetBitmap")));
    void *pixels = nullptr;
    if (get) get(surface, &pixels);
    return static_cast<const uint8_t *>(pixels);
}

class PreviewTest : public SourceTest {
protected:
    void TearDown() override {
        SetDialogAction("Quorvex Error", IDOK);
        SourceTest::TearDown();
    }

    // Opens the source on this board and shows its dialog.
    void StartSource(const std::string &board) {
        ConfigureBoard(board);
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
        threadsWhenOpen = ThreadCount();
        ASSERT_EQ(source->Enable(true, app.hwnd), TWRC_SUCCESS);
        dialog = FindSourceDialog();
        ASSERT_NE(dialog, nullptr);
        threadsWhenEnabled = ThreadCount();
        loop = std::make_unique<EventLoop>(*source);
    }

    void ClickPreview() { PostMessageA(GetDlgItem(dialog, IDC_PREVIEW), BM_CLICK, 0, 0); }

    bool ButtonsEnabled() {
        return IsWindowEnabled(GetDlgItem(dialog, IDOK)) &&
               IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
    }
    bool ShowsRunning() {
        return ControlText(dialog, IDC_PREVIEW) == "Stop Preview" &&
               !IsWindowEnabled(GetDlgItem(dialog, IDOK)) &&
               !IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
    }
    bool ShowsIdle() {
        return ControlText(dialog, IDC_PREVIEW) == "Preview" && ButtonsEnabled();
    }

    bool RunUntilLogged(const std::string &line, int count) {
        return loop->RunUntil([&] { return LogCount(BoardLog(), line) >= count; }, LongEnough);
    }
    bool RunUntilBlits(int count) {
        return loop->RunUntil(
            [&] { return static_cast<int>(BoardLogMatching("VizpaneBlit").size()) >= count; },
            LongEnough);
    }
    bool RunUntilBoxes(size_t count) {
        return loop->RunUntil([&] { return Boxes().size() >= count; }, LongEnough);
    }
    // The dialog is idle again and the preview thread is gone.
    void RunUntilEnded() {
        ASSERT_TRUE(loop->RunUntil(
            [&] { return ShowsIdle() && ThreadCount() == threadsWhenEnabled; },
            LongEnough));
    }

    // Runs a preview whose waits end in an error, holding its box up while
    // check() looks at the surface.
    void HoldTheErrorBox(const std::function<void()> &check) {
        SetDialogAction("Quorvex Error", 0);
        ClickPreview();
        HWND box = nullptr;
        ASSERT_TRUE(loop->RunUntil([&] { return (box = FindBox("Quorvex Error")) != nullptr; },
                                   LongEnough));
        char text[128] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        EXPECT_STREQ(text, "Error snapping image in preview.");
        EXPECT_EQ(GetWindow(box, GW_OWNER), app.hwnd);
        EXPECT_TRUE(ShowsRunning());
        check();
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        SetDialogAction("Quorvex Error", IDOK);
        RunUntilEnded();
        EXPECT_TRUE(Boxes().empty());
    }

    AppWindow app;
    HWND dialog = nullptr;
    std::unique_ptr<EventLoop> loop;
    int threadsWhenOpen = 0;
    int threadsWhenEnabled = 0;
};

// What one surface byte holds for pixel (x, y), byte k, of frame n.
typedef uint8_t (*ShownByte)(uint32_t x, uint32_t y, uint32_t n, uint32_t k);

struct DepthCase {
    uint32_t boardDepth;
    uint32_t surfaceDepth;
    ShownByte shown;
    const char *extraKeys = "";
};

std::ostream &operator<<(std::ostream &out, const DepthCase &c) {
    return out << c.boardDepth << "-bit board";
}

uint8_t Grey8(uint32_t x, uint32_t y, uint32_t n, uint32_t) { return RampSample(x, y, n, 8); }
uint8_t Grey12(uint32_t x, uint32_t y, uint32_t n, uint32_t) {
    return static_cast<uint8_t>(RampSample(x, y, n, 12, true) >> 4);
}
uint8_t Grey10(uint32_t x, uint32_t y, uint32_t n, uint32_t) {
    return static_cast<uint8_t>(RampSample(x, y, n, 10, true) >> 2);
}
uint8_t Grey14(uint32_t x, uint32_t y, uint32_t n, uint32_t) {
    return static_cast<uint8_t>(RampSample(x, y, n, 14, true) >> 6);
}
// 16-bit grey is shown by its high byte.
uint8_t Grey16(uint32_t x, uint32_t y, uint32_t n, uint32_t) {
    return static_cast<uint8_t>(RampSample(x, y, n, 16) >> 8);
}
uint8_t Colour(uint32_t x, uint32_t y, uint32_t n, uint32_t k) { return RampByte(x, y, n, k); }

class PreviewDepthTest : public PreviewTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(PreviewDepthTest, SurfaceShowsTheLastGoodFrame) {
    const DepthCase &c = GetParam();
    // Frames 0 and 1 are good, the wait for frame 2 fails: the surface keeps frame 1.
    StartSource(SmallBoard + "depth = " + std::to_string(c.boardDepth) +
                "\nhigh_bits = 1\nwaits = ok, ok, 7\n" + c.extraKeys);
    HoldTheErrorBox([&] {
        auto log = BoardLog();
        EXPECT_TRUE(LogHasInOrder(
            log, {"KvBrdInquire 65537 -> 0", "KvBrdInquire 65538 -> 0", "KvBrdInquire 65540 -> 0",
                  "KvBrdInquire 65543 -> 0", "KvBrdInquire 65539 -> 0",
                  "VizpaneCreate 64 48 " + std::to_string(c.surfaceDepth) + " -> 0"}));
        EXPECT_EQ(LogCount(log, "KvSignalWait 4 5000 -> 0"), 2);
        EXPECT_EQ(BoardLogMatching("VizpaneBlit").size(), 2u);
        const uint8_t *pixels = SurfacePixels(SurfaceIdFromLog());
        ASSERT_NE(pixels, nullptr);
        uint32_t bytesPerPixel = c.surfaceDepth / 8;
        int wrong = 0;
        for (uint32_t y = 0; y < 48; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                for (uint32_t k = 0; k < bytesPerPixel; ++k) {
                    uint8_t want = c.shown(x, y, 1, k);
                    uint8_t got = pixels[(y * 64 + x) * bytesPerPixel + k];
                    if (got != want && ++wrong <= 3)
                        ADD_FAILURE() << "pixel " << x << "," << y << " byte " << k << ": "
                                      << int(got) << " instead of " << int(want);
                }
        EXPECT_EQ(wrong, 0);
    });
    EXPECT_EQ(LogCount(BoardLog(), "VizpaneClose *"), 1);
}

INSTANTIATE_TEST_SUITE_P(Depths, PreviewDepthTest,
                         ::testing::Values(DepthCase{8, 8, Grey8}, DepthCase{10, 8, Grey10},
                                           DepthCase{12, 8, Grey12}, DepthCase{14, 8, Grey14},
                                           DepthCase{16, 8, Grey16}, DepthCase{24, 24, Colour},
                                           DepthCase{32, 32, Colour},
                                           DepthCase{8, 8, Grey8, "line_bytes = 128\n"},
                                           DepthCase{12, 8, Grey12, "line_bytes = 130\n"},
                                           DepthCase{24, 24, Colour, "line_bytes = 200\n"}));

TEST_F(PreviewTest, TwentyFiveBadFramesInARowAreTolerated) {
    // Timed-out and cancelled waits alternate; the 26th wait is a good frame.
    std::string bad = Repeat("timeout,cancel", 12) + ",timeout";
    StartSource(SmallBoard + "waits = " + bad + "\n");
    ClickPreview();
    ASSERT_TRUE(RunUntilBlits(3));
    EXPECT_TRUE(ShowsRunning());
    ClickPreview();
    RunUntilEnded();
    EXPECT_TRUE(Boxes().empty());

    auto traffic = FrameTraffic(BoardLog());
    ASSERT_GE(traffic.size(), 64u);
    // A cancelled wait aborts the frame; a timed-out one issues nothing.
    size_t at = 0;
    for (int pass = 0; pass < 25; ++pass) {
        SCOPED_TRACE(pass);
        EXPECT_EQ(traffic[at++], FrameStart);
        if (pass % 2 == 0) {
            EXPECT_EQ(traffic[at++], "KvSignalWait 4 5000 -> 65536");
        } else {
            EXPECT_EQ(traffic[at++], "KvSignalWait 4 5000 -> 65537");
            EXPECT_EQ(traffic[at++], FrameAbort);
        }
    }
    EXPECT_EQ(traffic[at++], FrameStart);
    EXPECT_EQ(traffic[at++], "KvSignalWait 4 5000 -> 0");
    EXPECT_EQ(LogCount(BoardLog(), FrameAbort), 12);
    EXPECT_EQ(LogCount(BoardLog(), "VizpaneClose *"), 1);
}

TEST_F(PreviewTest, TheTwentySixthBadFrameEndsThePreview) {
    StartSource(SmallBoard + "waits = " + Repeat("cancel,timeout", 13) + "\n");
    ClickPreview();
    ASSERT_TRUE(RunUntilBoxes(1));
    RunUntilEnded();
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Quorvex Error", "Too many bad frames.");
    EXPECT_EQ(boxes[0].owner, app.hwnd);
    EXPECT_NE(boxes[0].thread, GetCurrentThreadId());

    auto log = BoardLog();
    EXPECT_EQ(LogCount(log, FrameStart), 26);
    EXPECT_EQ(LogCount(log, FrameAbort), 13);
    EXPECT_TRUE(BoardLogMatching("VizpaneBlit").empty());
    EXPECT_EQ(LogCount(log, "VizpaneClose *"), 1);
    EXPECT_TRUE(Notifications().empty());
}

TEST_F(PreviewTest, AWaitErrorShowsItsOwnBoxOnly) {
    // 25 bad frames, then an unknown result: the error ends it, not the count.
    StartSource(SmallBoard + "waits = " + Repeat("timeout", 25) + ",7\n");
    ClickPreview();
    ASSERT_TRUE(RunUntilBoxes(1));
    RunUntilEnded();
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Quorvex Error", "Error snapping image in preview.");
    EXPECT_EQ(boxes[0].owner, app.hwnd);
    auto log = BoardLog();
    EXPECT_EQ(LogCount(log, FrameStart), 26);
    EXPECT_EQ(LogCount(log, "KvSignalWait 4 5000 -> 7"), 1);
    EXPECT_EQ(LogCount(log, FrameAbort), 0);
}

// A transcript on purpose: the preview's exact frame traffic for scripted waits.
TEST_F(PreviewTest, TwoSignalFramesWaitTwiceOnlyAfterAGoodFirstWait) {
    StartSource(SmallBoard + "signals_per_frame = 2\nwaits = timeout, ok, ok, cancel, 7\n");
    ClickPreview();
    ASSERT_TRUE(RunUntilBoxes(1));
    RunUntilEnded();
    EXPECT_EQ(FrameTraffic(BoardLog()),
              (std::vector<std::string>{FrameStart, "KvSignalWait 4 5000 -> 65536", FrameStart,
                                        "KvSignalWait 4 5000 -> 0", "KvSignalWait 4 5000 -> 0",
                                        FrameStart, "KvSignalWait 4 5000 -> 65537", FrameAbort,
                                        FrameStart, "KvSignalWait 4 5000 -> 7"}));
    EXPECT_EQ(BoardLogMatching("VizpaneBlit").size(), 1u);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error snapping image in preview.");
}

TEST_F(PreviewTest, TheBoardsCancelSignalCutsFrameWaitsShort) {
    // Frames take far longer than the board's cancel period: every wait is cancelled.
    StartSource(SmallBoard + "frame_ms = 60000\ncancel_signal_ms = 20\n");
    ClickPreview();
    ASSERT_TRUE(RunUntilBoxes(1));
    RunUntilEnded();
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Too many bad frames.");
    auto log = BoardLog();
    EXPECT_EQ(LogCount(log, "KvSignalWait 4 5000 -> 65537"), 26);
    EXPECT_GE(LogCount(log, "KvSignalWait 2 4294967295 -> 0"), 26);
    EXPECT_GE(LogCount(log, "KvSignalCancel 4"), 26);
}

TEST_F(PreviewTest, PreviewButtonStartsAndStopsByItsCaption) {
    StartSource(SmallBoard);
    ClickPreview();
    ASSERT_TRUE(RunUntilBlits(2));
    EXPECT_TRUE(ShowsRunning());
    ClickPreview();
    RunUntilEnded();
    EXPECT_EQ(LogCount(BoardLog(), "VizpaneClose *"), 1);

    // A second run after the first.
    ClickPreview();
    ASSERT_TRUE(loop->RunUntil(
        [] { return BoardLogMatching("VizpaneCreate").size() == 2; }, LongEnough));
    ASSERT_TRUE(RunUntilBlits(static_cast<int>(BoardLogMatching("VizpaneBlit").size()) + 2));
    ClickPreview();
    RunUntilEnded();
    EXPECT_EQ(LogCount(BoardLog(), "VizpaneClose *"), 2);

    // Any caption but exactly "Preview" only asks a run to stop.
    SetWindowTextA(GetDlgItem(dialog, IDC_PREVIEW), "preview");
    ClickPreview();
    loop->Run(300);
    EXPECT_EQ(BoardLogMatching("VizpaneCreate").size(), 2u);
    EXPECT_TRUE(loop->RunUntil([&] { return ThreadCount() == threadsWhenEnabled; }, 5000));
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Notifications().empty());
}

TEST_F(PreviewTest, ASecondClickBeforeTheRunShowsItselfStopsIt) {
    StartSource(SmallBoard);
    // Both clicks reach the dialog before the new run can change the caption.
    HWND button = GetDlgItem(dialog, IDC_PREVIEW);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW, BN_CLICKED), LPARAM(button));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW, BN_CLICKED), LPARAM(button));
    RunUntilEnded();
    EXPECT_LE(BoardLogMatching("VizpaneCreate").size(), 1u);
    EXPECT_TRUE(Boxes().empty());
    // The dialog is ready for a proper run.
    ClickPreview();
    ASSERT_TRUE(RunUntilBlits(2));
    EXPECT_TRUE(ShowsRunning());
    ClickPreview();
    RunUntilEnded();
}

TEST_F(PreviewTest, ClosingTheSurfaceEndsThePreviewQuietly) {
    StartSource(SmallBoard);
    ClickPreview();
    ASSERT_TRUE(RunUntilBlits(2));
    auto surfaces = OwnedWindows(dialog);
    ASSERT_EQ(surfaces.size(), 1u);
    HWND surface = surfaces[0];
    EXPECT_NE(GetWindowThreadProcessId(surface, nullptr), GetCurrentThreadId());
    PostMessageA(surface, WM_CLOSE, 0, 0);
    RunUntilEnded();
    EXPECT_FALSE(IsWindow(surface));
    EXPECT_TRUE(Boxes().empty());
    // Already closed by the user: the preview does not close it again.
    EXPECT_TRUE(BoardLogMatching("VizpaneClose").empty());
    EXPECT_EQ(BoardLogMatching("VizpaneCreate").size(), 1u);
}

TEST_F(PreviewTest, DisableStopsARunningPreviewFirst) {
    StartSource(SmallBoard + "frame_ms = 2\n");
    ClickPreview();
    ASSERT_TRUE(RunUntilBlits(3));
    ASSERT_EQ(source->Disable(), TWRC_SUCCESS);

    // The preview was over before the monitor was stopped and the signals freed.
    auto log = BoardLog();
    int stopping = LogIndex(log, "KvSignalCancel 2");
    ASSERT_GE(stopping, 0);
    int lastFrameWait = -1, closed = LogIndex(log, "VizpaneClose *");
    for (int i = 0; i < static_cast<int>(log.size()); ++i)
        if (log[i].rfind("KvSignalWait 4 ", 0) == 0 || log[i].rfind("KvAqCommand", 0) == 0)
            lastFrameWait = i;
    EXPECT_LT(lastFrameWait, stopping);
    EXPECT_GE(closed, 0);
    EXPECT_LT(closed, stopping);
    EXPECT_TRUE(LogHasInOrder(log, {"KvSignalCancel 2", "KvSignalFree 2 -> 0",
                                    "KvSignalFree 4 -> 0", "KvAqCleanUp 0 -> 0"}));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(OwnedWindows(dialog).empty());
    // An ended thread may stay listed for a moment after it has ended.
    EXPECT_TRUE(PumpUntil([&] { return ThreadCount() == threadsWhenOpen; }, 5000));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(PreviewTest, ClosingDuringAPreviewStopsItBeforeTheBoardCloses) {
    StartSource(SmallBoard + "frame_ms = 2\n");
    ClickPreview();
    ASSERT_TRUE(RunUntilBlits(3));
    ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    auto log = BoardLog();
    EXPECT_TRUE(LogHasInOrder(log, {"VizpaneClose *", "KvSignalCancel 2", "KvSignalFree 2 -> 0",
                                    "KvSignalFree 4 -> 0", "KvAqCleanUp 0 -> 0",
                                    "KvBrdClose -> 0"}));
    EXPECT_EQ(LogCount(log, "VizpaneClose *"), 1);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(Boxes().empty());
    // Nothing of the preview or the monitor is left running.
    ClearBoxes();
    size_t logged = BoardLog().size();
    PumpMessages(100);
    EXPECT_EQ(BoardLog().size(), logged);
}

TEST_F(PreviewTest, ATransferStopsTheRunningPreviewFirst) {
    StartSource(SmallBoard + "frame_ms = 2\n");
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(loop->RunUntil([] { return Notifications().size() == 1; }, LongEnough));
    ClickPreview();
    ASSERT_TRUE(RunUntilBlits(2));
    ASSERT_TRUE(ShowsRunning());

    // The preview's last changes to the still shown dialog are made while the
    // transfer waits for it, without this thread pumping.
    TW_HANDLE bitmap = nullptr;
    ASSERT_EQ(source->Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &bitmap), TWRC_XFERDONE);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_TRUE(OwnedWindows(dialog).empty());
    auto log = BoardLog();
    int closed = LogIndex(log, "VizpaneClose *");
    ASSERT_GE(closed, 0);
    // After the surface closed, only the transfer's own frame was taken.
    std::vector<std::string> after(log.begin() + closed + 1, log.end());
    EXPECT_EQ(FrameTraffic(after),
              (std::vector<std::string>{FrameStart, "KvSignalWait 4 5000 -> 0"}));
    EXPECT_TRUE(Boxes().empty());
    GlobalFree(bitmap);
}

}  // namespace
