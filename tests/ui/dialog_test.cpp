// The user-interface dialog: its template as the module carries it, the window
// made from it, and Acquire and Cancel reaching the application through the
// Source Manager while the application's loop offers its messages to the source.
#include "ui_support.h"

#include "res/resource.h"

#include <cstring>

using namespace qx;

namespace {

constexpr WORD ButtonClass = 0x0080;
constexpr DWORD PushButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD GroupBoxStyle = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;
constexpr DWORD DialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

// A name or ordinal of a dialog template.
struct NameOrId {
    bool isId = false;
    WORD id = 0;
    std::string name;
};

struct TemplateItem {
    DWORD style, exStyle;
    short x, y, cx, cy;
    WORD id;
    NameOrId windowClass, text;
};

struct DialogTemplate {
    DWORD style, exStyle;
    short x, y, cx, cy;
    NameOrId menu, windowClass;
    std::string caption;
    WORD pointSize = 0;
    std::string font;
    std::vector<TemplateItem> items;
};

class TemplateReader {
public:
    TemplateReader(const BYTE *data, DWORD size) : start(data), at(data), end(data + size) {}
    WORD Word() { return static_cast<WORD>(Take(2)); }
    DWORD Dword() { return static_cast<DWORD>(Take(4)); }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return static_cast<BYTE>(Take(1)); }
    std::string String() {
        std::string text;
        for (WORD c = Word(); c != 0 && !overrun; c = Word()) text += static_cast<char>(c);
        return text;
    }
    NameOrId Name() {
        NameOrId n;
        WORD first = Word();
        if (first == 0xFFFF) {
            n.isId = true;
            n.id = Word();
        } else if (first != 0) {
            at -= 2;
            n.name = String();
        }
        return n;
    }
    void AlignDword() { at = start + ((at - start + 3) & ~3); }
    bool overrun = false;

private:
    uint32_t Take(int bytes) {
        if (at + bytes > end) {
            overrun = true;
            return 0;
        }
        uint32_t value = 0;
        memcpy(&value, at, bytes);
        at += bytes;
        return value;
    }
    const BYTE *start, *at, *end;
};

DialogTemplate ReadTemplate(HMODULE module) {
    DialogTemplate t = {};
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_USER_INTERFACE), MAKEINTRESOURCEA(5));
    EXPECT_NE(found, nullptr);
    if (!found) return t;
    auto data = static_cast<const BYTE *>(LockResource(LoadResource(module, found)));
    TemplateReader r(data, SizeofResource(module, found));
    t.style = r.Dword();
    t.exStyle = r.Dword();
    WORD count = r.Word();
    t.x = r.Short(), t.y = r.Short(), t.cx = r.Short(), t.cy = r.Short();
    t.menu = r.Name();
    t.windowClass = r.Name();
    t.caption = r.String();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        t.font = r.String();
    }
    for (WORD i = 0; i < count && !r.overrun; ++i) {
        r.AlignDword();
        TemplateItem item = {};
        item.style = r.Dword();
        item.exStyle = r.Dword();
        item.x = r.Short(), item.y = r.Short(), item.cx = r.Short(), item.cy = r.Short();
        item.id = r.Word();
        item.windowClass = r.Name();
        item.text = r.Name();
        WORD extra = r.Word();
        for (WORD b = 0; b < extra; ++b) r.Byte();
        t.items.push_back(item);
    }
    EXPECT_FALSE(r.overrun);
    return t;
}

struct ExpectedControl {
    WORD id;
    const char *text;
    short x, y, cx, cy;
    DWORD style;
};

// The ids applications and their automation know.
static_assert(IDD_USER_INTERFACE == 1010 && IDC_PREVIEW == 1027, "published dialog ids");

constexpr ExpectedControl Controls[] = {
    {1, "Acquire", 40, 100, 50, 14, PushButtonStyle},
    {2, "Cancel", 115, 100, 50, 14, PushButtonStyle},
    {IDC_PREVIEW, "Preview", 78, 45, 50, 14, PushButtonStyle},
    {0xFFFF, "Preview Image", 31, 25, 145, 50, GroupBoxStyle},
};

