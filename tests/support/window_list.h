// The top-level windows of this process or of one of its threads, in the
// order the system enumerates them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qx {

std::vector<HWND> ProcessWindows();
std::vector<HWND> ThreadWindows(DWORD thread = GetCurrentThreadId());
std::string WindowText(HWND window);
std::string ClassName(HWND window);

}  // namespace qx
