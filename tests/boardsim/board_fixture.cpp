#include "board_fixture.h"

#include "support/box_hook.h"
#include "support/window_list.h"

namespace qx {

namespace {

std::function<void(HWND)> g_onDialog;
HHOOK g_dialogHook;

LRESULT CALLBACK OnActivate(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && g_onDialog && ClassName(window) == "#32770") g_onDialog(window);
    return CallNextHookEx(g_dialogHook, code, wParam, lParam);
}

}  // namespace

ThreadDialogHook::ThreadDialogHook(std::function<void(HWND)> onDialog) {
    g_onDialog = std::move(onDialog);
    g_dialogHook = SetWindowsHookExA(WH_CBT, OnActivate, nullptr, GetCurrentThreadId());
    EXPECT_NE(g_dialogHook, nullptr);
}

ThreadDialogHook::~ThreadDialogHook() {
    UnhookWindowsHookEx(g_dialogHook);
    g_onDialog = nullptr;
}

void BoardTest::SetUp() {
    ASSERT_TRUE(BoxHookStart());
    ClearBoxes();
    ConfigureBoard(Config());
}

void BoardTest::TearDown() {
    if (setUp) KvAqCleanUp(board, 0);
    if (board) {
        KvSignalFree(board, &cancel);
        KvSignalFree(board, &frame);
        EXPECT_EQ(KvBrdClose(board), 0u);
    }
}

void BoardTest::OpenBoard() {
    KvBoardEntry entry = {};
    ASSERT_EQ(KvSysBrdFind(0x20, 0, &entry), 0u);
    ASSERT_EQ(KvBrdOpen(&entry, &board, 1), 0u);
    ASSERT_NE(board, nullptr);
    ASSERT_EQ(KvSignalCreate(board, KV_SIGNAL_FRAME, &frame), 0u);
    ASSERT_EQ(KvSignalCreate(board, KV_SIGNAL_CANCEL, &cancel), 0u);
    EXPECT_EQ(frame.kind, KV_SIGNAL_FRAME);
    EXPECT_EQ(cancel.kind, KV_SIGNAL_CANCEL);
}

void BoardTest::SetUpAcquisition(uint32_t imageBytes, size_t guard, uint8_t fill) {
    if (!board) OpenBoard();
    imageBytesGiven = imageBytes ? imageBytes : Inquire(KV_IMAGE_BYTES);
    buffer.assign(imageBytesGiven + guard, fill);
    ASSERT_EQ(KvAqSetup(board, buffer.data(), imageBytesGiven, Inquire(KV_LINE_BYTES), 3, 4, 0, 0, 1,
                        1, 0),
              0u);
    setUp = true;
}

uint32_t BoardTest::Inquire(uint32_t parameter) {
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(KvBrdInquire(board, parameter, &value), 0u) << "parameter " << parameter;
    return value;
}

uint32_t BoardTest::Snap() {
    EXPECT_EQ(Command(2, 2), 0u);
    return Wait(frame, 5000);
}

bool BoardTest::AwaitFrameWritten(uint32_t n) {
    const uint8_t expected = static_cast<uint8_t>(RampSample(639, 479, n, 8));
    volatile const uint8_t *last = buffer.data() + 640 * 480 - 1;
    for (int i = 0; i < 5000 && *last != expected; ++i) Sleep(1);
    return *last == expected;
}

bool BoardTest::BufferUntouched(size_t size, uint8_t value) const {
    for (size_t i = 0; i < size && i < buffer.size(); ++i)
        if (buffer[i] != value) return false;
    return true;
}

}  // namespace qx