TEST(DialogTemplate, IsTheModulesDialog1010) {
    LoadedSource source;
    ASSERT_NE(source.module, nullptr);
    DialogTemplate t = ReadTemplate(source.module);
    EXPECT_EQ(t.style, 0x80C800C0u);
    EXPECT_EQ(t.style, DialogStyle);
    EXPECT_FALSE(t.style & WS_VISIBLE);
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.x, 18);
    EXPECT_EQ(t.y, 18);
    EXPECT_EQ(t.cx, 207);
    EXPECT_EQ(t.cy, 126);
    EXPECT_FALSE(t.menu.isId || !t.menu.name.empty());
    EXPECT_FALSE(t.windowClass.isId || !t.windowClass.name.empty());
    // The published title, as users know it; the other tests use its name.
    EXPECT_EQ(t.caption, "Quorvex User Interface");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.font, "MS Sans Serif");

    ASSERT_EQ(t.items.size(), std::size(Controls));
    for (size_t i = 0; i < t.items.size(); ++i) {
        const TemplateItem &item = t.items[i];
        const ExpectedControl &want = Controls[i];
        SCOPED_TRACE(want.text);
        EXPECT_EQ(item.id, want.id);
        EXPECT_TRUE(item.windowClass.isId);
        EXPECT_EQ(item.windowClass.id, ButtonClass);
        EXPECT_FALSE(item.text.isId);
        EXPECT_EQ(item.text.name, want.text);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.style, want.style);
        EXPECT_EQ(item.exStyle, 0u);
        // No button is the default push button.
        EXPECT_NE(item.style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    }
}

class DialogTest : public SourceTest {
protected:
    void SetUp() override {
        SourceTest::SetUp();
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
        loop = std::make_unique<EventLoop>(*source);
    }

    void EnableShown() {
        ASSERT_EQ(source->Enable(true, app.hwnd), TWRC_SUCCESS);
        dialog = FindSourceDialog();
        ASSERT_NE(dialog, nullptr);
    }

    bool RunUntilNotified(size_t count) {
        return loop->RunUntil([count] { return Notifications().size() >= count; }, 10000);
    }

    // 600 is the only state in which MSG_RESET succeeds; it leaves the source in 500.
    bool ResetSucceeds() {
        TW_PENDINGXFERS pending = {7, 0};
        return source->Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending) == TWRC_SUCCESS;
    }

    void ExpectNotified(size_t index, TW_UINT16 message) {
        auto notes = Notifications();
        ASSERT_GT(notes.size(), index);
        EXPECT_EQ(notes[index].message, message);
        EXPECT_TRUE(SameIdentity(notes[index].origin, source->opened));
        EXPECT_TRUE(SameIdentity(notes[index].destination, source->app));
    }

    // Every offered event of this kind for the dialog was the source's.
    void ExpectTakenBySource(UINT message) {
        auto events = loop->EventsFor(dialog, message);
        ASSERT_FALSE(events.empty());
        for (const OfferedEvent &e : events) {
            EXPECT_EQ(e.result, TWRC_DSEVENT);
            EXPECT_EQ(e.twMessage, MSG_NULL);
        }
    }

    AppWindow app;
    HWND dialog = nullptr;
    std::unique_ptr<EventLoop> loop;
};

TEST_F(DialogTest, TheShownWindowIsMadeFromTheTemplate) {
    EnableShown();
    EXPECT_EQ(WindowText(dialog), QX_DIALOG_TITLE);
    DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    EXPECT_EQ(style & DialogStyle, DialogStyle);
    EXPECT_FALSE(style & WS_CHILD);
    EXPECT_TRUE(style & WS_VISIBLE);
    for (const ExpectedControl &want : Controls) {
        SCOPED_TRACE(want.text);
        HWND control = GetDlgItem(dialog, want.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(WindowText(control), want.text);
        EXPECT_TRUE(IsWindowVisible(control));
        EXPECT_TRUE(IsWindowEnabled(control));
        char cls[16] = {};
        GetClassNameA(control, cls, sizeof cls);
        EXPECT_STREQ(cls, "Button");
        // Placed where the template says, in dialog units.
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&rect), 2);
        // The dialog manager converts position and size each on its own.
        RECT expected = {want.x, want.y, want.cx, want.cy};
        MapDialogRect(dialog, &expected);
        EXPECT_EQ(rect.left, expected.left);
        EXPECT_EQ(rect.top, expected.top);
        EXPECT_EQ(rect.right - rect.left, expected.right);
        EXPECT_EQ(rect.bottom - rect.top, expected.bottom);
    }
}

