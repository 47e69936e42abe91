// The configuration a process starts with: the file named by QXSIM_CONFIG, or
// qxsim.ini beside Kvd.dll; a bad file is reported once and the defaults used.
// Each case runs this test program again as a child with the test below.
#include <algorithm>
#include <fstream>
#include <memory>

#include "board_fixture.h"
#include "support/child_process.h"
#include "support/temp_file.h"
#include "support/window_list.h"

namespace qx {
namespace {

std::string Env(const char *name) {
    char value[512];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

// Message boxes shown on this thread (a child process sets no global hook:
// that would reach into its parent).
struct ThreadBoxes {
    std::vector<HWND> windows;  // a box may be activated more than once
    std::vector<std::pair<std::string, std::string>> seen;  // title, text
    void Catch(HWND box) {
        if (std::find(windows.begin(), windows.end(), box) != windows.end()) return;
        windows.push_back(box);
        char text[512] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        seen.emplace_back(WindowText(box), text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
};

// In the child: checks the width the board reports and the boxes of the first calls.
TEST(StartupChild, ReportsWhatItLoaded) {
    if (Env("QXSIM_CHILD_WIDTH").empty()) GTEST_SKIP() << "run as a child by the Startup tests";
    ThreadBoxes boxes;
    auto hook = std::make_unique<ThreadDialogHook>([&](HWND box) { boxes.Catch(box); });
    uint32_t major, minor, count = 0;
    KvDVersion(&major, &minor);
    KvSysBrdEnum(0x20, &count);
    ASSERT_EQ(count, 1u);
    KvBoardEntry entry = {};
    KvBoard board = nullptr;
    ASSERT_EQ(KvSysBrdFind(0x20, 0, &entry), 0u);
    ASSERT_EQ(KvBrdOpen(&entry, &board, 1), 0u);
    uint32_t width = 0;
    KvBrdInquire(board, KV_IMAGE_WIDTH, &width);
    KvBrdClose(board);
    hook.reset();
    EXPECT_EQ(std::to_string(width), Env("QXSIM_CHILD_WIDTH"));
    std::string text = Env("QXSIM_CHILD_BOX");
    std::string all;
    for (const auto &box : boxes.seen) all += box.first + ": " + box.second + "\n";
    ASSERT_EQ(boxes.seen.size(), text.empty() ? 0u : 1u) << all;
    if (!text.empty()) {
        EXPECT_EQ(boxes.seen[0].first, "Quorvex Error");
        EXPECT_NE(boxes.seen[0].second.find(text), std::string::npos) << boxes.seen[0].second;
    }
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        char exe[MAX_PATH];
        GetModuleFileNameA(nullptr, exe, sizeof exe);
        program = exe;
    }
    std::string Write(const std::string &name, const std::string &text) {
        std::string path = start.Path(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // Copies the test program and the libraries beside it into the folder.
    void CopyProgram() {
        std::string bin = program.substr(0, program.find_last_of("\\/") + 1);
        for (const char *name : {QXSIM_LIBRARY_FILES, "qxboxhook.dll"})
            ASSERT_TRUE(CopyFileA((bin + name).c_str(), start.Path(name).c_str(), FALSE)) << name;
        std::string to = start.Path("boardsim_child.exe");
        ASSERT_TRUE(CopyFileA(program.c_str(), to.c_str(), FALSE));
        program = to;
    }
    // Runs the child test with these variables; returns its exit code.
    DWORD RunChild(const char *config, const char *width, const char *box) {
        SetEnvironmentVariableA("QXSIM_CONFIG", config);
        SetEnvironmentVariableA("QXSIM_CHILD_WIDTH", width);
        SetEnvironmentVariableA("QXSIM_CHILD_BOX", box);
        DWORD code = RunProgram("\"" + program + "\" --gtest_filter=StartupChild.*", &childOutput, 60000);
        SetEnvironmentVariableA("QXSIM_CONFIG", nullptr);
        SetEnvironmentVariableA("QXSIM_CHILD_WIDTH", nullptr);
        SetEnvironmentVariableA("QXSIM_CHILD_BOX", nullptr);
        EXPECT_NE(code, NotRun) << "the child did not start or end";
        return code;
    }
    TempFolder start{"qxsim-start"};
    std::string program, childOutput;
};

TEST_F(StartupTest, TheFileNamedByQxsimConfigIsLoaded) {
    std::string config = Write("board.ini", "# start-up board\nwidth = 123\r\nframe_ms = 0\n");
    EXPECT_EQ(RunChild(config.c_str(), "123", nullptr), 0u) << childOutput;
}

TEST_F(StartupTest, ABadFileIsReportedOnceAndTheDefaultsAreUsed) {
    std::string config = Write("bad.ini", "width = 123\n\nwidth = wide\n");
    EXPECT_EQ(RunChild(config.c_str(), "640", "bad line 3"), 0u) << childOutput;
    EXPECT_NE(childOutput.find("has a bad line 3; the defaults are used."), std::string::npos)
        << "stderr names the file's bad line:\n" << childOutput;
    EXPECT_EQ(RunChild(start.Path("none.ini").c_str(), "640", "cannot read"), 0u) << childOutput;
}

TEST_F(StartupTest, QxsimIniBesideKvdIsLoadedWithoutTheVariable) {
    ASSERT_NO_FATAL_FAILURE(CopyProgram());
    Write("qxsim.ini", "width = 77\n");
    EXPECT_EQ(RunChild(nullptr, "77", nullptr), 0u) << childOutput;
    std::string config = Write("other.ini", "width = 55\n");
    EXPECT_EQ(RunChild(config.c_str(), "55", nullptr), 0u) << "the variable comes first\n" << childOutput;
}

}  // namespace
}  // namespace qx
