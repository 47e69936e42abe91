// Where no usable TWAIN_32.DLL is found (a 64-bit process cannot use the
// 32-bit Source Manager of a Windows installation), notifications go to
// TWAINDSM.DLL.
#include <string>

#include "support/harness.h"

namespace {

DWORD RunProbe() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string command = "fallback\\notify_fallback_probe.exe";
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process);
    EXPECT_TRUE(started);
    if (!started) return 0xFFFFFFFF;
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(SourceManagerFallback, NotificationsReachTheSixtyFourBitSourceManager) {
    EXPECT_EQ(RunProbe(), 0u) << "1: TWAINDSM.DLL heard nothing; 2: the probe found a usable "
                                 "TWAIN_32.DLL; 3: the probe could not set up";
}

}  // namespace