TEST_F(DialogTest, AcquireMakesATransferReady) {
    EnableShown();
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(RunUntilNotified(1));
    ExpectTakenBySource(BM_CLICK);
    ExpectNotified(0, MSG_XFERREADY);
    EXPECT_EQ(Notifications().size(), 1u);
    EXPECT_TRUE(IsWindowVisible(dialog));

    // Pressed again while a transfer is ready: told again, still 600.
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(RunUntilNotified(2));
    ExpectNotified(1, MSG_XFERREADY);
    EXPECT_TRUE(ResetSucceeds());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(DialogTest, CancelAsksToCloseAndKeepsTheState) {
    EnableShown();
    PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(RunUntilNotified(1));
    ExpectTakenBySource(BM_CLICK);
    ExpectNotified(0, MSG_CLOSEDSREQ);
    EXPECT_EQ(Notifications().size(), 1u);
    // Still 500; the application answers with disable and close.
    EXPECT_FALSE(ResetSucceeds());
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    EXPECT_EQ(source->Disable(), TWRC_SUCCESS);
    EXPECT_EQ(source->Close(), TWRC_SUCCESS);
}

TEST_F(DialogTest, EscapeAndTheCloseBoxArriveAsCancel) {
    EnableShown();
    PostMessageA(GetDlgItem(dialog, IDC_PREVIEW), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(RunUntilNotified(1));
    ExpectTakenBySource(WM_KEYDOWN);
    ExpectNotified(0, MSG_CLOSEDSREQ);

    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(RunUntilNotified(2));
    ExpectNotified(1, MSG_CLOSEDSREQ);
    // The dialog stays until the application disables the source.
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowVisible(dialog));
}

TEST_F(DialogTest, OnlyTheDialogsMessagesAreTheSources) {
    EnableShown();
    PostMessageA(app.hwnd, WM_USER + 5, 0, 0);
    PostMessageA(dialog, WM_USER + 6, 0, 0);
    loop->Run(50);
    auto forApp = loop->EventsFor(app.hwnd, WM_USER + 5);
    ASSERT_EQ(forApp.size(), 1u);
    EXPECT_EQ(forApp[0].result, TWRC_NOTDSEVENT);
    EXPECT_EQ(forApp[0].twMessage, 0xBEEF);
    auto forDialog = loop->EventsFor(dialog, WM_USER + 6);
    ASSERT_EQ(forDialog.size(), 1u);
    EXPECT_EQ(forDialog[0].result, TWRC_DSEVENT);
    EXPECT_EQ(forDialog[0].twMessage, MSG_NULL);
    EXPECT_TRUE(Notifications().empty());

    // Once disabled, nothing is the source's.
    ASSERT_EQ(source->Disable(), TWRC_SUCCESS);
    loop->offered.clear();
    PostMessageA(app.hwnd, WM_USER + 7, 0, 0);
    loop->Run(50);
    auto after = loop->EventsFor(app.hwnd, WM_USER + 7);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].result, TWRC_NOTDSEVENT);
    EXPECT_EQ(after[0].twMessage, 0xBEEF);
}

TEST_F(DialogTest, WithoutUserInterfaceTheHiddenDialogStillExists) {
    ASSERT_EQ(source->Enable(false, app.hwnd), TWRC_SUCCESS);
    dialog = FindSourceDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(ControlText(dialog, IDC_PREVIEW), "Preview");
    EXPECT_TRUE(BoardLogMatching("VizpaneCreate").empty());
}

}  // namespace
