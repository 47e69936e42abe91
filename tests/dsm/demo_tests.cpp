// qxdemo.exe, run as a child process the way a user runs it: it must finish
// with exit code 0 and leave a valid .bmp of the simulated board's frame.
#include "dsm/dsm_support.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

using namespace qx;

struct DemoCase {
    const char *name;
    const char *arguments;
    uint32_t depth, width, height;
    WORD bitCount;
    // The triplet that must be built for this run (probed before running).
    TW_UINT16 probeDataType;
};

void PrintTo(const DemoCase &run, std::ostream *out) { *out << run.name; }

const DemoCase Cases[] = {
    {"Native8", "", 8, 640, 480, 8, DAT_IMAGENATIVEXFER},
    {"Native24", "--depth 24 --size 320x240", 24, 320, 240, 24, DAT_IMAGENATIVEXFER},
    {"Native12", "--depth 12", 12, 640, 480, 8, DAT_IMAGENATIVEXFER},
    {"Memory8", "--memory --size 200x150", 8, 200, 150, 8, DAT_SETUPMEMXFER},
    {"Memory24", "--memory --depth 24", 24, 640, 480, 24, DAT_SETUPMEMXFER},
    {"Memory12", "--memory --depth 12 --size 320x240", 12, 320, 240, 8, DAT_SETUPMEMXFER},
    {"File8", "--file", 8, 640, 480, 8, DAT_SETUPFILEXFER},
};

std::string TempPath(const std::string &name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "qxdemo-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::string BesideThisProgram(const char *file) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + file;
}

std::vector<uint8_t> ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct ChildResult {
    bool finished;
    DWORD exitCode;
    std::string output;
};

// Runs qxdemo.exe with its board settings going to configPath; whileRunning
// is called every 50 ms until it ends.
template <class Poll>
ChildResult RunDemo(const std::string &arguments, const std::string &configPath,
                    const std::string &logPath, Poll whileRunning) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE log = CreateFileA(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(log, INVALID_HANDLE_VALUE);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = log;
    startup.hStdError = log;
    std::string command = "\"" + BesideThisProgram("qxdemo.exe") + "\" " + arguments;
    // The child inherits the environment: its board settings go to a file of
    // its own instead of qxsim.ini beside the binaries.
    SetEnvironmentVariableA("QXSIM_CONFIG", configPath.c_str());
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process);
    SetEnvironmentVariableA("QXSIM_CONFIG", nullptr);
    CloseHandle(log);
    ChildResult result = {false, 0xFFFFFFFF, ""};
    EXPECT_TRUE(started) << command;
    if (!started) return result;
    // A generous bound that only stops a hung child from hanging the suite.
    DWORD start = GetTickCount();
    while (!(result.finished = WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) &&
           GetTickCount() - start < 120000)
        whileRunning();
    if (!result.finished) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::vector<uint8_t> text = ReadAll(logPath);
    result.output.assign(text.begin(), text.end());
    return result;
}

ChildResult RunDemo(const std::string &arguments, const std::string &configPath,
                    const std::string &logPath) {
    return RunDemo(arguments, configPath, logPath, [] {});
}

bool Contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

class DemoRun : public DsmTest {
protected:
    void TearDown() override {
        DsmTest::TearDown();
        for (const std::string &path : temporary_) DeleteFileA(path.c_str());
    }
    std::string Temporary(const std::string &name) {
        temporary_.push_back(TempPath(name));
        DeleteFileA(temporary_.back().c_str());
        return temporary_.back();
    }
    // Whether the source answers this run's triplets yet (enable, then the
    // transfer's own triplet); a skip while they answer TWCC_BADPROTOCOL.
    bool SourceCanTransfer(TW_UINT16 dataType, std::string *missing);
    // The checks every written image passes.
    void ExpectBmp(const std::string &path, const DemoCase &run);

private:
    std::vector<std::string> temporary_;
};

