// qxacquire.exe run as a child process the way a user runs it, on the
// simulated board: the images it writes are read back through WIC and
// compared with the board's ramp; failures and cancels end with their exit
// status and with the source closed (the board log shows KvBrdClose).
#include <windows.h>

#include <fstream>
#include <iterator>

#include "support/child_process.h"
#include "support/harness.h"
#include "wic_image.h"

namespace {

std::string TempFolder() {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "qxacquire-" + std::to_string(GetCurrentProcessId());
}

std::string BesideThisProgram(const char *file) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + file;
}

std::string ReadText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

struct ChildResult {
    bool finished;
    DWORD exitCode;
    std::string output;
};

// Message boxes and the source's dialog in the child: the test plays their user.
struct ChildWindow {
    DWORD process;
    const char *title;
    HWND found;
};

BOOL CALLBACK MatchChildWindow(HWND window, LPARAM param) {
    auto *wanted = reinterpret_cast<ChildWindow *>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if (process != wanted->process || !IsWindowVisible(window) || strcmp(title, wanted->title))
        return TRUE;
    wanted->found = window;
    return FALSE;
}

HWND FindChildWindow(DWORD process, const char *title) {
    ChildWindow wanted = {process, title, nullptr};
    EnumWindows(MatchChildWindow, reinterpret_cast<LPARAM>(&wanted));
    return wanted.found;
}

class AcquireRun : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = TempFolder();
        CreateDirectoryA(folder_.c_str(), nullptr);
        DeleteFileA(LogPath().c_str());
    }
    void TearDown() override {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do DeleteFileA((folder_ + "\\" + found.cFileName).c_str());
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder_.c_str());
    }
    std::string Path(const std::string &name) const { return folder_ + "\\" + name; }
    std::string LogPath() const { return Path("board-log.txt"); }

    // Runs qxacquire.exe on a board configured with `board`; onWindow is
    // called every 50 ms with the child's process id until it ends.
    template <class Poll>
    ChildResult Run(const std::string &arguments, const std::string &board, Poll onWindow) {
        std::string config = Path("board.ini");
        std::ofstream(config) << "frame_ms = 0\nlog = " << LogPath() << "\n" << board;
        std::string outputPath = Path("output.txt");
        std::string command = "\"" + BesideThisProgram("qxacquire.exe") + "\" --verbose --dsm TWAIN_32.DLL --out \"" +
                              folder_ + "\" " + arguments;
        SetEnvironmentVariableA("QXSIM_CONFIG", config.c_str());
        PROCESS_INFORMATION process;
        bool started = qx::StartWithOutputTo(command, outputPath, &process);
        SetEnvironmentVariableA("QXSIM_CONFIG", nullptr);
        ChildResult result = {false, 0xFFFFFFFF, ""};
        EXPECT_TRUE(started) << command;
        if (!started) return result;
        // A generous bound that only stops a hung child from hanging the suite.
        DWORD start = GetTickCount();
        while (!(result.finished = WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) &&
               GetTickCount() - start < 120000) {
            DismissBoxes(process.dwProcessId);
            onWindow(process.dwProcessId);
        }
        if (!result.finished) TerminateProcess(process.hProcess, 99);
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        result.output = ReadText(outputPath);
        return result;
    }
    ChildResult Run(const std::string &arguments, const std::string &board = "") {
        return Run(arguments, board, [](DWORD) {});
    }

    // Every run, however it ended, leaves the board closed and the Source Manager closed.
    void ExpectClosed(const ChildResult &child, bool boardOpened = true) {
        ASSERT_TRUE(child.finished) << child.output;
        EXPECT_EQ(Contains(ReadText(LogPath()), "KvBrdClose"), boardOpened) << child.output;
        EXPECT_TRUE(Contains(child.output, "MSG_CLOSEDSM -> TWRC_SUCCESS")) << child.output;
    }

    // Titles of the boxes the child showed (and this test dismissed).
    std::vector<std::string> boxes;

private:
    void DismissBoxes(DWORD process) {
        for (const char *title : {"Quorvex Error", "Twain Driver Error"})
            if (HWND box = FindChildWindow(process, title)) {
                boxes.push_back(title);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                Sleep(100);
            }
    }
    std::string folder_;
};

// Whether this system's PNG encoder stores 16-bit grey with its bytes
// exchanged: a sample 0x0102 written and read back as 8 bits gives 0x02.
bool WordsExchangedByEncoder(const std::string &folder) {
    const uint8_t sample[2] = {0x02, 0x01};
    std::string path = folder + "\\probe16.png", error;
    qximg::DecodedImage image;
    bool exchanged = qximg::WriteImage(path, qximg::ImageFormat::Png, qximg::PixelLayout::Gray16,
                                       1, 1, sample, 2, &error) &&
                     qximg::ReadImage(path, &image, &error) && image.bgra[0] == 0x02;
    DeleteFileA(path.c_str());
    return exchanged;
}

