// --unattended: nobody is there to answer the source's boxes. A thread of
// ours looks for them among this process's top-level windows (whichever
// thread shows them: the source's own, such as its preview, or ours inside a
// triplet), prints each on stderr and presses its default button, so that the
// triplet that showed it returns and the run ends with its status. The source
// keeps its boxes; this is the application's side of them.
#include <exception>
#include <utility>
#include <vector>

#include "acquire.h"

namespace {

constexpr DWORD PollMs = 50;
constexpr int BoxTextId = 0xFFFF;  // the static text of a message box

// A window's text on one line.
std::string OneLine(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    std::string line;
    for (const char *c = text; *c; ++c)
        if (*c != '\r') line += *c == '\n' ? ' ' : *c;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

struct Search {
    DWORD process;
    std::vector<HWND> *closed;
    std::exception_ptr failure;  // no exception may cross EnumWindows
};

BOOL CALLBACK CloseIfBox(HWND window, LPARAM param) {
    auto *search = reinterpret_cast<Search *>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char kind[16] = "";
    GetClassNameA(window, kind, sizeof kind);
    if (process != search->process || lstrcmpA(kind, "#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    for (HWND done : *search->closed)
        if (done == window) return TRUE;
    try {
        fprintf(stderr, "box: %s: %s\n", OneLine(window).c_str(), OneLine(GetDlgItem(window, BoxTextId)).c_str());
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer);
        int button = HIWORD(answer) == DC_HASDEFID ? LOWORD(answer) : IDOK;
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
        // Noted once pressed: a box that could not be noted is pressed again.
        search->closed->push_back(window);
    } catch (...) {
        search->failure = std::current_exception();
        return FALSE;
    }
    return TRUE;
}

}  // namespace

DWORD WINAPI BoxCloser::CloseBoxes(void *closer) {
    BoxCloser &self = *static_cast<BoxCloser *>(closer);
    std::vector<HWND> closed;
    Search search = {GetCurrentProcessId(), &closed, nullptr};
    while (WaitForSingleObject(self.stop_, PollMs) == WAIT_TIMEOUT) {
        // The thread's boundary: a failed look is said and ends the run, and
        // the next look is taken all the same, since a box left open would
        // keep the triplet that showed it, and so the run, waiting.
        try {
            // A handle is forgotten once its window is gone: Windows reuses them.
            std::vector<HWND> alive;
            for (HWND window : closed)
                if (IsWindow(window)) alive.push_back(window);
            closed.swap(alive);
            EnumWindows(CloseIfBox, reinterpret_cast<LPARAM>(&search));
            if (search.failure) std::rethrow_exception(std::exchange(search.failure, nullptr));
        } catch (...) {
            FailOnOtherThread(self.session_, "close the source's boxes");
        }
    }
    return 0;
}

BoxCloser::BoxCloser(Session &s) : session_(s) {
    if (!s.options.unattended) return;
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (stop_) thread_ = CreateThread(nullptr, 0, CloseBoxes, this, 0, nullptr);
}

BoxCloser::~BoxCloser() {
    if (thread_) {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (stop_) CloseHandle(stop_);
}
