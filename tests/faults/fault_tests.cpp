// Every call of the source that can fail for want of memory, a thread, a
// window, a board answer or a library, made to fail in turn through DS_Entry:
// each triplet is run once as it is, then once per call of each patched
// import with that call failing. A failure the table lists must give its
// result, condition code and boxes; any other must change nothing the
// application sees. Either way the source must be left usable, and nothing
// it took (handles, threads, windows, memory) may outlive its close.
#include "../ui/ui_support.h"

#include "import_faults.h"
#include "support/box_hook.h"
#include "res/resource.h"
#include "support/capability.h"
#include "support/temp_file.h"
#include "support/transfer.h"

using namespace qx;

namespace {

constexpr DWORD LongEnough = 20000;
// A frame larger than the noise of the committed-memory count, so that a
// frame-sized block left behind shows.
const std::string BigBoard = "width = 1280\nheight = 1024\n";
constexpr SIZE_T MemoryNoise = 1024 * 1024;

// What the application sees of one triplet.
struct Outcome {
    TW_UINT16 rc;
    TW_UINT16 cc;
};

// A triplet, the calls that bring the source to it, and the board it runs on.
struct Triplet {
    const char *name;
    std::string board;
    void (*reach)(LoadedSource &, HWND app);
    Outcome (*act)(LoadedSource &, HWND app);
    // Checks what the outcome implies, with no call failing any more.
    void (*after)(LoadedSource &, const Outcome &) = nullptr;
};

Outcome Read(LoadedSource &source, TW_UINT16 rc) { return {rc, source.Status()}; }

void Open(LoadedSource &source, HWND) { ASSERT_EQ(source.Open(), TWRC_SUCCESS); }
void Ready(LoadedSource &source, HWND) { MakeReady(source); }
void EnabledWithDialog(LoadedSource &source, HWND app) {
    ASSERT_EQ(source.Open(), TWRC_SUCCESS);
    ASSERT_EQ(source.Enable(true, app), TWRC_SUCCESS);
}

Outcome GetTransferMechanism(LoadedSource &source, HWND) {
    TW_CAPABILITY cap = {ICAP_XFERMECH, TWON_ONEVALUE, nullptr};
    TW_UINT16 rc = source.Capability(MSG_GET, &cap);
    Outcome outcome = Read(source, rc);
    if (cap.hContainer) GlobalFree(cap.hContainer);
    EXPECT_EQ(cap.hContainer != nullptr, rc == TWRC_SUCCESS);
    return outcome;
}

Outcome SetMemoryTransfers(LoadedSource &source, HWND) {
    return Read(source, SetOneValue(source, ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY));
}

void TransferMechanismIsAsSet(LoadedSource &source, const Outcome &set) {
    Reply current = Ask(source, MSG_GETCURRENT, ICAP_XFERMECH);
    TW_UINT32 expected = set.rc == TWRC_SUCCESS ? TWSX_MEMORY : TWSX_NATIVE;
    EXPECT_EQ(current.bytes, OneValue(TWTY_UINT16, expected)) << "a failed set changed the value";
}

Outcome Native(LoadedSource &source, HWND) {
    NativeReply reply = NativeTransfer(source);
    if (reply.result == TWRC_XFERDONE) GlobalFree(reply.handle);
    else EXPECT_EQ(reply.handle, nullptr) << "a failed transfer handed something over";
    return Read(source, reply.result);
}

// The first strip of a memory transfer into the application's one-line block.
Outcome FirstStrip(LoadedSource &source, HWND) {
    constexpr TW_UINT32 Line = 1280;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, Line);
    TW_IMAGEMEMXFER strip;
    TW_UINT16 rc = MemoryStrip(source, strip, block, Line, TWMF_APPOWNS | TWMF_HANDLE);
    GlobalFree(block);
    return Read(source, rc);
}

