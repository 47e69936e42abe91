// What the tests use to drive QXTwain.ds as a Source Manager would, and to read
// what happened: results, condition codes, boxes, and the simulated board's log.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ds/twain.h"

namespace qx {

// An application's identity as a Source Manager passes it in pOrigin.
TW_IDENTITY AppIdentity(TW_UINT32 id = 7, TW_UINT16 protocolMajor = 1,
                        TW_UINT16 protocolMinor = 6);
// The source's identity as a Source Manager passes it with MSG_OPENDS.
TW_IDENTITY OpenedSourceIdentity(TW_UINT32 id = 9);

// QXTwain.ds loaded afresh (a fresh source record); unloaded on destruction.
class LoadedSource {
public:
    LoadedSource();
    ~LoadedSource();
    LoadedSource(const LoadedSource &) = delete;
    LoadedSource &operator=(const LoadedSource &) = delete;

    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data);
    TW_UINT16 CallAs(TW_IDENTITY *origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                     void *data);
    // DAT_STATUS / MSG_GET: the pending condition code (and clears it).
    TW_UINT16 Status();
    TW_UINT16 Open();
    TW_UINT16 Close();
    TW_UINT16 Enable(bool showUI, HWND parent = nullptr);
    TW_UINT16 Disable();
    // DAT_PENDINGXFERS / MSG_GET Count, or -1 when the call fails.
    int PendingCount();
    // DAT_CAPABILITY: sends cap with msg and returns the result; the reply's
    // handle (if any) lands in cap->hContainer (caller frees with GlobalFree).
    TW_UINT16 Capability(TW_UINT16 msg, TW_CAPABILITY *cap);

    HMODULE module = nullptr;
    DSENTRYPROC entry = nullptr;
    TW_IDENTITY app;
    TW_IDENTITY opened;
};

// Simulated board: replaces the configuration with `keys` plus a fresh call log.
void ConfigureBoard(const std::string &keys = "");
std::string BoardLogPath();
std::vector<std::string> BoardLog();
// Log lines that start with prefix.
std::vector<std::string> BoardLogMatching(const std::string &prefix);

// Frame content of the simulated board's ramp pattern.
uint32_t RampSample(uint32_t x, uint32_t y, uint32_t frame, uint32_t depth, bool highBits = false);
uint8_t RampByte(uint32_t x, uint32_t y, uint32_t frame, uint32_t k);

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
// What the development Source Manager (TWAIN_32.DLL) received from the source.
struct Notification {
    TW_IDENTITY origin;
    TW_IDENTITY destination;
    TW_UINT16 message;
};
std::vector<Notification> Notifications();
void ClearNotifications();
}  // namespace qx
