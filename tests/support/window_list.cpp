#include "support/window_list.h"

#include "res/resource.h"

namespace qx {

namespace {

BOOL CALLBACK Collect(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND> *>(windows)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> ProcessWindows(DWORD process) {
    std::vector<HWND> windows, owned;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process) owned.push_back(window);
    }
    return owned;
}

std::vector<HWND> ThreadWindows(DWORD thread) {
    std::vector<HWND> windows;
    EnumThreadWindows(thread, Collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string WindowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassName(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

HWND FindSourceDialog(DWORD process) {
    for (HWND window : ProcessWindows(process))
        if (ClassName(window) == "#32770" && WindowText(window) == QX_DIALOG_TITLE) return window;
    return nullptr;
}

}  // namespace qx
