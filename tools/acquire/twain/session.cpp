// The application's side of a TWAIN session: its window, the Source Manager,
// the choice of the source, enable and disable, and the way back down.
#include <cstdio>
#include <cstring>

#include "acquire.h"
#include "twain_identity.h"

namespace {

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        auto *s = reinterpret_cast<Session *>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (s) s->finished = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
void FillApplicationIdentity(TW_IDENTITY *app) {
    *app = MakeIdentity(0, {QX_VERSION_MAJOR, QX_VERSION_MINOR, "qxacquire " QX_VERSION, 1, 9, "Quorvex",
                            "QXTwain tools", "qxacquire"});
}

std::string Field(const char (&field)[34]) { return std::string(field, strnlen(field, sizeof field)); }

std::string Groups(TW_UINT32 groups) {
    std::string text;
    for (TW_UINT32 group : {DG_CONTROL, DG_IMAGE, DG_AUDIO})
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

bool CreateMainWindow(Session &s) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "QXAcquireMain";
    if (!RegisterClassA(&windowClass)) return Fail(s, ExitSourceFailed, "cannot register the window class");
    // A real top-level window, never shown: the parent of the source's dialog and boxes.
    s.window = CreateWindowA("QXAcquireMain", "qxacquire", WS_OVERLAPPEDWINDOW, 680, 20, 400, 280,
                             nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!s.window) return Fail(s, ExitSourceFailed, "cannot create the main window");
    SetWindowLongPtrA(s.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&s));
    return true;
}

bool OpenSourceManager(Session &s) {
    FillApplicationIdentity(&s.app);
    if (!Succeeds(s, ToSourceManager, {DG_CONTROL, DAT_PARENT, MSG_OPENDSM}, &s.window, ExitNoSource))
        return false;
    s.state = TwainState::ManagerOpen;
    return true;
}

namespace {

// Walks the Source Manager's sources (MSG_GETFIRST, then MSG_GETNEXT) while
// visit(identity) asks for more; returns the result that ended the walk:
// TWRC_ENDOFLIST after the last, TWRC_SUCCESS when visit stopped it.
template <class Visit>
TW_UINT16 WalkSources(Session &s, Visit visit) {
    TW_IDENTITY listed = {};
    TW_UINT16 message = MSG_GETFIRST;
    TW_UINT16 result;
    while ((result = Call(s, ToSourceManager, {DG_CONTROL, DAT_IDENTITY, message}, &listed)) ==
           TWRC_SUCCESS) {
        if (!visit(listed)) break;
        listed = {};
        message = MSG_GETNEXT;
    }
    return result;
}

// The source named by --source, or the Source Manager's default.
bool ChooseSource(Session &s) {
    const std::string &wanted = s.options.sourceName;
    if (wanted.empty())
        return Succeeds(s, ToSourceManager, {DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT}, &s.source,
                        ExitNoSource);
    bool found = false;
    WalkSources(s, [&](const TW_IDENTITY &listed) {
        found = lstrcmpiA(Field(listed.ProductName).c_str(), wanted.c_str()) == 0;
        if (found) s.source = listed;
        return !found;
    });
    return found || Fail(s, ExitNoSource, "no source named \"%s\": --list shows the sources there are",
                         wanted.c_str());
}

}  // namespace

bool ListSources(Session &s) {
    printf("%-34s %-24s %-20s %-8s %-8s %s\n", "product", "manufacturer", "family", "version",
           "protocol", "groups");
    int count = 0;
    TW_UINT16 result = WalkSources(s, [&](const TW_IDENTITY &listed) {
        PrintSourceLine(listed);
        ++count;
        return true;
    });
    if (result != TWRC_ENDOFLIST) return Refused(s, result);
    if (count == 0)
        return Fail(s, ExitNoSource, "the Source Manager knows no source: install one (see README)");
    return true;
}

bool OpenSource(Session &s) {
    if (!ChooseSource(s)) return false;
    TW_UINT16 result = Call(s, ToSourceManager, {DG_CONTROL, DAT_IDENTITY, MSG_OPENDS}, &s.source);
    if (result == TWRC_CANCEL)
        return Fail(s, ExitCancelled, "the source was not opened: the user cancelled (MSG_OPENDS -> TWRC_CANCEL)");
    if (result != TWRC_SUCCESS) return Refused(s, result);
    s.state = TwainState::SourceOpen;
    fprintf(InfoStream(s), "Source: %s (%s, version %u.%u)\n", Field(s.source.ProductName).c_str(),
            Field(s.source.Manufacturer).c_str(), s.source.Version.MajorNum,
            s.source.Version.MinorNum);
    return true;
}

bool EnableSource(Session &s) {
    TW_USERINTERFACE ui = {static_cast<TW_BOOL>(s.options.ui), 0, s.window};
    TW_UINT16 result = Call(s, ToSource, {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS}, &ui);
    if (result != TWRC_SUCCESS && result != TWRC_CHECKSTATUS) return Refused(s, result);
    s.state = TwainState::SourceEnabled;
    return true;
}

bool DisableSource(Session &s) {
    if (s.state != TwainState::SourceEnabled) return true;
    s.state = TwainState::SourceOpen;
    TW_USERINTERFACE ui = {0, 0, s.window};
    return Succeeds(s, ToSource, {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS}, &ui);
}

void StepDown(Session &s, TwainState state) {
    while (s.state > state) {
        switch (s.state) {
            case TwainState::Transferring:
                EndTransfer(s);
                break;
            case TwainState::TransferReady:
                ResetTransfers(s);
                break;
            case TwainState::SourceEnabled:
                DisableSource(s);
                break;
            case TwainState::SourceOpen:
                s.state = TwainState::ManagerOpen;
                Succeeds(s, ToSourceManager, {DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS}, &s.source);
                break;
            case TwainState::ManagerOpen:
                s.state = TwainState::ManagerLoaded;
                Succeeds(s, ToSourceManager, {DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM}, &s.window);
                break;
            default:
                s.state = TwainState::PreSession;
                FreeLibrary(s.dsmLibrary);
                s.dsmLibrary = nullptr;
                break;
        }
    }
}

void ShutDown(Session &s) {
    StepDown(s, TwainState::ManagerLoaded);
    // The window outlives the Source Manager, which knows it as the parent.
    if (s.window) DestroyWindow(s.window);
    s.window = nullptr;
    StepDown(s, TwainState::PreSession);
}