bool g_wordsExchanged = false;

struct AcquireCase {
    const char *mechanism;
    uint32_t depth;
};

void PrintTo(const AcquireCase &run, std::ostream *out) { *out << run.mechanism << run.depth; }

class Acquire : public AcquireRun, public ::testing::WithParamInterface<AcquireCase> {};

// What a written pixel must hold for frame n of the ramp: 8-bit grey and
// colour as they are; deep grey reduced to its top 8 bits by native and file
// transfer, and kept in 16 bits by memory transfer (read back here as 8).
void Expected(const AcquireCase &run, uint32_t x, uint32_t y, uint32_t n, uint8_t bgr[3]) {
    if (run.depth == 24) {
        for (uint32_t k = 0; k < 3; ++k) bgr[k] = qx::RampByte(x, y, n, k);
        return;
    }
    uint32_t sample = qx::RampSample(x, y, n, run.depth);
    if (run.depth > 8) sample >>= strcmp(run.mechanism, "memory") ? run.depth - 8 : 8;
    // Wine's PNG encoder stores 16-bit words as they lie in memory (little-endian),
    // so its files read back with the bytes exchanged.
    if (run.depth > 8 && !strcmp(run.mechanism, "memory") && g_wordsExchanged)
        sample = qx::RampSample(x, y, n, run.depth) & 0xFF;
    bgr[0] = bgr[1] = bgr[2] = static_cast<uint8_t>(sample);
}

// Pixels that differ from the ramp of the frame that fits best (the frame
// number depends on how many frames the source snapped before).
int RampMismatches(const AcquireCase &run, const qximg::DecodedImage &image) {
    int fewest = INT_MAX;
    for (uint32_t n = 0; n < 64 && fewest; ++n) {
        int bad = 0;
        for (uint32_t y = 0; y < image.height; y += 7)
            for (uint32_t x = 0; x < image.width; x += 3) {
                uint8_t want[3];
                Expected(run, x, y, n, want);
                const uint8_t *got = &image.bgra[(size_t(y) * image.width + x) * 4];
                for (int k = 0; k < 3; ++k) bad += abs(got[k] - want[k]) > 1;
            }
        fewest = std::min(fewest, bad);
    }
    return fewest;
}