bool DemoRun::SourceCanTransfer(TW_UINT16 dataType, std::string *missing) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY source = OpenQuorvex(&app);
    if (source.Id == 0) return true;  // let the demo show what is wrong
    bool built = true;
    if (Enable(&app, &source, false, nullptr) == TWRC_FAILURE &&
        SourceStatus(&app, &source) == TWCC_BADPROTOCOL) {
        *missing = "enable";
        built = false;
    }
    TW_HANDLE bitmap = nullptr;
    TW_SETUPMEMXFER memory = {};
    TW_SETUPFILEXFER file = {};
    void *data = dataType == DAT_IMAGENATIVEXFER ? static_cast<void *>(&bitmap)
                 : dataType == DAT_SETUPMEMXFER  ? static_cast<void *>(&memory)
                                                 : static_cast<void *>(&file);
    TW_UINT32 group = dataType == DAT_IMAGENATIVEXFER ? DG_IMAGE : DG_CONTROL;
    if (built && Dsm(&app, &source, group, dataType, MSG_GET, data) == TWRC_FAILURE &&
        SourceStatus(&app, &source) == TWCC_BADPROTOCOL) {
        *missing = "the transfer";
        built = false;
    }
    if (bitmap) GlobalFree(bitmap);
    TW_USERINTERFACE ui = {0, 0, nullptr};
    Dsm(&app, &source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    CloseSource(&app, &source);
    ClearBoxes();
    ClearNotifications();
    return built;
}

// Pixel (x, y) of the frame, y counted from the top, in a bottom-up .bmp.
const uint8_t *Pixel(const std::vector<uint8_t> &bmp, const BITMAPFILEHEADER &head,
                     const BITMAPINFOHEADER &info, uint32_t x, uint32_t y) {
    uint32_t stride = (info.biWidth * info.biBitCount + 31) / 32 * 4;
    size_t row = size_t(info.biHeight - 1 - y);
    return bmp.data() + head.bfOffBits + row * stride + x * (info.biBitCount / 8);
}

// The simulator's ramp: each step right adds 1, each line down adds 3 (mod 256),
// and byte k of a colour pixel is 80 k above byte 0.
void ExpectRamp(const std::vector<uint8_t> &bmp, const BITMAPFILEHEADER &head,
                const BITMAPINFOHEADER &info) {
    uint32_t width = info.biWidth, height = info.biHeight;
    int bad = 0;
    for (uint32_t y = 0; y + 1 < height; y += 7)
        for (uint32_t x = 0; x + 1 < width; x += 5) {
            const uint8_t *p = Pixel(bmp, head, info, x, y);
            uint8_t right = Pixel(bmp, head, info, x + 1, y)[0];
            uint8_t below = Pixel(bmp, head, info, x, y + 1)[0];
            bad += right != uint8_t(p[0] + 1);
            bad += below != uint8_t(p[0] + 3);
            if (info.biBitCount == 24)
                bad += p[1] != uint8_t(p[0] + 80) || p[2] != uint8_t(p[0] + 160);
        }
    EXPECT_EQ(bad, 0) << "pixels that do not follow the ramp";
}

// Deep grey reduced to 8 bits: along a line the values only grow (the ramp
// does not wrap within these frames) and the image is not black.
void ExpectReducedRamp(const std::vector<uint8_t> &bmp, const BITMAPFILEHEADER &head,
                       const BITMAPINFOHEADER &info) {
    int bad = 0;
    uint8_t brightest = 0;
    for (LONG y = 0; y < info.biHeight; y += 9)
        for (LONG x = 0; x + 1 < info.biWidth; ++x) {
            uint8_t here = Pixel(bmp, head, info, x, y)[0];
            bad += Pixel(bmp, head, info, x + 1, y)[0] < here;
            brightest = std::max(brightest, here);
        }
    EXPECT_EQ(bad, 0);
    EXPECT_GT(brightest, 32) << "the reduction threw the picture away";
}

