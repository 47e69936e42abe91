#include "ui_support.h"

#include <tlhelp32.h>

#include <cstring>

namespace qx {

namespace {

constexpr const char *AppWindowClass = "QXTwainTestApplication";

ATOM RegisterAppClass() {
    static ATOM atom = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = AppWindowClass;
        return RegisterClassA(&wc);
    }();
    return atom;
}

bool IsWithin(HWND window, HWND ancestor) {
    return window == ancestor || IsChild(ancestor, window);
}

template <class Visit> void ForEachThread(Visit visit) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) visit(entry.th32ThreadID);
    CloseHandle(snapshot);
}

}  // namespace

AppWindow::AppWindow() {
    RegisterAppClass();
    hwnd = CreateWindowA(AppWindowClass, "Test application", WS_OVERLAPPEDWINDOW, 10, 10, 300,
                         200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(hwnd, nullptr);
}

AppWindow::~AppWindow() {
    if (hwnd) DestroyWindow(hwnd);
}

void EventLoop::RunOnce() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TW_EVENT event = {&msg, 0xBEEF};
        TW_UINT16 result = source.Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
        offered.push_back({msg.hwnd, msg.message, result, event.TWMessage});
        if (result != TWRC_DSEVENT) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
}

std::vector<OfferedEvent> EventLoop::EventsFor(HWND window, UINT message) const {
    std::vector<OfferedEvent> events;
    for (const OfferedEvent &e : offered)
        if (e.message == message && e.window && IsWithin(e.window, window)) events.push_back(e);
    return events;
}

std::vector<HWND> OwnedWindows(HWND owner) {
    std::vector<HWND> owned;
    for (HWND window : ProcessWindows())
        if (GetWindow(window, GW_OWNER) == owner) owned.push_back(window);
    return owned;
}

std::vector<HWND> VisibleWindowsExcept(HWND except) {
    std::vector<HWND> visible;
    for (HWND window : ProcessWindows())
        if (window != except && IsWindowVisible(window)) visible.push_back(window);
    return visible;
}

std::string ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

int ThreadCount() {
    // GoogleTest starts a thread of its own the first time a thread keeps a
    // trace; have that happen before anything is counted.
    static bool traced = [] {
        SCOPED_TRACE("counting threads");
        return true;
    }();
    (void)traced;
    int count = 0;
    ForEachThread([&](DWORD) { ++count; });
    return count;
}

int AboveNormalThreadCount() {
    int count = 0;
    ForEachThread([&](DWORD id) {
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
        if (!thread) return;
        if (GetThreadPriority(thread) == THREAD_PRIORITY_ABOVE_NORMAL) ++count;
        CloseHandle(thread);
    });
    return count;
}

bool SameIdentity(const TW_IDENTITY &a, const TW_IDENTITY &b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace qx
