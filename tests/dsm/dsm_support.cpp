#include "dsm/dsm_support.h"

#include <cstddef>
#include <cstring>

#include "support/box_hook.h"

// The harness reads the record through its own copy of the record's layout.
static_assert(sizeof(qx::Notification) == sizeof(DsmNotification));
static_assert(offsetof(qx::Notification, destination) == offsetof(DsmNotification, destination));
static_assert(offsetof(qx::Notification, message) == offsetof(DsmNotification, message));

namespace qx {

namespace {

HMODULE SourceManager() {
    static HMODULE dsm = LoadLibraryA("TWAIN_32.DLL");
    return dsm;
}

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// Wake-ups left in this thread's queue must not reach the next test.
void DrainWakeUps() {
    MSG message;
    while (PeekMessageA(&message, nullptr, WakeMessage(), WakeMessage(), PM_REMOVE)) {
    }
}

}  // namespace

bool QuorvexLoaded() { return GetModuleHandleA("QXTwain.ds") != nullptr; }

TW_IDENTITY NewApplication(const char *name) {
    TW_IDENTITY app = AppIdentity(0);
    CopyIdentityText(app.ProductName, name);
    return app;
}

TW_IDENTITY NamedSource(const char *productName) {
    TW_IDENTITY source = {};
    CopyIdentityText(source.ProductName, productName);
    return source;
}

int RecordCount() {
    static auto count = Export<int (*)()>(SourceManager(), "DSM_DevNotificationCount");
    return count ? count() : -1;
}

bool RecordGet(int index, DsmNotification *out) {
    static auto get =
        Export<BOOL (*)(int, DsmNotification *)>(SourceManager(), "DSM_DevNotificationGet");
    return get && get(index, out);
}

UINT WakeMessage() { return RegisterWindowMessageA(DSM_WAKE_MESSAGE_NAME); }

MSG MessageFor(HWND window, UINT message) {
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.time = GetTickCount();
    return msg;
}

void DsmTest::SetUp() {
    ASSERT_TRUE(BoxHookStart());
    ClearBoxes();
    ConfigureBoard(BoardConfig());
    HMODULE dsm = SourceManager();
    ASSERT_NE(dsm, nullptr) << "TWAIN_32.DLL did not load";
    ASSERT_NE(GetProcAddress(dsm, "DSM_DevNotificationCount"), nullptr)
        << "TWAIN_32.DLL is not the development Source Manager (under Wine: a prefix "
           "without the override of scripts/wine-prefix.sh?)";
    entry = Export<DSMENTRYPROC>(dsm, "DSM_Entry");
    ASSERT_NE(entry, nullptr);
    ClearNotifications();
    DrainWakeUps();
    // Calls from no application share one code: start without an old one.
    TW_IDENTITY nobody = NewApplication("Nobody");
    TW_STATUS status;
    entry(&nobody, nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
}

void DsmTest::TearDown() {
    for (auto &[app, source] : sources_) {
        TW_USERINTERFACE ui = {0, 0, nullptr};
        Dsm(&app, &source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source);
    }
    for (TW_IDENTITY &app : apps_)
        Dsm(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr);
    for (HWND window : windows_) DestroyWindow(window);
    DrainWakeUps();
    // Nothing a test opened stays open: the source is unloaded again.
    EXPECT_FALSE(QuorvexLoaded());
}

TW_UINT16 DsmTest::Dsm(TW_IDENTITY *origin, TW_IDENTITY *dest, TW_UINT32 dg, TW_UINT16 dat,
                       TW_UINT16 msg, void *data) {
    return entry(origin, dest, dg, dat, msg, data);
}

TW_UINT16 DsmTest::DsmStatus(TW_IDENTITY *origin) {
    TW_STATUS status = {0xEEEE, 0xEEEE};
    EXPECT_EQ(Dsm(origin, nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.Reserved, 0);
    return status.ConditionCode;
}

TW_UINT16 DsmTest::SourceStatus(TW_IDENTITY *app, TW_IDENTITY *source) {
    TW_STATUS status = {0xEEEE, 0xEEEE};
    EXPECT_EQ(Dsm(app, source, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    return status.ConditionCode;
}

TW_IDENTITY DsmTest::OpenApplication(HWND window) {
    TW_IDENTITY app = NewApplication();
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &window), TWRC_SUCCESS);
    apps_.push_back(app);
    return app;
}

std::vector<TW_IDENTITY> DsmTest::ListSources(TW_IDENTITY *app) {
    std::vector<TW_IDENTITY> listed;
    TW_IDENTITY identity = {};
    TW_UINT16 result = Dsm(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity);
    while (result == TWRC_SUCCESS && listed.size() < 100) {
        listed.push_back(identity);
        identity = {};
        result = Dsm(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity);
    }
    EXPECT_EQ(result, TWRC_ENDOFLIST);
    return listed;
}

TW_IDENTITY DsmTest::OpenQuorvex(TW_IDENTITY *app) {
    TW_IDENTITY source = NamedSource(QuorvexProduct);
    if (Dsm(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source) != TWRC_SUCCESS) {
        ADD_FAILURE() << "QXTwain did not open; Source Manager status " << DsmStatus(app);
        return {};
    }
    sources_.push_back({*app, source});
    return source;
}

TW_UINT16 DsmTest::CloseSource(TW_IDENTITY *app, TW_IDENTITY *source) {
    return Dsm(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, source);
}

TW_UINT16 DsmTest::Enable(TW_IDENTITY *app, TW_IDENTITY *source, bool showUI, HWND parent) {
    TW_USERINTERFACE ui = {static_cast<TW_BOOL>(showUI), 0, parent};
    return Dsm(app, source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
}

HWND DsmTest::CreateAppWindow() {
    static ATOM windowClass = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QXDsmTestWindow";
        return RegisterClassA(&wc);
    }();
    EXPECT_NE(windowClass, 0);
    HWND window = CreateWindowA("QXDsmTestWindow", "DSM test application", WS_OVERLAPPEDWINDOW, 0,
                                0, 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(window, nullptr);
    windows_.push_back(window);
    return window;
}

bool DsmTest::PumpUntilSourceMessage(TW_IDENTITY *app, TW_IDENTITY *source, TW_UINT16 wanted,
                                     DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start <= ms) {
        MSG message;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        TW_EVENT event = {&message, MSG_NULL};
        TW_UINT16 result = Dsm(app, source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
        if (result == TWRC_DSEVENT) {
            if (event.TWMessage == wanted) return true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return false;
}

}  // namespace qx
