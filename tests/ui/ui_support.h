// What the user-interface tests add to the harness: an application window, an
// application event loop that offers every message to the source first, the
// source's dialog and surface windows, and threads.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/harness.h"
#include "support/window_list.h"

namespace qx {

// A top-level window standing for the application's main window.
class AppWindow {
public:
    AppWindow();
    ~AppWindow();
    AppWindow(const AppWindow &) = delete;
    AppWindow &operator=(const AppWindow &) = delete;
    HWND hwnd = nullptr;
};

// One message as the application's loop handed it to MSG_PROCESSEVENT.
struct OfferedEvent {
    HWND window;
    UINT message;
    TW_UINT16 result;
    TW_UINT16 twMessage;
};

// The application's event loop: every message is offered to the source with
// DG_CONTROL / DAT_EVENT / MSG_PROCESSEVENT; only those it does not take are
// translated and dispatched.
class EventLoop {
public:
    explicit EventLoop(qx::LoadedSource &source) : source(source) {}
    // Runs until pred() holds or ms have passed; returns pred().
    template <class Pred> bool RunUntil(Pred pred, DWORD ms) {
        DWORD start = GetTickCount();
        while (!pred()) {
            if (GetTickCount() - start > ms) return pred();
            RunOnce();
        }
        return true;
    }
    void Run(DWORD ms) {
        RunUntil([] { return false; }, ms);
    }
    // Offered events addressed to window or one of its children.
    std::vector<OfferedEvent> EventsFor(HWND window, UINT message) const;
    std::vector<OfferedEvent> offered;

private:
    void RunOnce();
    qx::LoadedSource &source;
};

// Top-level windows of this process owned by owner.
std::vector<HWND> OwnedWindows(HWND owner);
// Visible top-level windows of this process other than except.
std::vector<HWND> VisibleWindowsExcept(HWND except);
std::string ControlText(HWND dialog, int id);

// Threads of this process, and how many of them run above normal priority.
int ThreadCount();
int AboveNormalThreadCount();

// True when both identities are byte for byte the same.
bool SameIdentity(const TW_IDENTITY &a, const TW_IDENTITY &b);

}  // namespace qx
