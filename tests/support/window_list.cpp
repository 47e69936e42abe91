#include "support/window_list.h"

namespace qx {

namespace {

BOOL CALLBACK Collect(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND> *>(windows)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectOwn(HWND window, LPARAM windows) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId() ? Collect(window, windows) : TRUE;
}

}  // namespace

std::vector<HWND> ProcessWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectOwn, reinterpret_cast<LPARAM>(&windows));
    return windows;
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

}  // namespace qx
