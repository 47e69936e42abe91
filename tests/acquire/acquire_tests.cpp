// qxacquire.exe run as a child process the way a user runs it, on the
// simulated board: every image it writes is read back by ImageMagick and
// compared with the board's ramp; failures and cancels end with their exit
// status and with the source closed (the board log shows KvBrdClose).
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <new>
#include <stdexcept>

#include "writers/frame_writer.h"
#include "writers/image_output.h"
#include "bmp_format.h"
#include "image_file.h"
#include "othersource/test_pattern.h"
#include "res/resource.h"
#include "support/bytes.h"
#include "support/child_process.h"
#include "support/harness.h"
#include "support/sentences.h"
#include "support/transfer.h"
#include "support/window_list.h"

namespace {

std::string BesideThisProgram(const char *file) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + file;
}

std::string Text(const std::string &path) {
    qx::Bytes bytes = qx::FileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Under Wine the host is Unix: its programs take Unix paths.
std::string HostPath(const std::string &path) {
    using ToUnix = char *(CDECL *)(const WCHAR *);
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    std::wstring wide(path.begin(), path.end());
    char *unix = toUnix ? toUnix(wide.c_str()) : nullptr;
    if (!unix) return path;
    std::string converted = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return converted;
}

bool Contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// A program of ours, or ImageMagick, started with its output in a file; it
// is ended with the test, however the test ends.
struct Child {
    qx::ChildProcess process;
    bool finished = false;
    DWORD exitCode = qx::NotRun;
    std::string outputPath, output;
    Child(const std::string &command, const std::string &outputFile)
        : process(command, outputFile), outputPath(outputFile) {
        EXPECT_TRUE(process.Started()) << command;
    }
    bool Running() { return process.Running(50); }
    // A generous bound that only stops a hung child from hanging the suite.
    void Finish() {
        exitCode = process.Finish(120000);
        finished = exitCode != qx::NotRun;
        output = Text(outputPath);
    }
};

// Message boxes and the source's dialog in the child: the test plays their user.
HWND FindChildWindow(DWORD process, const char *title) {
    for (HWND window : qx::ProcessWindows(process))
        if (IsWindowVisible(window) && qx::WindowText(window) == title) return window;
    return nullptr;
}

struct AcquireCase;

class AcquireRun : public ::testing::Test {
    friend void ExpectFramesInOrder(AcquireRun &test, const AcquireCase &run, uint32_t files);

protected:
    void SetUp() override {
        CreateDirectoryA(folder_.c_str(), nullptr);
        DeleteFileA(LogPath().c_str());
    }
    void TearDown() override {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do DeleteFileA((folder_ + "\\" + found.cFileName).c_str()) || RemoveDirectoryA((folder_ + "\\" + found.cFileName).c_str());
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder_.c_str());
    }
    std::string Path(const std::string &name) const { return folder_ + "\\" + name; }
    // A new file for each child: Wine may hold a finished child's output open a while.
    std::string OutputFile(const char *what) {
        static int children = 0;
        return Path(what + std::to_string(++children) + ".txt");
    }
    std::string LogPath() const { return Path("board-log.txt"); }

    // Runs qxacquire.exe on a board configured with `board`; onWindow is
    // called every 50 ms with the child's process id until it ends.
    template <class Poll>
    Child Run(const std::string &arguments, const std::string &board, Poll onWindow) {
        std::string config = Path("board.ini");
        std::ofstream(config) << "frame_ms = 0\nlog = " << LogPath() << "\n" << board;
        SetEnvironmentVariableA("QXSIM_CONFIG", config.c_str());
        Child child("\"" + BesideThisProgram("qxacquire.exe") + "\" --verbose --dsm TWAIN_32.DLL --out \"" +
                        folder_ + "\" " + arguments,
                    OutputFile("output"));
        SetEnvironmentVariableA("QXSIM_CONFIG", nullptr);
        for (DWORD start = GetTickCount(); child.Running() && GetTickCount() - start < 120000;) {
            if (dismissBoxes) DismissBoxes(child.process.Id());
            onWindow(child.process.Id());
        }
        child.Finish();
        return child;
    }
    Child Run(const std::string &arguments, const std::string &board = "") {
        return Run(arguments, board, [](DWORD) {});
    }

    // ImageMagick's reading of a written file as decode.sh's `samples`
    // ("gray", "rgb", "rgb16"). The decoder is the host's program and takes the host's paths.
    qx::Bytes ReadBack(const std::string &name, const char *samples) {
        std::string raw = Path(name + ".raw");
        const std::string command =
            std::string(QX_DECODE) + " " + HostPath(Path(name)) + " " + HostPath(raw) + " " + samples;
        EXPECT_TRUE(qx::StartHostProgram(command, OutputFile("decode"))) << command;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(50)) {
            if (GetFileAttributesA((raw + ".failed").c_str()) != INVALID_FILE_ATTRIBUTES) {
                ADD_FAILURE() << Text(raw + ".failed");
                break;
            }
            if (GetFileAttributesA(raw.c_str()) != INVALID_FILE_ATTRIBUTES) break;
        }
        return qx::FileBytes(raw);
    }

    // Every run, however it ended, leaves the board closed and the Source Manager closed.
    void ExpectClosed(const Child &child, bool boardOpened = true) {
        ASSERT_TRUE(child.finished) << child.output;
        EXPECT_EQ(Contains(Text(LogPath()), "KvBrdClose"), boardOpened) << child.output;
        EXPECT_TRUE(Contains(child.output, "MSG_CLOSEDSM -> TWRC_SUCCESS")) << child.output;
    }

    // Titles of the boxes the child showed (and this test dismissed).
    std::vector<std::string> boxes;
    bool dismissBoxes = true;

private:
    void DismissBoxes(DWORD process) {
        for (const char *title : {"Quorvex Error", "Twain Driver Error"})
            if (HWND box = FindChildWindow(process, title)) {
                boxes.push_back(title);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                Sleep(100);
            }
    }
    std::string folder_ = qx::TempFile("acquire");
};

