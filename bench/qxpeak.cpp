// qxpeak COMMAND [ARGUMENTS...]: runs the command, waits for it, prints its
// peak working set and exit status, and exits with that status. The peak is
// PROCESS_MEMORY_COUNTERS.PeakWorkingSetSize from GetProcessMemoryInfo: the
// most physical memory the process held at once, its own pages and those of
// the libraries it loaded.
//
// Windows keeps an ended process's counters while a handle to it is open;
// Wine answers only while the process's Unix process exists (its VmHWM),
// which an ended one soon does not. So the counters are read every few
// milliseconds while the command runs and once after it ends, and the
// largest is kept: a high-water mark only grows, and a peak is followed by
// the process's own clean-up and exit before it disappears.
//
// qxpeak --touch MIB: allocates and writes MIB mebibytes, then ends; run
// under qxpeak, it shows that the figure counts what a process touches.
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "parse_number.h"

namespace {

// The command line after qxpeak's own name, as CreateProcess takes it: the
// first word ends at its closing quote, or at a blank when it is not quoted.
wchar_t *CommandTail() {
    wchar_t *line = GetCommandLineW();
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"') ++line;
        if (*line) ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

SIZE_T PeakWorkingSet(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
}

// Blocks of 64 MiB, so that a 32-bit process finds room for each.
int Touch(uint32_t mebibytes) {
    constexpr size_t Block = size_t(64) << 20;
    for (size_t left = size_t(mebibytes) << 20; left > 0;) {
        size_t bytes = left < Block ? left : Block;
        void *block = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!block) {
            fprintf(stderr, "qxpeak: no memory for %u MiB\n", mebibytes);
            return 1;
        }
        memset(block, 1, bytes);
        left -= bytes;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    uint32_t mebibytes = 0;
    if (argc == 3 && strcmp(argv[1], "--touch") == 0 && ParseNumber(argv[2], &mebibytes) && mebibytes <= 4096)
        return Touch(mebibytes);
    if (argc < 2) {
        fprintf(stderr, "usage: qxpeak COMMAND [ARGUMENTS...] | qxpeak --touch MIB\n");
        return 2;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, CommandTail(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
        fprintf(stderr, "qxpeak: cannot start the command (error %lu)\n", GetLastError());
        return 2;
    }
    CloseHandle(child.hThread);
    SIZE_T peak = 0;
    for (bool running = true; running;) {
        running = WaitForSingleObject(child.hProcess, 5) == WAIT_TIMEOUT;
        SIZE_T now = PeakWorkingSet(child.hProcess);
        if (now > peak) peak = now;
    }
    DWORD status = 1;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hProcess);
    fflush(stdout);
    printf("qxpeak: peak working set %llu bytes, exit status %lu\n", static_cast<unsigned long long>(peak), status);
    return int(status);
}