// Acquire pressed and the first strip of a memory transfer taken: state 700
// with the dialog shown.
void StripTakenWithDialog(LoadedSource &source, HWND app) {
    EnabledWithDialog(source, app);
    SendMessageA(FindSourceDialog(), WM_COMMAND, IDOK, 0);
    ASSERT_EQ(FirstStrip(source, app).rc, TWRC_SUCCESS);
}

// A click on Preview: TWRC_SUCCESS when the preview went as far as a frame,
// TWRC_FAILURE when it ended (or never began) without one; no condition code.
Outcome ClickPreview(LoadedSource &source, HWND) {
    HWND dialog = FindSourceDialog();
    EventLoop loop(source);
    int frames = FramesStarted(), ends = LogCount(BoardLog(), "VizpaneClose*");
    unsigned started = Passed(Import::BeginThread);
    PostMessageA(GetDlgItem(dialog, IDC_PREVIEW), BM_CLICK, 0, 0);
    loop.RunUntil([&] { return !loop.EventsFor(dialog, BM_CLICK).empty(); }, LongEnough);
    // Once begun, a run starts a frame or ends; one never begun changes nothing.
    if (Passed(Import::BeginThread) > started)
        loop.RunUntil([&] {
            return FramesStarted() > frames || LogCount(BoardLog(), "VizpaneClose*") > ends;
        }, LongEnough);
    return {FramesStarted() > frames ? TWRC_SUCCESS : TWRC_FAILURE, TWCC_SUCCESS};
}

// A file transfer into a file of the test's own folder: the set-up leaves it
// empty, and only a transfer that succeeds writes it. (TIFF: the simulated
// writer keeps a block of memory for the rows of a BMP file.)
const TempFolder Files("faults");
const std::string WrittenFile = Files.Path("frame.tif");

bool FileIsEmpty() {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(WrittenFile.c_str(), GetFileExInfoStandard, &data) &&
           data.nFileSizeLow == 0 && data.nFileSizeHigh == 0;
}

