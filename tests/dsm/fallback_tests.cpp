// Where no usable TWAIN_32.DLL is found (a 64-bit process cannot use the
// 32-bit Source Manager of a Windows installation), notifications go to
// TWAINDSM.DLL.
#include <string>

#include "support/child_process.h"
#include "support/harness.h"

namespace {

TEST(SourceManagerFallback, NotificationsReachTheSixtyFourBitSourceManager) {
    std::string output;
    EXPECT_EQ(qx::RunProgram("fallback\\notify_fallback_probe.exe", &output), 0u)
        << output << "1: TWAINDSM.DLL heard nothing; 2: the probe found a usable TWAIN_32.DLL; "
        << "3: the probe could not set up; " << qx::NotRun << ": it did not start or end";
}

}  // namespace
