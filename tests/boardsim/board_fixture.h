// A freshly configured simulated board for each test, opened on request, with
// acquisition set up into a buffer the test can read.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board/maker_api.h"
#include "support/harness.h"

namespace qx {

// While it lives, each dialog (message boxes too) activated on this thread is
// handed to onDialog. A thread hook: a child process reaches no other process.
class ThreadDialogHook {
public:
    explicit ThreadDialogHook(std::function<void(HWND)> onDialog);
    ~ThreadDialogHook();
    ThreadDialogHook(const ThreadDialogHook &) = delete;
    ThreadDialogHook &operator=(const ThreadDialogHook &) = delete;
};

class BoardTest : public ::testing::Test {
protected:
    // Configuration keys of the test (a fresh log is added).
    virtual std::string Config() { return "frame_ms = 0"; }
    void SetUp() override;
    void TearDown() override;

    // Opens board 0 of family 0x20 and creates its frame (4) and cancel (2) signals.
    void OpenBoard();
    // Sets acquisition up into `buffer`, of the board's image size plus `guard`
    // bytes that the board must never touch; everything starts as `fill`.
    void SetUpAcquisition(uint32_t imageBytes = 0, size_t guard = 64, uint8_t fill = 0xAB);
    uint32_t Inquire(uint32_t parameter);
    // Starts a frame and waits for it (5000 ms).
    uint32_t Snap();
    uint32_t Wait(KvSignal &signal, uint32_t ms) { return KvSignalWait(board, &signal, ms, &detail); }
    uint32_t Command(uint32_t command, uint32_t mode) { return KvAqCommand(board, command, mode, 0, 0); }
    // Waits until the board has written frame n of the default 8-bit board
    // (its last pixel); its raises are then pending.
    bool AwaitFrameWritten(uint32_t n);
    // The buffer's bytes up to `size` all equal `value`.
    bool BufferUntouched(size_t size, uint8_t value = 0xAB) const;

    KvBoard board = nullptr;
    KvSignal frame = {};
    KvSignal cancel = {};
    std::vector<uint8_t> buffer;
    uint32_t imageBytesGiven = 0;
    bool setUp = false;
    uint32_t detail = 0;
};

}  // namespace qx