void ReadyToWriteFile(LoadedSource &source, HWND app) {
    MakeReady(source, app);
    DeleteFileA(WrittenFile.c_str());
    TW_SETUPFILEXFER setup = {};
    lstrcpynA(setup.FileName, WrittenFile.c_str(), sizeof setup.FileName);
    setup.Format = TWFF_TIFF;
    ASSERT_EQ(source.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
}

Outcome WriteFile(LoadedSource &source, HWND) { return Read(source, FileTransfer(source)); }

void WrittenOnlyWhenDone(LoadedSource &, const Outcome &outcome) {
    EXPECT_EQ(FileIsEmpty(), outcome.rc != TWRC_XFERDONE);
}

Outcome EnableWithDialog(LoadedSource &source, HWND app) {
    return Read(source, source.Enable(true, app));
}
Outcome EnableWithoutDialog(LoadedSource &source, HWND app) {
    return Read(source, source.Enable(false, app));
}

const Triplet Triplets[] = {
    {"MSG_OPENDS", BigBoard, nullptr, [](LoadedSource &s, HWND) { return Read(s, s.Open()); }},
    {"MSG_ENABLEDS", BigBoard, Open, EnableWithDialog},
    {"MSG_ENABLEDS without the dialog", BigBoard, Open, EnableWithoutDialog},
    {"MSG_GET of ICAP_XFERMECH", BigBoard, Open, GetTransferMechanism},
    {"MSG_SET of ICAP_XFERMECH", BigBoard, Open, SetMemoryTransfers, TransferMechanismIsAsSet},
    {"DAT_IMAGENATIVEXFER", BigBoard, Ready, Native},
    {"DAT_IMAGEMEMXFER", BigBoard, Ready, FirstStrip},
    {"Preview", BigBoard + "depth = 12\n", EnabledWithDialog, ClickPreview},
    // The transfer's lines not yet delivered are kept before the preview snaps.
    {"Preview during a memory transfer", BigBoard, StripTakenWithDialog, ClickPreview},
    // Padded lines: the writer is given a compact copy.
    {"DAT_IMAGEFILEXFER", BigBoard + "line_bytes = 1284\n", ReadyToWriteFile, WriteFile,
     WrittenOnlyWhenDone},
};

constexpr const char *Quorvex = "Quorvex Error";
constexpr const char *Twain = "Twain Driver Error";
const std::string Enable = "General failure in response to MSG_ENABLEDS.  ";
const std::string NativeText = NativeFailure;
const std::string Memory = "General failure in response to DAT_IMAGEMEMXFER.  ";
const std::string File = "General failure in response to DAT_IMAGEFILEXFER.  ";
// The board's own box for a set-up into no buffer.
const std::string NoBufferText = "The board could not set up acquisition: no host buffer (error 1).";

// Every call from `from` on fails, not only one.
constexpr unsigned Every = 0;

// The board's frame parameters, in the one order every transfer and the
// preview inquire them. Bytes per pixel are the board's for native rows and
// memory strips only: the preview and the file writer take theirs from the depth.
enum FrameInquiry : unsigned {
    Width = 1, Height, Depth, ImageBytes, LineBytes, BytesPerPixel, SignalsPerFrame
};

struct Fault {
    const char *triplet;
    Import import;
    unsigned from, to;  // the calls that fail, counted from 1; to Every: all from `from` on
    TW_UINT16 rc, cc;
    std::vector<std::pair<std::string, std::string>> boxes;
    int notifications;  // -1: as without the fault
};

const Fault Faults[] = {
    {"MSG_ENABLEDS", Import::Malloc, 2, 2, TWRC_FAILURE, TWCC_LOWMEMORY,
     {{Twain, Enable + LowMemorySentence}}, -1},
    // No image size: acquisition cannot be set up into no buffer.
    {"MSG_ENABLEDS", Import::BoardInquire, 2, 2, TWRC_FAILURE, TWCC_OPERATIONERROR,
     {{Quorvex, NoBufferText}, {Twain, Enable + OperationErrorSentence}}, -1},
    {"MSG_ENABLEDS", Import::CreateDialogParam, 1, 1, TWRC_FAILURE, TWCC_LOWMEMORY,
     {{Twain, Enable + LowMemorySentence}}, -1},
    {"MSG_ENABLEDS without the dialog", Import::Malloc, 2, 2, TWRC_FAILURE, TWCC_LOWMEMORY,
     {{Twain, Enable + LowMemorySentence}}, 0},
    {"MSG_ENABLEDS without the dialog", Import::BoardInquire, 2, 2, TWRC_FAILURE,
     TWCC_OPERATIONERROR, {{Quorvex, NoBufferText}, {Twain, Enable + OperationErrorSentence}}, 0},
    {"MSG_ENABLEDS without the dialog", Import::CreateDialogParam, 1, 1, TWRC_FAILURE,
     TWCC_LOWMEMORY, {{Twain, Enable + LowMemorySentence}}, 0},
    // No Source Manager library to be had (TWAINDSM.DLL, tried next, is not
    // beside the tests): the transfer is ready all the same.
    {"MSG_ENABLEDS without the dialog", Import::LoadLibrary, 1, 1, TWRC_SUCCESS, TWCC_SUCCESS,
     {}, 0},
    {"MSG_GET of ICAP_XFERMECH", Import::GlobalAlloc, 1, 1, TWRC_FAILURE, TWCC_LOWMEMORY, {}, -1},
    {"MSG_GET of ICAP_XFERMECH", Import::GlobalLock, 1, 1, TWRC_FAILURE, TWCC_LOWMEMORY, {}, -1},
    {"MSG_SET of ICAP_XFERMECH", Import::GlobalLock, 1, 1, TWRC_FAILURE, TWCC_BADVALUE, {}, -1},
    // No frame to read.
    {"DAT_IMAGENATIVEXFER", Import::BoardInquire, Width, BytesPerPixel, TWRC_FAILURE,
     TWCC_OPERATIONERROR,
     {{Twain, NativeText + OperationErrorSentence}}, -1},
    {"DAT_IMAGENATIVEXFER", Import::GlobalAlloc, 1, Every, TWRC_FAILURE, TWCC_LOWMEMORY,
     {{Twain, NativeText + LowMemorySentence}}, -1},
    {"DAT_IMAGENATIVEXFER", Import::GlobalLock, 2, 2, TWRC_FAILURE, TWCC_LOWMEMORY,
     {{Quorvex, "Unable to lock global memory in EnableDS"}, {Twain, NativeText + LowMemorySentence}},
     -1},
    {"DAT_IMAGENATIVEXFER", Import::GlobalLock, 3, 3, TWRC_FAILURE, TWCC_OPERATIONERROR,
     {{Quorvex, "Unable to lock global memory in ImageNativeXfeMsg"},
      {Twain, NativeText + OperationErrorSentence}},
     -1},
    // The application's block that cannot be locked.
    {"DAT_IMAGEMEMXFER", Import::GlobalLock, 1, 1, TWRC_FAILURE, TWCC_BADVALUE,
     {{Twain, Memory + BadValueSentence}}, -1},
    {"DAT_IMAGEMEMXFER", Import::BoardInquire, Width, BytesPerPixel, TWRC_FAILURE,
     TWCC_OPERATIONERROR,
     {{Twain, Memory + OperationErrorSentence}}, -1},
    // The preview thread's record, the module it holds, the thread, the
    // 12-bit frame's conversion buffer: no preview, and no box.
    {"Preview", Import::Malloc, 1, 2, TWRC_FAILURE, TWCC_SUCCESS, {}, -1},
    {"Preview", Import::GetModuleHandleEx, 1, 1, TWRC_FAILURE, TWCC_SUCCESS, {}, -1},
    {"Preview", Import::BeginThread, 1, 1, TWRC_FAILURE, TWCC_SUCCESS, {}, -1},
    // No frame to read: the run ends before its first frame.
    {"Preview", Import::BoardInquire, Width, LineBytes, TWRC_FAILURE, TWCC_SUCCESS, {}, -1},
    // No memory for the transfer's lines, or for the thread's record: no
    // preview, and the transfer goes on from the host buffer.
    {"Preview during a memory transfer", Import::Malloc, 1, 2, TWRC_FAILURE, TWCC_SUCCESS, {}, -1},
    {"Preview during a memory transfer", Import::GetModuleHandleEx, 1, 1, TWRC_FAILURE, TWCC_SUCCESS, {}, -1},
    {"Preview during a memory transfer", Import::BeginThread, 1, 1, TWRC_FAILURE, TWCC_SUCCESS, {}, -1},
    {"Preview during a memory transfer", Import::BoardInquire, Width, LineBytes, TWRC_FAILURE, TWCC_SUCCESS, {}, -1},
    {"DAT_IMAGEFILEXFER", Import::BoardInquire, Width, LineBytes, TWRC_FAILURE,
     TWCC_OPERATIONERROR, {{Twain, File + OperationErrorSentence}}, -1},
    // The compact copy of the padded lines.
    {"DAT_IMAGEFILEXFER", Import::Malloc, 1, 1, TWRC_FAILURE, TWCC_LOWMEMORY,
     {{Twain, File + LowMemorySentence}}, -1},
};

std::string Describe(const Triplet &triplet, Import import, unsigned first, unsigned count) {
    if (first == 0) return std::string(triplet.name) + ", no call failing";
    return std::string(triplet.name) + ", " + ImportName(import) + " call " +
           std::to_string(first) + (count == Every ? " on" : "");
}

// What a source may leave behind by mistake.
struct Held {
    DWORD handles;
    int threads;
    size_t windows;
    SIZE_T committed;
};

// Open handles, found by value up to a long run of values that name none:
// not every system counts them for the process (GetProcessHandleCount gives
// 0 under Wine).
DWORD OpenHandles() {
    constexpr ULONG_PTR Run = 4 * 1024;
    DWORD open = 0, flags;
    for (ULONG_PTR value = 4, last = 0; value < last + Run; value += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open, last = value;
    return open;
}

Held HeldNow() {
    return {OpenHandles(), ThreadCount(), ProcessWindows().size(), CommittedPrivateBytes()};
}

struct Seen {
    Outcome outcome;
    std::vector<Box> boxes;
    size_t notifications;
};

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(BoxHookStart()); }

    // Runs the triplet on a freshly loaded source with calls [first, first +
    // count) of import failing (count 0: all from first on; first 0: none).
    Seen Run(const Triplet &triplet, Import import, unsigned first, unsigned count) {
        SCOPED_TRACE(Describe(triplet, import, first, count));
        ConfigureBoard(triplet.board);
        LoadedSource source;
        EXPECT_TRUE(PatchImports(source.module));
        Held before = HeldNow();
        if (triplet.reach) triplet.reach(source, app.hwnd);
        ClearBoxes();
        ClearNotifications();
        FailCalls(import, first, count);
        Seen seen{triplet.act(source, app.hwnd), Boxes(), Notifications().size()};
        calls = Calls(import);
        FailNothing();
        if (triplet.after) triplet.after(source, seen.outcome);
        // Failed, it may be asked again; and whatever it did, it closes.
        if (seen.outcome.rc == TWRC_FAILURE) {
            EXPECT_NE(triplet.act(source, app.hwnd).rc, TWRC_FAILURE) << "not usable after it";
        }
        Leave(source);
        Held after = HeldNow();
        if (warmingUp) return seen;
        EXPECT_EQ(after.handles, before.handles) << "handles left";
        EXPECT_EQ(after.threads, before.threads) << "threads left";
        EXPECT_EQ(after.windows, before.windows) << "windows left";
        EXPECT_LT(after.committed, before.committed + MemoryNoise) << "memory left";
        ClearBoxes();
        return seen;
    }

    AppWindow app;
    unsigned calls = 0;
    // The first run of a triplet brings in what the process keeps once used.
    bool warmingUp = false;
};

}  // namespace

