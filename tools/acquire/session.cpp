// The application's side of a TWAIN session: its window, the Source Manager,
// the choice of the source, enable and disable, and the way back down.
#include <cstdio>
#include <cstring>

#include "acquire.h"

namespace {

constexpr UINT_PTR ScriptTimer = 1;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == ScriptTimer) DialogScriptTick();
            return 0;
        case WM_CLOSE:
            g_app.finished = true;
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
    app->Version.MajorNum = QX_VERSION_MAJOR;
    app->Version.MinorNum = QX_VERSION_MINOR;
    app->Version.Language = TWLG_USA;
    app->Version.Country = TWCY_USA;
    CopyText(app->Version.Info, "qxacquire " QX_VERSION);
    app->ProtocolMajor = 1;
    app->ProtocolMinor = 9;
    app->SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyText(app->Manufacturer, "Quorvex");
    CopyText(app->ProductFamily, "QXTwain tools");
    CopyText(app->ProductName, "qxacquire");
}

std::string Field(const char (&field)[34]) { return std::string(field, strnlen(field, sizeof field)); }

std::string Groups(TW_UINT32 groups) {
    std::string text;
    for (TW_UINT32 group : {DG_CONTROL, DG_IMAGE, TW_UINT32(0x0004)})
        if (groups & group) text += std::string(text.empty() ? "" : "|") + DataGroupName(group);
    return text.empty() ? "none" : text;
}

void PrintSourceLine(const TW_IDENTITY &identity) {
    char version[64];
    snprintf(version, sizeof version, "%u.%u", identity.Version.MajorNum,
             identity.Version.MinorNum);
    char protocol[16];
    snprintf(protocol, sizeof protocol, "%u.%u", identity.ProtocolMajor, identity.ProtocolMinor);
    printf("%-34s %-24s %-20s %-8s %-8s %s\n", Field(identity.ProductName).c_str(),
           Field(identity.Manufacturer).c_str(), Field(identity.ProductFamily).c_str(), version,
           protocol, Groups(identity.SupportedGroups).c_str());
}

}  // namespace

bool CreateMainWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "QXAcquireMain";
    if (!RegisterClassA(&windowClass)) return Fail(ExitSourceFailed, "cannot register the window class");
    // A real top-level window, never shown: the parent of the source's dialog and boxes.
    g_app.window = CreateWindowA("QXAcquireMain", "qxacquire", WS_OVERLAPPEDWINDOW, 680, 20, 400,
                                 280, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!g_app.window) return Fail(ExitSourceFailed, "cannot create the main window");
    if (!g_app.options.screenshot.empty()) SetTimer(g_app.window, ScriptTimer, 100, nullptr);
    return true;
}

bool OpenSourceManager() {
    FillApplicationIdentity(&g_app.app);
    TW_UINT16 result = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &g_app.window);
    if (result != TWRC_SUCCESS)
        return Refused(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, result,
                       "check the Source Manager's installation, or name another with --dsm",
                       ExitNoSource);
    g_app.dsmOpen = true;
    return true;
}

bool ListSources() {
    printf("%-34s %-24s %-20s %-8s %-8s %s\n", "product", "manufacturer", "family", "version",
           "protocol", "groups");
    TW_IDENTITY listed = {};
    TW_UINT16 result = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed);
    int count = 0;
    for (; result == TWRC_SUCCESS; ++count) {
        PrintSourceLine(listed);
        listed = {};
        result = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &listed);
    }
    if (result != TWRC_ENDOFLIST)
        return Refused(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, result, "");
    if (count == 0)
        return Fail(ExitNoSource, "the Source Manager knows no source: install one (see README)");
    return true;
}

// The source named by --source, or the Source Manager's default.
bool ChooseSource() {
    const std::string &wanted = g_app.options.sourceName;
    if (wanted.empty()) {
        TW_UINT16 result = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &g_app.source);
        if (result == TWRC_SUCCESS) return true;
        return Refused(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, result,
                       "install a source, or see which there are with --list", ExitNoSource);
    }
    TW_IDENTITY listed = {};
    TW_UINT16 result = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed);
    for (; result == TWRC_SUCCESS; result = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &listed)) {
        if (lstrcmpiA(Field(listed.ProductName).c_str(), wanted.c_str()) == 0) {
            g_app.source = listed;
            return true;
        }
        listed = {};
    }
    return Fail(ExitNoSource, "no source named \"%s\": --list shows the sources there are",
                wanted.c_str());
}

bool OpenSource() {
    if (!ChooseSource()) return false;
    TW_UINT16 result = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &g_app.source);
    if (result == TWRC_CANCEL)
        return Fail(ExitCancelled, "the source was not opened: the user cancelled (MSG_OPENDS -> TWRC_CANCEL)");
    if (result != TWRC_SUCCESS)
        return Refused(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, result,
                       "check that the device is connected and its driver installed");
    g_app.sourceOpen = true;
    fprintf(InfoStream(), "Source: %s (%s, version %u.%u)\n", Field(g_app.source.ProductName).c_str(),
           Field(g_app.source.Manufacturer).c_str(), g_app.source.Version.MajorNum,
           g_app.source.Version.MinorNum);
    return true;
}

bool EnableSource() {
    bool showUI = g_app.options.ui;
    TW_USERINTERFACE ui = {static_cast<TW_BOOL>(showUI), 0, g_app.window};
    TW_UINT16 result = Call(&g_app.source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    if (result != TWRC_SUCCESS && result != TWRC_CHECKSTATUS)
        return Refused(&g_app.source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, result,
                       showUI ? "try without --ui" : "try with --ui");
    g_app.enabled = true;
    return true;
}

bool DisableSource() {
    if (!g_app.enabled) return true;
    g_app.enabled = false;
    TW_USERINTERFACE ui = {0, 0, g_app.window};
    TW_UINT16 result = Call(&g_app.source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    if (result != TWRC_SUCCESS)
        return Refused(&g_app.source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, result, "");
    return true;
}

// Each step down is taken whatever happened before it.
void ShutDown() {
    DisableSource();
    if (g_app.sourceOpen) {
        g_app.sourceOpen = false;
        TW_UINT16 result = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &g_app.source);
        if (result != TWRC_SUCCESS)
            Refused(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, result, "");
    }
    if (g_app.dsmOpen) {
        g_app.dsmOpen = false;
        TW_UINT16 result = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &g_app.window);
        if (result != TWRC_SUCCESS)
            Refused(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, result, "");
    }
    if (g_app.window) DestroyWindow(g_app.window);
    g_app.window = nullptr;
    if (g_app.dsmLibrary) FreeLibrary(g_app.dsmLibrary);
    g_app.dsmLibrary = nullptr;
}