void DemoRun::ExpectBmp(const std::string &path, const DemoCase &run) {
    std::vector<uint8_t> bmp = ReadAll(path);
    ASSERT_GE(bmp.size(), sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER));
    BITMAPFILEHEADER head;
    BITMAPINFOHEADER info;
    memcpy(&head, bmp.data(), sizeof head);
    memcpy(&info, bmp.data() + sizeof head, sizeof info);
    EXPECT_EQ(head.bfType, 0x4D42);
    EXPECT_EQ(head.bfSize, bmp.size());
    uint32_t paletteEntries = info.biClrUsed ? info.biClrUsed : (run.bitCount == 8 ? 256 : 0);
    EXPECT_EQ(head.bfOffBits, sizeof head + info.biSize + 4 * paletteEntries);
    EXPECT_EQ(info.biSize, sizeof info);
    EXPECT_EQ(info.biWidth, LONG(run.width));
    EXPECT_EQ(info.biHeight, LONG(run.height)) << "bottom-up";
    EXPECT_EQ(info.biPlanes, 1);
    EXPECT_EQ(info.biBitCount, run.bitCount);
    EXPECT_EQ(info.biCompression, DWORD(BI_RGB));
    uint32_t stride = (run.width * run.bitCount + 31) / 32 * 4;
    ASSERT_GE(bmp.size(), head.bfOffBits + size_t(stride) * run.height);
    if (run.depth == 8 || run.depth == 24)
        ExpectRamp(bmp, head, info);
    else
        ExpectReducedRamp(bmp, head, info);
}

class Demo : public DemoRun, public ::testing::WithParamInterface<DemoCase> {};

TEST_P(Demo, AcquiresOneImageAndWritesAValidBmp) {
    const DemoCase &run = GetParam();
    std::string missing;
    if (!SourceCanTransfer(run.probeDataType, &missing))
        GTEST_SKIP() << missing << " still answers TWCC_BADPROTOCOL";

    std::string image = Temporary(std::string(run.name) + ".bmp");
    std::string config = Temporary(std::string(run.name) + ".ini");
    std::string log = Temporary(std::string(run.name) + ".txt");
    ChildResult child =
        RunDemo(std::string(run.arguments) + " --out \"" + image + "\"", config, log);
    ASSERT_TRUE(child.finished) << child.output;
    ASSERT_EQ(child.exitCode, 0u) << child.output;
    // It waited for the source's word in its event loop.
    EXPECT_TRUE(Contains(child.output, "TWMessage MSG_XFERREADY")) << child.output;
    // It configured the board as asked.
    std::vector<uint8_t> settings = ReadAll(config);
    std::string settingsText(settings.begin(), settings.end());
    EXPECT_TRUE(Contains(settingsText, "depth = " + std::to_string(run.depth))) << settingsText;

    ExpectBmp(image, run);
}

INSTANTIATE_TEST_SUITE_P(Runs, Demo, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<DemoCase> &info) {
                             return std::string(info.param.name);
                         });

// --screenshot: the demo plays the user of the source's dialog, and this test
// plays the screenshot taker.
TEST_F(DemoRun, ScriptedDialogPreviewsAcquiresAndCancels) {
    std::string missing;
    if (!SourceCanTransfer(DAT_IMAGENATIVEXFER, &missing))
        GTEST_SKIP() << missing << " still answers TWCC_BADPROTOCOL";
    std::string image = Temporary("scripted.bmp");
    std::string shot = Temporary("scripted.png");
    std::string marker = Temporary("scripted.png.ready");
    std::string config = Temporary("scripted.ini");
    std::string log = Temporary("scripted.txt");
    int markersSeen = 0;
    ChildResult child =
        RunDemo("--out \"" + image + "\" --screenshot \"" + shot + "\"", config, log, [&] {
            if (GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES) return;
            ++markersSeen;
            std::ofstream(shot) << "taken";
            DeleteFileA(marker.c_str());
        });
    ASSERT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.exitCode, 0u) << child.output;
    EXPECT_EQ(markersSeen, 1);
    EXPECT_TRUE(Contains(child.output, "preview running")) << child.output;
    EXPECT_TRUE(Contains(child.output, "screenshot taken")) << child.output;
    EXPECT_TRUE(Contains(child.output, "TWMessage MSG_XFERREADY")) << child.output;
    EXPECT_TRUE(Contains(child.output, "TWMessage MSG_CLOSEDSREQ")) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_DISABLEDS -> TWRC_SUCCESS")) << child.output;
    ExpectBmp(image, Cases[0]);
}

TEST_F(DemoRun, RejectsBadOptions) {
    std::string config = Temporary("options.ini");
    std::string log = Temporary("options.txt");
    ChildResult child = RunDemo("--depth 9", config, log);
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, 2u) << child.output;
    EXPECT_TRUE(Contains(child.output, "bad option: --depth 9")) << child.output;
    EXPECT_FALSE(QuorvexLoaded());
}

}  // namespace
