// What the tests use to drive QXTwain.ds as a Source Manager would, and to read
// what happened: results, condition codes, boxes, and the simulated board's log.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/board_log.h"
#include "support/loaded_source.h"

namespace qx {

// Message boxes caught on any thread of this process since the last ClearBoxes.
struct Box {
    HWND owner;
    DWORD thread;
    std::string title;
    std::string text;
    // One OK button and no icon: MB_OK.
    bool plainOk;
    unsigned buttons;
    bool hasIcon;
};
std::vector<Box> Boxes();
void ClearBoxes();
// Pumps this thread's messages until n boxes were caught or ms passed.
bool WaitForBoxes(size_t n, DWORD ms);
// What to do with a dialog of this title (see BoxHookSetDialogAction).
void SetDialogAction(const char *title, int command, int listIndex = -1);
// Committed private memory of this process: where large heap blocks live.
SIZE_T CommittedPrivateBytes();
// Pumps this thread's messages for ms milliseconds.
void PumpMessages(DWORD ms);
// Pumps messages until pred() is true or ms passed; returns pred().
template <class Pred> bool PumpUntil(Pred pred, DWORD ms) {
    DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > ms) return pred();
        PumpMessages(5);
    }
    return true;
}

// Each test gets a freshly configured board, a freshly loaded source and an
// empty box record. Override BoardConfig() for another board.
class SourceTest : public ::testing::Test {
protected:
    virtual std::string BoardConfig() { return ""; }
    void SetUp() override;
    void TearDown() override;
    std::unique_ptr<LoadedSource> source;
};

}  // namespace qx

// Readable assertions on boxes.
#define EXPECT_BOX(box, expectedTitle, expectedText) \
    do {                                             \
        EXPECT_EQ((box).title, expectedTitle);       \
        EXPECT_EQ((box).text, expectedText);         \
        EXPECT_TRUE((box).plainOk) << "buttons " << (box).buttons << " icon " << (box).hasIcon; \
    } while (0)

namespace qx {
// Exactly one box was caught, and it is this one.
void ExpectOneBox(const std::string &title, const std::string &text);

// What the development Source Manager (TWAIN_32.DLL) received from the source.
struct Notification {
    TW_IDENTITY origin;
    TW_IDENTITY destination;
    TW_UINT16 message;
};
std::vector<Notification> Notifications();
void ClearNotifications();
}  // namespace qx
