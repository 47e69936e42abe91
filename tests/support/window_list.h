// The top-level windows of a process (this one by default) or of one of its
// threads, in the order the system enumerates them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qx {

std::vector<HWND> ProcessWindows(DWORD process = GetCurrentProcessId());
std::vector<HWND> ThreadWindows(DWORD thread = GetCurrentThreadId());
std::string WindowText(HWND window);
std::string ClassName(HWND window);

// The source's dialog among the top-level windows of a process (this one by
// default), shown or not; null when there is none.
HWND FindSourceDialog(DWORD process = GetCurrentProcessId());

}  // namespace qx
