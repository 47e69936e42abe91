// The board-selection dialog: answered by the `select` key, or shown and
// driven here through a CBT hook on this thread.
#include <cstring>

#include "board_fixture.h"
#include "support/box_hook.h"
#include "support/window_list.h"

namespace qx {
namespace {

// What the hook saw and what it does: select item `pick` (if >= 0), press `command`.
struct DialogDriver {
    int command = IDCANCEL;
    int pick = -1;
    int shown = 0;
    std::string title;
    std::vector<std::string> items;
    bool hasOk = false, hasCancel = false;
};
void DriveDialog(HWND dialog, DialogDriver &d) {
    ++d.shown;
    d.title = WindowText(dialog);
    d.hasOk = GetDlgItem(dialog, IDOK) != nullptr;
    d.hasCancel = GetDlgItem(dialog, IDCANCEL) != nullptr;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_stricmp(ClassName(child).c_str(), "ListBox") != 0) continue;
        LRESULT n = SendMessageA(child, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            char text[128] = {};
            SendMessageA(child, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            d.items.push_back(text);
        }
        if (d.pick >= 0) SendMessageA(child, LB_SETCURSEL, d.pick, 0);
        if (d.pick == -2) SendMessageA(child, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(d.command, BN_CLICKED), 0);
}

class DialogTest : public BoardTest {
protected:
    std::string Config() override { return "boards = 0x10:1, 0x40:2"; }
    // Runs the dialog with the driver's hook on this thread.
    uint32_t Run(DialogDriver &driver) {
        BoxHookStop();  // the dialog is driven here, not dismissed
        ThreadDialogHook hook([&](HWND dialog) { DriveDialog(dialog, driver); });
        return DoBrdOpenDialog(1, 0xD0, &family, &number, &out3, &out4);
    }
    uint32_t family = 0xEE, number = 0xEE, out3 = 0, out4 = 0;
};

TEST_F(DialogTest, CancelReturns2) {
    DialogDriver driver;
    EXPECT_EQ(Run(driver), 2u);
    EXPECT_EQ(driver.shown, 1);
    EXPECT_EQ(driver.title, "Select Quorvex Board");
    EXPECT_TRUE(driver.hasOk && driver.hasCancel);
    EXPECT_EQ(driver.items, (std::vector<std::string>{"Quorvex 0x10 board 0", "Quorvex 0x40 board 0",
                                                      "Quorvex 0x40 board 1"}));
    EXPECT_EQ(family, 0xEEu);
}

TEST_F(DialogTest, OkReturnsTheChosenBoard) {
    DialogDriver driver;
    driver.command = IDOK;
    driver.pick = 2;
    EXPECT_EQ(Run(driver), 0u);
    EXPECT_EQ(family, 0x40u);
    EXPECT_EQ(number, 1u);
    KvBoardEntry entry = {};
    EXPECT_EQ(KvSysBrdFind(family, number, &entry), 0u);

    DialogDriver first;
    first.command = IDOK;
    EXPECT_EQ(Run(first), 0u);
    EXPECT_EQ(family, 0x10u) << "the first board is chosen at first";
    EXPECT_EQ(number, 0u);
}

TEST_F(DialogTest, OkWithoutABoardIsACancel) {
    ASSERT_NO_FATAL_FAILURE(ConfigureBoard("boards = none"));
    DialogDriver driver;
    driver.command = IDOK;
    EXPECT_EQ(Run(driver), 2u);
    EXPECT_TRUE(driver.items.empty());
    EXPECT_EQ(driver.shown, 1);
}

TEST_F(DialogTest, TheSelectKeyAnswersWithoutAWindow) {
    ASSERT_NO_FATAL_FAILURE(ConfigureBoard("select = 0x40:1"));
    DialogDriver driver;
    EXPECT_EQ(Run(driver), 0u);
    EXPECT_EQ(driver.shown, 0);
    EXPECT_EQ(family, 0x40u);
    EXPECT_EQ(number, 1u);
    ASSERT_NO_FATAL_FAILURE(ConfigureBoard("select = cancel"));
    EXPECT_EQ(Run(driver), 2u);
    EXPECT_EQ(driver.shown, 0);
    EXPECT_EQ(BoardLog(), std::vector<std::string>{"DoBrdOpenDialog 1 208 -> 2"});
}

}  // namespace
}  // namespace qx