TEST_F(FaultTest, EachFailingCallGivesItsResultAndLeavesNothing) {
    for (const Triplet &triplet : Triplets) {
        warmingUp = true;
        Run(triplet, Import::GlobalAlloc, 0, 0);
        warmingUp = false;
        Seen clean = Run(triplet, Import::GlobalAlloc, 0, 0);
        ASSERT_TRUE(clean.boxes.empty()) << triplet.name;
        for (int i = 0; i < int(Import::Count); ++i) {
            auto import = static_cast<Import>(i);
            Run(triplet, import, 0, 0);
            unsigned made = calls;
            auto check = [&](unsigned first, unsigned count, const Fault *fault) {
                SCOPED_TRACE(Describe(triplet, import, first, count));
                Seen seen = Run(triplet, import, first, count);
                Outcome expected = fault ? Outcome{fault->rc, fault->cc} : clean.outcome;
                EXPECT_EQ(seen.outcome.rc, expected.rc);
                EXPECT_EQ(seen.outcome.cc, expected.cc);
                size_t boxes = fault ? fault->boxes.size() : 0;
                ASSERT_EQ(seen.boxes.size(), boxes);
                for (size_t b = 0; b < boxes; ++b)
                    EXPECT_BOX(seen.boxes[b], fault->boxes[b].first, fault->boxes[b].second);
                int notes = fault && fault->notifications >= 0 ? fault->notifications
                                                               : int(clean.notifications);
                EXPECT_EQ(int(seen.notifications), notes);
            };
            for (unsigned k = 1; k <= made; ++k) {
                const Fault *listed = nullptr;
                for (const Fault &f : Faults)
                    if (triplet.name == std::string(f.triplet) && f.import == import &&
                        f.to != Every && f.from <= k && k <= f.to)
                        listed = &f;
                check(k, 1, listed);
            }
            for (const Fault &f : Faults)
                if (triplet.name == std::string(f.triplet) && f.import == import) {
                    EXPECT_LE(f.to, made) << Describe(triplet, import, f.from, 1) << ": never made";
                    if (f.to == Every) check(f.from, Every, &f);
                }
        }
    }
}
