#include "support/box_hook.h"

#include "res/resource.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

struct DialogAction {
    std::string title;
    int command;
    int listIndex;
};

HINSTANCE g_module;
HHOOK g_hook;
CRITICAL_SECTION g_lock;
std::vector<CaughtBox> g_boxes;
std::vector<HWND> g_handled;
std::vector<DialogAction> g_actions;

// Icon control of a message box: 0x0014 on Windows, 0x0440 on Wine.
constexpr int IconIds[] = {0x0014, 0x0440};

bool IsDialogWindow(HWND window) {
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    return strcmp(cls, "#32770") == 0;
}

// The box itself is not shown yet when it activates, so a control's own
// WS_VISIBLE bit tells whether it is part of the box.
bool ShownControl(HWND control) {
    return control && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool Handled(HWND window) {
    for (HWND w : g_handled)
        if (w == window) return true;
    return false;
}

void Forget(HWND window) {
    for (size_t i = 0; i < g_handled.size(); ++i)
        if (g_handled[i] == window) {
            g_handled.erase(g_handled.begin() + i);
            return;
        }
}

void SelectFirstListItem(HWND dialog, int index) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[16] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (_stricmp(cls, "ListBox") == 0) {
            SendMessageA(child, LB_SETCURSEL, index, 0);
            return;
        }
    }
}

void Catch(HWND window) {
    CaughtBox box = {};
    box.window = window;
    box.owner = GetWindow(window, GW_OWNER);
    box.thread = GetCurrentThreadId();
    GetWindowTextA(window, box.title, sizeof box.title);
    GetDlgItemTextA(window, 0xFFFF, box.text, sizeof box.text);
    for (int id = 1; id <= 11; ++id) {
        HWND button = GetDlgItem(window, id);
        if (ShownControl(button)) box.buttons |= 1u << id;
    }
    for (int id : IconIds) {
        HWND icon = GetDlgItem(window, id);
        // Wine keeps an empty icon control in boxes without an icon.
        if (ShownControl(icon) && SendMessageA(icon, STM_GETICON, 0, 0)) box.hasIcon = 1;
    }

    int command = IDOK, listIndex = -1;
    for (const DialogAction &a : g_actions)
        if (a.title == box.title) {
            command = a.command;
            listIndex = a.listIndex;
        }
    g_handled.push_back(window);
    if (command == 0) return;
    g_boxes.push_back(box);
    if (listIndex >= 0) SelectFirstListItem(window, listIndex);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (g_hook && code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == GetCurrentProcessId() && IsDialogWindow(window)) {
            EnterCriticalSection(&g_lock);
            if (!Handled(window)) Catch(window);
            LeaveCriticalSection(&g_lock);
        }
    } else if (g_hook && code == HCBT_DESTROYWND) {
        EnterCriticalSection(&g_lock);
        Forget(reinterpret_cast<HWND>(wParam));
        LeaveCriticalSection(&g_lock);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        InitializeCriticalSection(&g_lock);
    }
    return TRUE;
}

extern "C" BOOL BoxHookStart() {
    if (g_hook) return TRUE;
    // The source's own dialog is not a box to dismiss.
    BoxHookSetDialogAction(QX_DIALOG_TITLE, 0, -1);
    g_hook = SetWindowsHookExA(WH_CBT, CbtProc, g_module, 0);
    return g_hook != nullptr;
}

extern "C" void BoxHookStop() {
    if (g_hook) UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
}

extern "C" int BoxHookCount() {
    EnterCriticalSection(&g_lock);
    int n = static_cast<int>(g_boxes.size());
    LeaveCriticalSection(&g_lock);
    return n;
}

extern "C" BOOL BoxHookGet(int index, CaughtBox *box) {
    EnterCriticalSection(&g_lock);
    bool ok = index >= 0 && index < static_cast<int>(g_boxes.size());
    if (ok) *box = g_boxes[index];
    LeaveCriticalSection(&g_lock);
    return ok;
}

extern "C" void BoxHookClear() {
    EnterCriticalSection(&g_lock);
    g_boxes.clear();
    LeaveCriticalSection(&g_lock);
}

extern "C" void BoxHookSetDialogAction(const char *title, int command, int listIndex) {
    EnterCriticalSection(&g_lock);
    for (DialogAction &a : g_actions)
        if (a.title == title) {
            a.command = command;
            a.listIndex = listIndex;
            LeaveCriticalSection(&g_lock);
            return;
        }
    g_actions.push_back({title, command, listIndex});
    LeaveCriticalSection(&g_lock);
}