struct AcquireCase {
    uint32_t depth;
    const char *mechanism;
    const char *format;
    uint32_t bits;  // --bits, 0 for none
    // A frame of several 8 MiB strips, each band of the file several blocks
    // of the BMP writer's and several bands of a bitmap's: every piece lands in its place.
    bool large = false;
};

void PrintTo(const AcquireCase &run, std::ostream *out) {
    *out << run.depth << run.mechanism << run.format << run.bits << (run.large ? "large" : "");
}

class Acquire : public AcquireRun, public ::testing::WithParamInterface<AcquireCase> {};

bool Is(const char *a, const char *b) { return !strcmp(a, b); }

// Deep grey reaches the file in 16 bits from the memory transfer and from
// the source's own TIFF; otherwise in 8 (the source's native and BMP files
// keep bits depth - 1 .. depth - 8).
bool Writes16(const AcquireCase &run) {
    if (run.depth == 8 || run.depth == 24 || Is(run.format, "bmp")) return false;
    return Is(run.mechanism, "memory") || (Is(run.mechanism, "file") && Is(run.format, "tiff"));
}

// The bit length of frame n's largest sample, at least 8.
uint32_t FrameBits(const AcquireCase &run, uint32_t width, uint32_t height, uint32_t n) {
    uint32_t all = 0;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) all |= qx::RampSample(x, y, n, run.depth);
    uint32_t bits = 8;
    while (all >> bits) ++bits;
    return bits;
}

// Whether ImageMagick's 16-bit reading of sample (x, y) of frame n is the
// board's sample: as it came, in its top bits when --bits scaled it (the
// low bits are held against known pairs by DeclaredBitsScaleToTheFullRange),
// or its top 8 of the kept bits in an 8-bit file.
bool Holds(const AcquireCase &run, uint32_t value, uint32_t x, uint32_t y, uint32_t n, uint32_t frameBits) {
    uint32_t s = qx::RampSample(x, y, n, run.depth);
    if (Writes16(run)) return run.bits ? value >> (16 - run.bits) == s : value == s;
    uint32_t kept = Is(run.mechanism, "memory") ? (run.bits ? run.bits : frameBits) : run.depth;
    return value == (s >> (kept - 8)) * 257;
}

// The frame that the file holds exactly, or -1.
int MatchingFrame(const AcquireCase &run, const qx::Bytes &raw, uint32_t width, uint32_t height) {
    const bool colour = run.depth == 24, sourceTiff = Is(run.mechanism, "file") && Is(run.format, "tiff");
    if (raw.size() != size_t(width) * height * (colour ? 3 : 2)) return -1;
    for (uint32_t n = 0; n < 64; ++n) {
        uint32_t frameBits = colour || run.depth == 8 ? 8 : FrameBits(run, width, height, n);
        bool same = true;
        for (uint32_t y = 0; y < height && same; ++y)
            for (uint32_t x = 0; x < width && same; ++x) {
                size_t at = (size_t(y) * width + x) * (colour ? 3 : 2);
                if (colour)  // R, G, B: the board's bytes B, G, R, but as they lie in the source's TIFF
                    for (uint32_t k = 0; k < 3; ++k) same &= raw[at + k] == qx::RampByte(x, y, n, sourceTiff ? k : 2 - k);
                else
                    same = Holds(run, qx::Get16(raw, at), x, y, n, frameBits);
            }
        if (same) return int(n);
    }
    return -1;
}

TEST_P(Acquire, WritesTheBoardsFrame) {
    const AcquireCase &run = GetParam();
    const uint32_t width = run.large ? 2048 : 320, height = run.large ? 4100 : 240;
    std::string bits = run.bits ? " --bits " + std::to_string(run.bits) : "";
    Child child = Run(std::string("--mech ") + run.mechanism + " --format " + run.format + bits,
                      "width = " + std::to_string(width) + "\nheight = " + std::to_string(height) +
                          "\ndepth = " + std::to_string(run.depth));
    ASSERT_EQ(child.exitCode, 0u) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_ENDXFER -> TWRC_SUCCESS")) << child.output;
    ExpectClosed(child);
    std::string name = std::string(run.mechanism) + "-001." + (Is(run.format, "tiff") ? "tif" : run.format);
    EXPECT_TRUE(Contains(child.output, Path(name))) << child.output;
    int n = MatchingFrame(run, ReadBack(name, run.depth == 24 ? "rgb" : "gray"), width, height);
    EXPECT_GE(n, 0) << name << " holds no frame of the ramp";
    if (run.large && Is(run.mechanism, "memory")) {
        EXPECT_TRUE(Contains(child.output, "DAT_IMAGEMEMXFER / MSG_GET -> TWRC_SUCCESS")) << "one strip only";
    }
    // An 8-bit file of deep samples says by how many bits it reduced them.
    bool reduced = run.depth > 8 && run.depth < 24 && Is(run.mechanism, "memory") && !Writes16(run) && !run.bits;
    EXPECT_EQ(Contains(child.output, "significant bits"), reduced) << child.output;
    if (reduced && n >= 0) {
        std::string said = "by their " + std::to_string(FrameBits(run, width, height, n)) + " significant bits";
        EXPECT_TRUE(Contains(child.output, said)) << child.output;
    }
}

