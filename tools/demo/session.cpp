// The application's side of a TWAIN session: its window, the Source Manager,
// the choice of the source, enable, and the way back down.
#include <cstdio>
#include <cstring>

#include "demo.h"

namespace {

constexpr UINT_PTR ScriptTimer = 1;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == ScriptTimer) DialogScriptTick();
            return 0;
        case WM_CLOSE:
            Step("main window closed: finishing");
            g_demo.finished = true;
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

void CopyText(char (&field)[34], const char *text) {
    memset(field, 0, sizeof field);
    strncpy(field, text, sizeof field - 1);
}

void FillApplicationIdentity(TW_IDENTITY *app) {
    *app = {};
    app->Version.MajorNum = 1;
    app->Version.MinorNum = 0;
    app->Version.Language = TWLG_USA;
    app->Version.Country = TWCY_USA;
    CopyText(app->Version.Info, "qxdemo 1.0");
    app->ProtocolMajor = 1;
    app->ProtocolMinor = 9;
    app->SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyText(app->Manufacturer, "QXTwain project");
    CopyText(app->ProductFamily, "Demo");
    CopyText(app->ProductName, "qxdemo");
}

bool IsQuorvex(const TW_IDENTITY &identity) {
    return strncmp(identity.ProductFamily, "Quorvex", sizeof identity.ProductFamily) == 0;
}

}  // namespace

bool CreateMainWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "QXDemoMain";
    if (!RegisterClassA(&windowClass)) return Fail("cannot register the window class");
    // Right of where the preview surface opens, so that a screenshot shows both.
    g_demo.window = CreateWindowA("QXDemoMain", "qxdemo", WS_OVERLAPPEDWINDOW, 680, 20, 400, 280,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!g_demo.window) return Fail("cannot create the main window");
    // Shown only when a user is to work with the source's dialog.
    if (g_demo.options.interactive) ShowWindow(g_demo.window, SW_SHOWNOACTIVATE);
    if (!g_demo.options.screenshot.empty()) SetTimer(g_demo.window, ScriptTimer, 100, nullptr);
    Step("main window %p (%s)", static_cast<void *>(g_demo.window),
         g_demo.options.interactive ? "shown" : "hidden");
    return true;
}

bool OpenSourceManager() {
    FillApplicationIdentity(&g_demo.app);
    Step("opening the Source Manager");
    if (Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &g_demo.window) != TWRC_SUCCESS)
        return Fail("the Source Manager did not open");
    g_demo.dsmOpen = true;
    Step("application Id assigned by the Source Manager: %u", g_demo.app.Id);
    return true;
}

bool ListSources() {
    Step("listing the sources");
    TW_IDENTITY listed = {};
    bool found = false;
    TW_UINT16 result = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed);
    for (int n = 1; result == TWRC_SUCCESS; ++n) {
        char what[32];
        snprintf(what, sizeof what, "source %d", n);
        PrintIdentity(what, listed);
        if (!found && IsQuorvex(listed)) {
            g_demo.source = listed;
            found = true;
        }
        listed = {};
        result = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &listed);
    }
    if (!found) return Fail("no Quorvex source among them");
    Step("chosen: \"%.34s\"", g_demo.source.ProductName);
    return true;
}

bool OpenSource() {
    Step("opening the source");
    if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &g_demo.source) != TWRC_SUCCESS)
        return Fail("the source did not open");
    g_demo.sourceOpen = true;
    PrintIdentity("opened", g_demo.source);
    TW_IDENTITY reported = {};
    if (Call(&g_demo.source, DG_CONTROL, DAT_IDENTITY, MSG_GET, &reported) == TWRC_SUCCESS)
        PrintIdentity("the source says", reported);
    Step("status of the source");
    QueryStatus(&g_demo.source);
    return true;
}

bool EnableSource(bool showUI) {
    Step("enabling the source %s its dialog", showUI ? "with" : "without");
    TW_USERINTERFACE ui = {static_cast<TW_BOOL>(showUI), 0, g_demo.window};
    if (Call(&g_demo.source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS)
        return Fail("the source was not enabled");
    g_demo.enabled = true;
    Step("enabled (ModalUI %u)", ui.ModalUI);
    return true;
}

void ShutDown() {
    if (g_demo.enabled) {
        Step("disabling the source");
        TW_USERINTERFACE ui = {0, 0, g_demo.window};
        if (Call(&g_demo.source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui) != TWRC_SUCCESS)
            Fail("the source was not disabled");
        g_demo.enabled = false;
    }
    if (g_demo.sourceOpen) {
        Step("closing the source");
        if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &g_demo.source) != TWRC_SUCCESS)
            Fail("the source was not closed");
        g_demo.sourceOpen = false;
    }
    if (g_demo.dsmOpen) {
        Step("closing the Source Manager");
        if (Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &g_demo.window) != TWRC_SUCCESS)
            Fail("the Source Manager was not closed");
        g_demo.dsmOpen = false;
    }
    if (g_demo.window) DestroyWindow(g_demo.window);
    if (g_demo.dsmLibrary) FreeLibrary(g_demo.dsmLibrary);
}