TEST_P(Acquire, WritesTheRampAsPng) {
    const AcquireCase &run = GetParam();
    g_wordsExchanged = WordsExchangedByEncoder(Path(""));
    ChildResult child = Run(std::string("--mech ") + run.mechanism + " --count 2",
                            "width = 320\nheight = 240\ndepth = " + std::to_string(run.depth));
    ASSERT_TRUE(child.finished) << child.output;
    ASSERT_EQ(child.exitCode, 0u) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_ENDXFER -> TWRC_SUCCESS")) << child.output;
    EXPECT_TRUE(Contains(child.output, "2 frame(s) in")) << child.output;
    ExpectClosed(child);
    for (int frame = 1; frame <= 2; ++frame) {
        std::string png = Path(std::string(run.mechanism) + "-00" + std::to_string(frame) + ".png");
        EXPECT_TRUE(Contains(child.output, png)) << child.output;
        qximg::DecodedImage image;
        std::string error;
        ASSERT_TRUE(qximg::ReadImage(png, &image, &error)) << error;
        EXPECT_EQ(image.width, 320u);
        EXPECT_EQ(image.height, 240u);
        EXPECT_EQ(RampMismatches(run, image), 0) << png;
        // PNG header: bit depth at byte 24, colour type at 25 (0 grey, 2 colour).
        std::string header = ReadText(png).substr(0, 26);
        ASSERT_EQ(header.size(), 26u);
        bool deepMemory = run.depth > 8 && run.depth < 24 && !strcmp(run.mechanism, "memory");
        EXPECT_EQ(header[24], deepMemory ? 16 : 8);
        EXPECT_EQ(header[25], run.depth == 24 ? 2 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Mechanisms, Acquire,
                         ::testing::Values(AcquireCase{"native", 8}, AcquireCase{"native", 12},
                                           AcquireCase{"native", 24}, AcquireCase{"memory", 8},
                                           AcquireCase{"memory", 12}, AcquireCase{"memory", 24},
                                           AcquireCase{"file", 8}, AcquireCase{"file", 12},
                                           AcquireCase{"file", 24}),
                         [](const ::testing::TestParamInfo<AcquireCase> &info) {
                             return info.param.mechanism + std::to_string(info.param.depth);
                         });

// The source's own file stays beside the converted PNG, in the format asked of it.
TEST_F(AcquireRun, FileTransferAsksTheSourceForTheFormat) {
    ChildResult child = Run("--mech file --format bmp");
    ASSERT_EQ(child.exitCode, 0u) << child.output;
    EXPECT_TRUE(Contains(child.output, "DAT_SETUPFILEXFER / MSG_SET -> TWRC_SUCCESS"));
    std::string bmp = ReadText(Path("file-001.bmp"));
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(GetFileAttributesA(Path("file-001.png").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(AcquireRun, BoardSelectionCancelledExitsThree) {
    ChildResult child = Run("", "boards = 0x20:2\nselect = cancel\n");
    EXPECT_EQ(child.exitCode, 3u) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_OPENDS -> TWRC_CANCEL")) << child.output;
    EXPECT_EQ(boxes, std::vector<std::string>{"Twain Driver Error"});
    ExpectClosed(child, false);
}

TEST_F(AcquireRun, FailedTransferExitsOneWithTheConditionCode) {
    ChildResult child = Run("--mech file --format bmp", "write_result = 5\n");
    EXPECT_EQ(child.exitCode, 1u) << child.output;
    EXPECT_TRUE(Contains(child.output,
                         "error: DG_IMAGE / DAT_IMAGEFILEXFER / MSG_GET -> TWRC_FAILURE, "
                         "condition code TWCC_"))
        << child.output;
    EXPECT_FALSE(boxes.empty());
    // The transfer is ended, then the source disabled and closed.
    EXPECT_TRUE(Contains(child.output, "MSG_DISABLEDS -> TWRC_SUCCESS")) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_CLOSEDS -> TWRC_SUCCESS")) << child.output;
    ExpectClosed(child);
}

TEST_F(AcquireRun, CancelInTheDialogExitsThree) {
    bool pressed = false;
    ChildResult child = Run("--ui", "", [&](DWORD process) {
        HWND dialog = FindChildWindow(process, "Quorvex User Interface");
        if (dialog && !pressed)
            pressed = PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    });
    EXPECT_TRUE(pressed);
    EXPECT_EQ(child.exitCode, 3u) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_CLOSEDSREQ")) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_DISABLEDS -> TWRC_SUCCESS")) << child.output;
    ExpectClosed(child);
}

// --screenshot: qxacquire plays the user of the source's dialog (Preview,
// Stop Preview, Acquire), and this test plays the screenshot taker.
TEST_F(AcquireRun, ScriptedDialogPreviewsAndAcquires) {
    std::string shot = Path("scripted.png"), marker = shot + ".ready";
    int markersSeen = 0;
    ChildResult child = Run("--screenshot \"" + shot + "\"", "", [&](DWORD) {
        if (GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES) return;
        ++markersSeen;
        std::ofstream(shot) << "taken";
        DeleteFileA(marker.c_str());
    });
    EXPECT_EQ(child.exitCode, 0u) << child.output;
    EXPECT_EQ(markersSeen, 1);
    EXPECT_TRUE(Contains(child.output, "preview running")) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_PROCESSEVENT brought MSG_XFERREADY")) << child.output;
    EXPECT_NE(GetFileAttributesA(Path("native-001.png").c_str()), INVALID_FILE_ATTRIBUTES);
    ExpectClosed(child);
}

TEST_F(AcquireRun, CommandLineAndSourceErrors) {
    ChildResult bad = Run("--mech carrier-pigeon");
    EXPECT_EQ(bad.exitCode, 2u) << bad.output;
    EXPECT_TRUE(Contains(bad.output, "bad option: --mech carrier-pigeon")) << bad.output;
    ChildResult refused = Run("--set ICAP_PHYSICALWIDTH=100");
    EXPECT_EQ(refused.exitCode, 1u) << refused.output;
    EXPECT_TRUE(Contains(refused.output,
                         "MSG_SET -> TWRC_FAILURE, condition code TWCC_CAPBADOPERATION"))
        << refused.output;
    ExpectClosed(refused);
    ChildResult missing = Run("--source \"No Such Scanner\"");
    EXPECT_EQ(missing.exitCode, 4u) << missing.output;
    EXPECT_TRUE(Contains(missing.output, "no source named \"No Such Scanner\"")) << missing.output;
    ChildResult noManager = Run("--dsm Z:\\nowhere\\NOMANAGER.DLL");
    EXPECT_EQ(noManager.exitCode, 4u) << noManager.output;
}

}  // namespace