std::vector<AcquireCase> Grid() {
    std::vector<AcquireCase> cases;
    for (uint32_t depth : {8, 10, 12, 14, 24})
        for (const char *mechanism : {"native", "memory", "file"})
            for (const char *format : {"png", "bmp", "tiff"}) cases.push_back({depth, mechanism, format, 0});
    for (const char *format : {"png", "bmp", "tiff"}) {
        cases.push_back({12, "memory", format, 12});
        for (const char *mechanism : {"native", "memory"}) cases.push_back({8, mechanism, format, 0, true});
    }
    // Deep grey: into PNG in 16 bits as it comes; into BMP by its own
    // significant bits, every strip kept until the last.
    for (const char *format : {"png", "bmp"}) cases.push_back({12, "memory", format, 0, true});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(BoardsMechanismsFormats, Acquire, ::testing::ValuesIn(Grid()),
                         [](const ::testing::TestParamInfo<AcquireCase> &info) {
                             std::string bits = info.param.bits ? "bits" + std::to_string(info.param.bits) : "";
                             return std::to_string(info.param.depth) + info.param.mechanism +
                                    info.param.format + bits + (info.param.large ? "large" : "");
                         });

// Files 1 to `files` of a stream, each read back: every one holds a frame of
// the ramp, each a later frame than the one before.
void ExpectFramesInOrder(AcquireRun &test, const AcquireCase &run, uint32_t files) {
    int previous = -1;
    for (uint32_t i = 1; i <= files; ++i) {
        char name[40];
        snprintf(name, sizeof name, "%s-%03u.%s", run.mechanism, i, run.format);
        int n = MatchingFrame(run, test.ReadBack(name, "gray"), 64, 48);
        EXPECT_GT(n, previous) << name;
        previous = n;
    }
}

// Another source's frames, through qxacquire: the test source's settings for a run.
struct OtherSource {
    explicit OtherSource(const std::string &settings) {
        SetEnvironmentVariableA(testsource::SettingsVariable, ("width=21 height=7 " + settings).c_str());
    }
    ~OtherSource() { SetEnvironmentVariableA(testsource::SettingsVariable, nullptr); }
};
constexpr uint32_t OtherWidth = 21, OtherHeight = 7;

// Twenty frames through the writer thread, by each mechanism and by our BMP
// writer and the encoders: none lost, reordered or written twice.
TEST_F(AcquireRun, StreamWritesEveryFrameOnceInOrder) {
    for (const AcquireCase &run : {AcquireCase{8, "native", "bmp", 0}, AcquireCase{12, "memory", "bmp", 0},
                                   AcquireCase{8, "file", "png", 0}}) {
        Child child = Run(std::string("--count 20 --mech ") + run.mechanism + " --format " + run.format,
                          "width = 64\nheight = 48\ndepth = " + std::to_string(run.depth));
        EXPECT_EQ(child.exitCode, 0u) << child.output;
        EXPECT_TRUE(Contains(child.output, "20 frame(s) in")) << child.output;
        ExpectFramesInOrder(*this, run, 20);
        ExpectClosed(child);
    }
}

// The fourth file cannot be created (a folder has its name): the run ends with
// exit status 1, the three frames before it whole and nothing written after it.
TEST_F(AcquireRun, FailedWriteEndsTheStreamKeepingTheFramesBefore) {
    CreateDirectoryA(Path("native-004.bmp").c_str(), nullptr);
    Child child = Run("--count 20 --format bmp", "width = 64\nheight = 48\n");
    EXPECT_EQ(child.exitCode, 1u) << child.output;
    EXPECT_TRUE(Contains(child.output, "error: cannot create " + Path("native-004.bmp"))) << child.output;
    EXPECT_TRUE(Contains(child.output, "3 frame(s) in")) << child.output;
    ExpectFramesInOrder(*this, {8, "native", "bmp", 0}, 3);
    EXPECT_EQ(GetFileAttributesA(Path("native-005.bmp").c_str()), INVALID_FILE_ATTRIBUTES);
    ExpectClosed(child);
    // A memory frame whose file fails while its strips (of one line here)
    // still come: its transfer ends at the next strip.
    CreateDirectoryA(Path("memory-004.bmp").c_str(), nullptr);
    OtherSource source("frames=20 striprows=1");
    Child streamed = Run("--source \"QX Test Source\" --count 20 --mech memory --format bmp");
    EXPECT_EQ(streamed.exitCode, 1u) << streamed.output;
    EXPECT_TRUE(Contains(streamed.output, "error: cannot create " + Path("memory-004.bmp"))) << streamed.output;
    EXPECT_TRUE(Contains(streamed.output, "3 frame(s) in")) << streamed.output;
    EXPECT_EQ(GetFileAttributesA(Path("memory-005.bmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(Contains(streamed.output, "MSG_CLOSEDS -> TWRC_SUCCESS")) << streamed.output;
}

// The writer holds three frames at most, and two of frames that hold 100 MiB
// (their memory counts, not their bytes): with the first writes held up until
// that many are queued, the next waits for room. A write that throws (3:
// no memory, 4: a size past max_size(), 5: not a std::exception) ends the run
// (status 1) with the frames before it written and none after it.
TEST(FrameWriter, HoldsThreeFramesAtMostAndStopsAtAWriteThatThrows) {
    const std::pair<uint32_t, uint64_t> cases[] = {{0, 64}, {3, 64}, {4, 64}, {5, 64}, {0, uint64_t(100) << 20}};
    for (const auto &c : cases) {
        const uint32_t failing = c.first, most = c.second > 64 ? 2 : 3;
        const uint64_t holds = c.second;
        Session s;
        HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::mutex lock;
        std::vector<uint32_t> written;
        uint32_t mostHeld = 0;
        {
            FrameWriter writer(s.options);
            for (uint32_t i = 1; i <= 8 && writer.WaitForRoom(s, holds); ++i) {
                PendingFrame frame;
                frame.index = i;
                frame.bytes = 64;
                frame.holds = holds;
                frame.write = [&, i](Session &, PendingFrame &) {
                    WaitForSingleObject(gate, INFINITE);
                    if (i == failing && i == 3) throw std::bad_alloc();
                    if (i == failing && i == 4) throw std::length_error("vector");
                    if (i == failing) throw i;
                    std::lock_guard<std::mutex> hold(lock);
                    written.push_back(i);
                    return true;
                };
                {  // at least the frames queued and not yet written are held
                    std::lock_guard<std::mutex> hold(lock);
                    mostHeld = std::max(mostHeld, i - uint32_t(written.size()));
                }
                writer.TransferBegins(i);
                if (!writer.Queue(s, std::move(frame))) break;
                if (i == most) SetEvent(gate);
            }
            SetEvent(gate);
            writer.Finish(s);
        }
        CloseHandle(gate);
        EXPECT_EQ(mostHeld, most) << holds;
        std::vector<uint32_t> expected;
        for (uint32_t i = 1; i < (failing ? failing : 9); ++i) expected.push_back(i);
        EXPECT_EQ(written, expected);
        EXPECT_EQ(s.framesWritten, expected.size());
        EXPECT_EQ(s.exitCode, failing ? ExitSourceFailed : ExitSuccess);
    }
}

// A large frame's work shows its progress.
TEST_F(AcquireRun, LargeFramesShowProgress) {
    Child large = Run("--format bmp", "width = 8192\nheight = 8192\n");
    EXPECT_EQ(large.exitCode, 0u) << large.output;
    // On a file: a line as each part begins, then one each quarter.
    for (const char *begun : {"frame 1: 0% transferred", "frame 1: 0% written"})
        EXPECT_TRUE(Contains(large.output, begun)) << large.output;
    size_t quarters = 0;
    for (size_t at = 0; (at = large.output.find("% written", at)) != std::string::npos; ++at) ++quarters;
    EXPECT_EQ(quarters, 4u) << large.output;
}

// --set ICAP_XFERMECH chooses the transfer as an application that negotiated
// it would; --mech says the same or the command line is refused.
TEST_F(AcquireRun, TheNegotiatedMechanismTransfers) {
    for (const char *agreeing : {"--set ICAP_XFERMECH=TWSX_MEMORY", "--set icap_xfermech=memory --mech memory"}) {
        Child child = Run(agreeing + std::string(" --count 2"));
        EXPECT_EQ(child.exitCode, 0u) << child.output;
        EXPECT_TRUE(Contains(child.output, "DAT_IMAGEMEMXFER / MSG_GET -> TWRC_XFERDONE")) << child.output;
        EXPECT_FALSE(Contains(child.output, "DAT_IMAGENATIVEXFER")) << child.output;
        EXPECT_TRUE(Contains(child.output, "2 frame(s) in")) << child.output;
        for (const char *name : {"memory-001.png", "memory-002.png"})
            EXPECT_TRUE(Contains(child.output, Path(name))) << child.output;
    }
}

// --bits 12 scales to the full 16-bit range. Known pairs, on a board 4096
// samples wide whose line holds every 12-bit sample once, from sample
// (0 + 5n) mod 4096 at x = 0; the top 12 bits of a scaled sample are the sample.
TEST_F(AcquireRun, DeclaredBitsScaleToTheFullRange) {
    Child child = Run("--mech memory --format png --bits 12", "width = 4096\nheight = 1\ndepth = 12\n");
    ASSERT_EQ(child.exitCode, 0u) << child.output;
    qx::Bytes raw = ReadBack("memory-001.png", "gray");
    ASSERT_EQ(raw.size(), 4096u * 2);
    const uint32_t first = qx::Get16(raw, 0) >> 4;
    const std::pair<uint32_t, uint32_t> known[] = {{0, 0}, {0xFFF, 0xFFFF}, {0xABC, 0xABCA}};
    for (auto [sample, scaled] : known)
        EXPECT_EQ(qx::Get16(raw, (sample + 4096 - first) % 4096 * 2), scaled) << sample;
}

// The source's own file stays beside the converted PNG, in the format asked of it.
TEST_F(AcquireRun, FileTransferAsksTheSourceForTheFormat) {
    Child child = Run("--mech file --format bmp");
    ASSERT_EQ(child.exitCode, 0u) << child.output;
    EXPECT_TRUE(Contains(child.output, "DAT_SETUPFILEXFER / MSG_SET -> TWRC_SUCCESS"));
    std::string bmp = Text(Path("file-001.bmp"));
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(GetFileAttributesA(Path("file-001.png").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(AcquireRun, BoardSelectionCancelledExitsThree) {
    Child child = Run("", "boards = 0x20:2\nselect = cancel\n");
    EXPECT_EQ(child.exitCode, 3u) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_OPENDS -> TWRC_CANCEL")) << child.output;
    EXPECT_EQ(boxes, std::vector<std::string>{"Twain Driver Error"});
    ExpectClosed(child, false);
}

TEST_F(AcquireRun, FailedTransferExitsOneWithTheConditionCode) {
    Child child = Run("--mech file --format bmp", "write_result = 5\n");
    EXPECT_EQ(child.exitCode, 1u) << child.output;
    EXPECT_TRUE(Contains(child.output,
                         "error: DG_IMAGE / DAT_IMAGEFILEXFER / MSG_GET -> TWRC_FAILURE, "
                         "condition code TWCC_"))
        << child.output;
    EXPECT_FALSE(boxes.empty());
    EXPECT_FALSE(Contains(child.output, "box:")) << child.output;  // without --unattended, boxes wait for a user
    // The transfer is ended, then the source disabled and closed.
    EXPECT_TRUE(Contains(child.output, "MSG_DISABLEDS -> TWRC_SUCCESS")) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_CLOSEDS -> TWRC_SUCCESS")) << child.output;
    ExpectClosed(child);
}

// Nobody answers the boxes of a failed snap: qxacquire prints and closes
// them itself, and the run ends with the failure, the source closed.
TEST_F(AcquireRun, UnattendedRunPrintsAndClosesTheSourcesBoxes) {
    dismissBoxes = false;
    Child child = Run("--unattended", "waits = timeout\nrearm_result = 1\n");
    EXPECT_EQ(child.exitCode, 1u) << child.output;
    EXPECT_TRUE(Contains(child.output, "box: Quorvex Error: Timed out snapping image in ImageMemXferMsg."))
        << child.output;
    EXPECT_TRUE(Contains(child.output, std::string("box: Twain Driver Error: General failure in response to "
                                                   "DAT_IMAGENATIVEXFER.  ") + qx::OperationErrorSentence))
        << child.output;
    EXPECT_TRUE(Contains(child.output, "DAT_IMAGENATIVEXFER / MSG_GET -> TWRC_FAILURE")) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_CLOSEDS -> TWRC_SUCCESS")) << child.output;
    ExpectClosed(child);
}

TEST_F(AcquireRun, CancelInTheDialogExitsThree) {
    bool pressed = false;
    Child child = Run("--ui", "", [&](DWORD process) {
        HWND dialog = qx::FindSourceDialog(process);
        if (dialog && IsWindowVisible(dialog) && !pressed)
            pressed = PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    });
    EXPECT_TRUE(pressed);
    EXPECT_EQ(child.exitCode, 3u) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_CLOSEDSREQ")) << child.output;
    EXPECT_TRUE(Contains(child.output, "MSG_DISABLEDS -> TWRC_SUCCESS")) << child.output;
    ExpectClosed(child);
}

// qxdialog plays the user of the source's dialog (Preview, Stop Preview,
// Acquire) from outside, and this test plays the screenshot taker.
TEST_F(AcquireRun, DialogDrivenFromOutsidePreviewsAndAcquires) {
    std::string shot = Path("scripted.png"), marker = shot + ".ready";
    int markersSeen = 0;
    std::unique_ptr<Child> driver;
    Child child = Run("--ui", "", [&](DWORD) {
        if (!driver)
            driver.reset(new Child("\"" + BesideThisProgram("qxdialog.exe") + "\" \"" + shot + "\"",
                                   OutputFile("driver")));
        if (GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES) return;
        ++markersSeen;
        DeleteFileA(marker.c_str());
    });
    ASSERT_TRUE(driver);
    driver->Finish();
    EXPECT_EQ(driver->exitCode, 0u) << driver->output;
    EXPECT_TRUE(Contains(driver->output, "preview running")) << driver->output;
    EXPECT_EQ(child.exitCode, 0u) << child.output;
    EXPECT_EQ(markersSeen, 1);
    EXPECT_TRUE(Contains(child.output, "MSG_PROCESSEVENT brought MSG_XFERREADY")) << child.output;
    EXPECT_NE(GetFileAttributesA(Path("native-001.png").c_str()), INVALID_FILE_ATTRIBUTES);
    ExpectClosed(child);
}

TEST_F(AcquireRun, CommandLineAndSourceErrors) {
    struct ErrorCase {
        const char *arguments;
        DWORD exitCode;
        const char *said;
        bool sourceOpened;  // and closed again
        TW_UINT16 conditionCode;  // of a refused triplet, whose hint follows; 0 for none
        const char *board;
    };
    std::vector<ErrorCase> cases = {
        {"--mech carrier-pigeon", 2, "bad option: --mech carrier-pigeon", false, 0, ""},
        {"--mech file --set ICAP_XFERMECH=TWSX_MEMORY", 2, "--mech file and --set ICAP_XFERMECH disagree", false, 0, ""},
        {"--bits 7", 2, "bad option: --bits 7", false, 0, ""},
        {"--set ICAP_PHYSICALWIDTH=100", 1, "MSG_SET -> TWRC_FAILURE, condition code TWCC_CAPBADOPERATION (ICAP_PHYSICALWIDTH)",
         true, TWCC_CAPBADOPERATION, ""},
        {"--set ICAP_PIXELTYPE=TWPT_BW", 1, "MSG_SET -> TWRC_FAILURE, condition code TWCC_BADVALUE (ICAP_PIXELTYPE)", true,
         TWCC_BADVALUE, ""},
        {"--set ICAP_XFERMECH=7", 1, "MSG_SET -> TWRC_FAILURE, condition code TWCC_BADVALUE", true, TWCC_BADVALUE, ""},
        {"", 1, "MSG_ENABLEDS -> TWRC_FAILURE, condition code TWCC_OPERATIONERROR", true, TWCC_OPERATIONERROR,
         "setup_result = 1\n"},
        {"--source \"No Such Scanner\"", 4, "no source named \"No Such Scanner\"", false, 0, ""},
        {"--dsm Z:\\nowhere\\NOMANAGER.DLL", 4, "no Source Manager", false, 0, ""},
    };
    for (const ErrorCase &error : cases) {
        Child child = Run(error.arguments, error.board);
        EXPECT_EQ(child.exitCode, error.exitCode) << child.output;
        EXPECT_TRUE(Contains(child.output, error.said)) << child.output;
        if (error.sourceOpened) ExpectClosed(child);
        EXPECT_EQ(Contains(child.output, "hint: "), error.conditionCode != 0) << child.output;
        std::string hint = error.conditionCode ? std::string("hint: ") + ConditionCodeHint(error.conditionCode) : "";
        EXPECT_TRUE(Contains(child.output, hint)) << child.output;
    }
}

// The board's largest frame, a 1 GiB line scan, in the 32-bit build (4 GB,
// large-address-aware): by file and memory transfer written whole; by native
// transfer written, or the source finds no room for its bitmap beside its host
// buffer (TWCC_LOWMEMORY), and with --unattended that is an error, never a wait.
TEST_F(AcquireRun, LineScanFrameOf1GiBIn32Bits) {
    if (sizeof(void *) == 8) GTEST_SKIP() << "a 64-bit process has room: the benchmark takes this frame";
    dismissBoxes = false;
    for (const std::string mechanism : {"file", "memory", "native"}) {
        Child child = Run("--unattended --format bmp --mech " + mechanism, "width = 16384\nheight = 65535\n");
        ExpectClosed(child);
        if (mechanism == "native" && child.exitCode == 1) {
            EXPECT_TRUE(Contains(child.output, "-> TWRC_FAILURE, condition code TWCC_LOWMEMORY")) << child.output;
            continue;
        }
        EXPECT_EQ(child.exitCode, 0u) << child.output;
        qx::Bytes size = ReadBack(mechanism + "-001.bmp", "size");
        EXPECT_EQ(std::string(size.begin(), size.end()), "16384x65535") << mechanism;
    }
}

// A source's BMP file converted: rows read by our bitmap reader a band at a
// time, a compressed one (which that reader does not take) by WIC; one that
// ends before its rows, whose rows begin too late for the file to hold them,
// or that is no image, refused with nothing written.
TEST_F(AcquireRun, ConvertingASourcesBmpFileTakesItOrRefusesIt) {
    constexpr uint32_t W = 4, H = 3;
    const uint8_t levels[H][W] = {{0, 40, 80, 120}, {130, 150, 170, 190}, {200, 220, 240, 255}};
    std::vector<uint8_t> plain = bmp::Headers(W, H, false, 0), rle = plain;
    rle[30] = 1;  // BI_RLE8: each line as runs of one pixel, then the line's or the bitmap's end
    for (uint32_t y = H; y-- > 0;) {
        plain.insert(plain.end(), levels[y], levels[y] + W);
        for (uint8_t level : levels[y]) rle.insert(rle.end(), {1, level});
        rle.insert(rle.end(), {0, uint8_t(y ? 0 : 1)});
    }
    const uint32_t runs = uint32_t(rle.size() - plain.size() + W * H);  // biSizeImage, then the file's size
    for (auto [at, value] : {std::pair<size_t, uint32_t>{34, runs}, {2, uint32_t(rle.size())}})
        for (int k = 0; k < 4; ++k) rle[at + k] = uint8_t(value >> 8 * k);
    std::vector<uint8_t> late = plain;
    late[10] += W;  // bfOffBits, a line on
    const std::vector<uint8_t> cut(plain.begin(), plain.end() - W), noImage = {'B', 'M', 0, 1, 2, 3, 4, 5};
    const std::pair<const char *, const std::vector<uint8_t> *> files[] = {
        {"plain", &plain}, {"rle", &rle}, {"cut", &cut}, {"late", &late}, {"none", &noImage}};
    for (const auto &[name, bytes] : files) {
        const std::string from = Path(std::string(name) + ".bmp"), to = from + ".png";
        std::ofstream(from, std::ios::binary).write(reinterpret_cast<const char *>(bytes->data()), bytes->size());
        Session converting;
        const bool image = bytes == &plain || bytes == &rle;
        EXPECT_EQ(ConvertFile(converting, from, to), image) << name;
        EXPECT_EQ(converting.exitCode, image ? ExitSuccess : ExitSourceFailed) << name;
        if (!image) {
            EXPECT_EQ(GetFileAttributesA(to.c_str()), INVALID_FILE_ATTRIBUTES) << name;
            continue;
        }
        const qx::Bytes grey = ReadBack(std::string(name) + ".bmp.png", "gray");
        ASSERT_EQ(grey.size(), size_t(W) * H * 2) << name;
        for (uint32_t y = 0; y < H; ++y)
            for (uint32_t x = 0; x < W; ++x) EXPECT_EQ(qx::Get16(grey, 2 * (y * W + x)), levels[y][x] * 257u) << name;
    }
}

// Lines the board pads to 128 bytes (64 pixels of 8 bits): the memory
// transfer skips the padding and writes the ramp as it is.
// A board that pads its lines: memory strips and the native bitmap both hold the ramp.
TEST_F(AcquireRun, PaddedBoardLinesAreSkipped) {
    for (const char *mechanism : {"memory", "native"}) {
        Child child = Run(std::string("--mech ") + mechanism + " --format png",
                          "width = 64\nheight = 48\ndepth = 8\nline_bytes = 128\n");
        ASSERT_EQ(child.exitCode, 0u) << child.output;
        EXPECT_GE(MatchingFrame({8, mechanism, "png", 0}, ReadBack(std::string(mechanism) + "-001.png", "gray"), 64, 48), 0)
            << mechanism;
    }
}


uint32_t Setting(const std::string &settings, const char *key, uint32_t otherwise) {
    size_t at = (" " + settings).find(std::string(" ") + key + "=");
    if (at == std::string::npos) return otherwise;
    std::string_view value = std::string_view(settings).substr(at + strlen(key) + 1);
    uint32_t number = otherwise;
    ParseNumber(value.substr(0, value.find(' ')), &number);
    return number;
}

// A sample of `bits` bits as ImageMagick's 16-bit reading of it: below 8
// bits scaled to the full range; 16-bit samples as they are, in BMP by their top 8.
uint32_t Reading(uint32_t v, uint32_t bits, bool bmp) {
    if (bits == 16) return bmp ? (v >> 8) * 257 : v;
    return v * 65535 / ((1u << bits) - 1);
}

// The 16-bit R, G, B reading of pixel (x, y) of the test source's frame.
uint32_t ExpectedChannel(const std::string &settings, bool bmp, uint32_t x, uint32_t y, uint32_t k) {
    using testsource::Sample;
    const uint32_t type = Setting(settings, "pixeltype", TWPT_GRAY), bits = Setting(settings, "bits", 8);
    if (type == TWPT_PALETTE) {  // an index past a table cut short takes its first entry
        const uint32_t index = Sample(x, y, 0, bits), entries = Setting(settings, "clrused", 256);
        testsource::Colour c = testsource::PaletteColour(index < entries ? index : 0);
        return (k == 0 ? c.r : k == 1 ? c.g : c.b) * 257;
    }
    if (type == TWPT_BW) return (Sample(x, y, 0, 1) ^ Setting(settings, "flavor", 0)) * 65535;
    if (type == TWPT_GRAY) return Setting(settings, "flavor", 0) ? 65535 - Reading(Sample(x, y, 0, bits), bits, bmp)
                                                               : Reading(Sample(x, y, 0, bits), bits, bmp);
    if (bits == 16) {  // 5-5-5 or 5-6-5, each channel widened to 8 bits by repeating its bits
        const uint32_t w = k == 1 && Setting(settings, "bitfields", 0) ? 6 : 5, v = Sample(x, y, k, w);
        return ((v << (8 - w) | v >> (2 * w - 8)) & 0xFF) * 257;
    }
    return Reading(Sample(x, y, k, bits == 48 ? 16 : 8), bits == 48 ? 16 : 8, bmp);
}

struct LayoutCase {
    const char *settings;    // the test source's, besides the size
    const char *mechanisms;  // "native", "memory" or both
};

class OtherSourceLayouts : public AcquireRun, public ::testing::WithParamInterface<LayoutCase> {};

// Each file holds the picture; a BMP or TIFF file re-encoded as PNG, as a
// file transfer's is, holds it too, at the depth of the PNG written directly
// (bar the 16-bit samples a BMP file holds in 8 bits).
TEST_P(OtherSourceLayouts, EveryFormatHoldsThePicture) {
    const LayoutCase &layout = GetParam();
    OtherSource source(layout.settings);
    const uint32_t bits = Setting(layout.settings, "bits", 8);
    const bool deep = bits == 48 || (bits == 16 && Setting(layout.settings, "pixeltype", TWPT_GRAY) == TWPT_GRAY);
    for (const char *mechanism : {"native", "memory"})
        for (const char *format : {"png", "bmp", "tiff"}) {
            if (!Contains(layout.mechanisms, mechanism)) continue;
            Child child = Run(std::string("--source \"QX Test Source\" --mech ") + mechanism + " --format " + format);
            ASSERT_EQ(child.exitCode, 0u) << child.output;
            std::string name = std::string(mechanism) + "-001." + (Is(format, "tiff") ? "tif" : format);
            std::vector<std::string> files = {name};
            if (!Is(format, "png")) {
                Session converting;
                ASSERT_TRUE(ConvertFile(converting, Path(name), Path(name + ".png"))) << name;
                files.push_back(name + ".png");
                const qx::Bytes converted = qx::FileBytes(Path(name + ".png"));
                const qx::Bytes direct = qx::FileBytes(Path(std::string(mechanism) + "-001.png"));
                if (!(Is(format, "bmp") && deep)) {  // bit depth and colour type
                    EXPECT_EQ(qx::Get16(converted, 24), qx::Get16(direct, 24)) << name;
                }
            }
            for (const std::string &file : files) {
                qx::Bytes raw = ReadBack(file, "rgb16");
                ASSERT_EQ(raw.size(), OtherWidth * OtherHeight * 6) << file;
                uint32_t wrong = 0;
                for (uint32_t at = 0; at < OtherWidth * OtherHeight * 3; ++at)
                    wrong += qx::Get16(raw, at * 2) != ExpectedChannel(layout.settings, Is(format, "bmp"),
                                                                      at / 3 % OtherWidth, at / 3 / OtherWidth, at % 3);
                EXPECT_EQ(wrong, 0u) << file << " of " << layout.settings;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(
    TestSource, OtherSourceLayouts,
    ::testing::Values(LayoutCase{"pixeltype=0 bits=1", "native memory"},
                      LayoutCase{"pixeltype=0 bits=1 flavor=1 tile=8 section=1", "native memory"},
                      LayoutCase{"bits=4 tile=6 flavor=1", "native memory"}, LayoutCase{"bits=8 pad=5 topdown=1", "native memory"},
                      LayoutCase{"bits=8 flavor=1 section=1", "native memory"},
                      LayoutCase{"bits=16 pad=2", "memory"}, LayoutCase{"bits=16 pad=2 bands=2,0,1", "memory"},
                      LayoutCase{"pixeltype=2 bits=24 tile=8 bands=1,2,0", "memory"},
                      LayoutCase{"bits=8 striprows=1 bufferbytes=1000", "memory"},  // 7 strips, each a buffer
                      LayoutCase{"pixeltype=3 bits=8", "native memory"},
                      LayoutCase{"pixeltype=3 bits=4 section=1 tile=6 topdown=1", "native memory"},
                      LayoutCase{"pixeltype=3 bits=1 pad=1", "native memory"},
                      LayoutCase{"pixeltype=2 bits=24 pad=3 tile=10 topdown=1", "native memory"},
                      LayoutCase{"pixeltype=2 bits=48 tile=4", "memory"}, LayoutCase{"pixeltype=2 bits=32", "native"},
                      LayoutCase{"pixeltype=2 bits=16", "native"}, LayoutCase{"pixeltype=2 bits=16 bitfields=1", "native"},
                      LayoutCase{"pixeltype=2 bits=16 bitfields=1 section=1 topdown=1", "native"},
                      LayoutCase{"pixeltype=2 bits=24 section=1", "native"},
                      // A header whose planes and image size are wrong, indices past its colours.
                      LayoutCase{"pixeltype=3 bits=8 clrused=5 planes=0 sizeimage=7", "native"}));

// The band writers, WIC's (8-bit grey in PNG and TIFF) and ours: a band past
// the image's last row and a Finish before it are refused, and a writer
// that ends unfinished leaves no file behind.
TEST_F(AcquireRun, BandWritersLeaveNoFileUnlessWhole) {
    const uint8_t rows[4 * 16] = {};
    qximg::PackedImage deep;
    deep.width = 8, deep.height = 4, deep.bits = 16;
    for (qximg::ImageFormat format : {qximg::ImageFormat::Png, qximg::ImageFormat::Bmp, qximg::ImageFormat::Tiff})
        for (bool packed : {false, true}) {
            const std::string path = Path(std::string("band.") + qximg::ImageFormatExtension(format));
            std::string error;
            {
                std::unique_ptr<qximg::ImageFileWriter> file =
                    packed ? qximg::OpenPackedImageFile(path, format, deep, &error)
                           : qximg::OpenImageFile(path, format, qximg::PixelLayout::Gray8, 8, 4, 16, &error);
                ASSERT_TRUE(file) << error;
                EXPECT_TRUE(file->WriteRows(rows, 16, 3, &error)) << error;
                EXPECT_FALSE(file->WriteRows(rows, 16, 2, &error)) << path;
                EXPECT_FALSE(file->Finish(&error)) << path;
                EXPECT_TRUE(Contains(error, "only 3 of the 4 rows")) << error;
            }
            EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
        }
}

// Capabilities that are lists of 65535 strings (16.8 MB each, 40 of them) are
// read and listed one at a time, each with its first values and their count.
// With no memory for one (32-bit: the source has taken the address space) the
// run ends with an error naming the step, exit status 1, the source closed.
TEST_F(AcquireRun, CapabilitiesOfHugeListsAreListedOneAtATime) {
    for (const bool starved : {false, sizeof(void *) == 4}) {
        OtherSource source(starved ? "bigcaps=1 hog=1" : "bigcaps=1");
        Child child = Run("--source \"QX Test Source\" --caps");
        EXPECT_TRUE(Contains(child.output, "MSG_CLOSEDS -> TWRC_SUCCESS")) << child.output;
        EXPECT_EQ(child.exitCode, starved ? 1u : 0u) << child.output;
        const std::string said = starved ? "error: no memory to read the capabilities (the last call: DG_CONTROL / "
                                           "DAT_CAPABILITY / MSG_GET of 0x8000)"
                                         : "(the list)         0 1 2 3 4 5 6 7 ... (65535 values)";
        size_t found = 0;
        for (size_t at = 0; (at = child.output.find(said, at)) != std::string::npos; ++at) ++found;
        EXPECT_EQ(found, starved ? 1u : 40u) << child.output;
    }
}

// What a source hands over is checked before it is read: a header or strip
// that does not fit its memory, or a layout not written, ends the run with
// exit status 1 and an error naming it.
TEST_F(AcquireRun, HostileBitmapsAndStripsEndTheRun) {
    struct Hostile {
        const char *mechanism, *settings, *said;
    };
    const Hostile cases[] = {
        {"native", "clrused=0x40000000", "claims 1073741824 colours"},
        {"native", "clrused=0xFFFFFFF0 pixeltype=2 bits=24", "does not fit its memory"},
        {"native", "bisize=0x7FFFFFF0", "has a header of 2147483632 bytes"},
        {"native", "biwidth=0x7FFFFFFF", "does not fit its memory"},
        {"native", "biheight=-2147483648", "21 x -2147483648 pixels"},
        {"native", "blockbytes=20", "no room for its header"},
        {"native", "blockbytes=100", "does not fit its memory"},
        {"native", "pixeltype=2 bits=32 biwidth=0x7FFFFFFF biheight=0x7FFFFFFF clrused=0xFFFFFFFF", "does not fit its memory"},
        {"native", "pixeltype=2 bits=16 bitfields=1 bisize=44", "header of 44 bytes"},
        {"memory", "bytesperrow=0", "lines shorter than their pixels"},
        {"memory", "bytesperrow=0xFFFFFFFF", "more lines than bytes"},
        {"memory", "rows=100000", "pixels outside the image"},
        {"memory", "yoffset=0xFFFFFFFF", "pixels outside the image"},
        {"memory", "byteswritten=0xFFFFFFF0", "more bytes than the buffer"},
        {"memory", "columns=0x7FFFFFFF", "pixels outside the image"},
        {"memory", "bufferbytes=0xFFFFFFFF", "buffers of at least 4294967295 bytes"},
        {"memory", "compression=5", "strips compressed by TWCP_GROUP4 are not written"},
        {"memory", "pixeltype=4 bits=24", "strips of TWPT_CMY"},
        {"memory", "bits=16 flavor=1", "deep grey of TWPF_VANILLA"},
        {"memory", "stall=1", "10000 strips in a row that added nothing to the image"},
        // A frame that ends short, its first lines streamed to the file already; a claim of 1.5 GiB.
        {"memory", "bands=0,1", "the strips did not cover the image: line 6 has 0 of 21 pixels"},
        {"memory", "pixeltype=2 bits=24 width=32768 height=16384 bands=0,1,2", "line 9 has 0 of 32768 pixels"},
    };
    for (const Hostile &hostile : cases) {
        OtherSource source(hostile.settings);
        Child child = Run(std::string("--source \"QX Test Source\" --mech ") + hostile.mechanism);
        EXPECT_EQ(child.exitCode, 1u) << child.output;
        EXPECT_TRUE(Contains(child.output, std::string("error: ")) && Contains(child.output, hostile.said)) << child.output;
        EXPECT_TRUE(Contains(child.output, "MSG_CLOSEDS -> TWRC_SUCCESS")) << child.output;
        EXPECT_TRUE(Contains(child.output, "MSG_CLOSEDSM -> TWRC_SUCCESS")) << child.output;
        EXPECT_EQ(GetFileAttributesA(Path(std::string(hostile.mechanism) + "-001.png").c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

// A transfer that the source cancels is ended (MSG_ENDXFER, from state 7)
// before the way down, by either mechanism: exit status 3, the frame before it written.
TEST_F(AcquireRun, TransferCancelledByTheSourceIsEndedThenSteppedDown) {
    for (const char *mechanism : {"native", "memory"}) {
        OtherSource source("cancel=2 frames=3");
        Child child = Run(std::string("--source \"QX Test Source\" --count 3 --mech ") + mechanism);
        EXPECT_EQ(child.exitCode, 3u) << child.output;
        size_t at = 0;
        for (const char *next : {"-> TWRC_CANCEL", "error: the transfer was cancelled", "MSG_ENDXFER -> TWRC_SUCCESS",
                                 "MSG_RESET -> TWRC_SUCCESS", "MSG_DISABLEDS -> TWRC_SUCCESS",
                                 "MSG_CLOSEDS -> TWRC_SUCCESS", "1 frame(s) in"})
            EXPECT_NE(at = child.output.find(next, at), std::string::npos) << next << " in order:\n" << child.output;
    }
}

}  // namespace
