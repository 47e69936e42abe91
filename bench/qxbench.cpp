// Native-transfer throughput of QXTwain.ds on the simulated board, and the
// source's own cost per transfer compared with one memcpy of the image.
//
// Method. Every case runs four measurements in the same process, one after
// the other, on the same board configuration (frame_ms = 0, no log):
//   capture  - the board alone: the benchmark opens a board of its own through
//              Kvd.dll, sets acquisition up into a buffer of the image size and
//              times KvAqCommand(2, 2) + KvSignalWait, i.e. exactly the board
//              work a transfer's snap waits for (the simulator writes the frame
//              on its own thread and raises the signal).
//   transfer - DS_Entry(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET) on the opened
//              and enabled source (no user interface); MSG_ENDXFER and the
//              application's GlobalFree are outside the timed span.
//   memcpy   - one memcpy of the image size between two buffers already in use.
//   fresh    - GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT) of the bitmap's size,
//              lock, memcpy of the image into it, unlock (GlobalFree untimed):
//              the least any native transfer that hands over a new block must
//              spend, since a large block is fresh memory whose pages are
//              mapped on first touch.
// Costs are the fastest repetition of each (the run least disturbed by other
// work on the machine); transfers/s uses the median transfer. The source's own
// time per transfer is transfer - capture: inquiries, allocation of the bitmap,
// row reversal and conversion. Printed: that time over memcpy (the target
// ratio) and over fresh (what the source adds to the unavoidable).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "board/board_types.h"
#include "ds/twain.h"
#include "memfile_bench.h"

namespace {

// Kvd.dll, as the board maker's documentation declares it.
typedef int (*KvSimConfigureProc)(const char *);
typedef uint32_t (*KvSysBrdFindProc)(uint32_t, uint32_t, KvBoardEntry *);
typedef uint32_t (*KvBrdOpenProc)(KvBoardEntry *, KvBoard *, uint32_t);
typedef uint32_t (*KvBrdCloseProc)(KvBoard);
typedef uint32_t (*KvSignalCreateProc)(KvBoard, uint32_t, KvSignal *);
typedef uint32_t (*KvSignalWaitProc)(KvBoard, KvSignal *, uint32_t, uint32_t *);
typedef uint32_t (*KvSignalFreeProc)(KvBoard, KvSignal *);
typedef uint32_t (*KvAqSetupProc)(KvBoard, void *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                  uint8_t, uint32_t, uint32_t, uint32_t);
typedef uint32_t (*KvAqCommandProc)(KvBoard, uint32_t, uint32_t, uint32_t, uint32_t);
typedef uint32_t (*KvAqCleanUpProc)(KvBoard, uint32_t);

struct BoardLibrary {
    KvSimConfigureProc configure;
    KvSysBrdFindProc find;
    KvBrdOpenProc open;
    KvBrdCloseProc close;
    KvSignalCreateProc signalCreate;
    KvSignalWaitProc signalWait;
    KvSignalFreeProc signalFree;
    KvAqSetupProc setup;
    KvAqCommandProc command;
    KvAqCleanUpProc cleanUp;
};

template <class T> T Export(HMODULE module, const char *name) {
    T proc = reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    if (!proc) {
        fprintf(stderr, "missing export %s\n", name);
        exit(2);
    }
    return proc;
}

BoardLibrary LoadBoardLibrary() {
    HMODULE kvd = LoadLibraryA("Kvd.dll");
    if (!kvd) {
        fprintf(stderr, "Kvd.dll does not load\n");
        exit(2);
    }
    return {Export<KvSimConfigureProc>(kvd, "KvSimConfigure"),
            Export<KvSysBrdFindProc>(kvd, "KvSysBrdFind"),
            Export<KvBrdOpenProc>(kvd, "KvBrdOpen"),
            Export<KvBrdCloseProc>(kvd, "KvBrdClose"),
            Export<KvSignalCreateProc>(kvd, "KvSignalCreate"),
            Export<KvSignalWaitProc>(kvd, "KvSignalWait"),
            Export<KvSignalFreeProc>(kvd, "KvSignalFree"),
            Export<KvAqSetupProc>(kvd, "KvAqSetup"),
            Export<KvAqCommandProc>(kvd, "KvAqCommand"),
            Export<KvAqCleanUpProc>(kvd, "KvAqCleanUp")};
}

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

struct Timing {
    double fastest, median;
};

Timing Summarize(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return {samples.front(), samples[samples.size() / 2]};
}

double Median(std::vector<double> samples) { return Summarize(std::move(samples)).median; }

void Fail(const char *what) {
    fprintf(stderr, "%s\n", what);
    exit(1);
}

struct Case {
    uint32_t width, height, depth;
    int repetitions;
};

uint32_t BytesPerPixel(uint32_t depth) { return depth == 8 ? 1 : depth < 24 ? 2 : depth / 8; }

// The board alone: start a frame and wait for it.
Timing MeasureCapture(const BoardLibrary &kv, const Case &c, size_t imageBytes) {
    KvBoardEntry entry{};
    KvBoard board = nullptr;
    if (kv.find(0x20, 0, &entry) != 0 || kv.open(&entry, &board, 1) != 0) Fail("no board");
    std::vector<uint8_t> buffer(imageBytes);
    uint32_t lineBytes = c.width * BytesPerPixel(c.depth);
    if (kv.setup(board, buffer.data(), uint32_t(imageBytes), lineBytes, 3, 4, 0, 0, 1, 1, 0) != 0)
        Fail("acquisition set-up failed");
    KvSignal frame{};
    kv.signalCreate(board, 4, &frame);
    std::vector<double> times;
    for (int i = 0; i < c.repetitions; ++i) {
        uint32_t detail = 0;
        double start = Seconds();
        kv.command(board, 2, 2, 0, 0);
        uint32_t result = kv.signalWait(board, &frame, 5000, &detail);
        times.push_back(Seconds() - start);
        if (result != 0) Fail("frame wait failed");
    }
    kv.signalFree(board, &frame);
    kv.cleanUp(board, 0);
    kv.close(board);
    return Summarize(times);
}

TW_IDENTITY Identity(TW_UINT32 id, const char *product) {
    TW_IDENTITY identity{};
    identity.Id = id;
    identity.Version.MajorNum = 1;
    identity.ProtocolMajor = 1;
    identity.ProtocolMinor = 6;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    strcpy(identity.Manufacturer, "QXTwain benchmark");
    strcpy(identity.ProductFamily, "Benchmark");
    strcpy(identity.ProductName, product);
    return identity;
}

// Native transfers through DS_Entry, as an application makes them.
Timing MeasureTransfer(const Case &c) {
    HMODULE module = LoadLibraryA("QXTwain.ds");
    if (!module) Fail("QXTwain.ds does not load");
    auto entry = Export<DSENTRYPROC>(module, "DS_Entry");
    TW_IDENTITY app = Identity(1, "qxbench");
    TW_IDENTITY opened = Identity(2, "Quorvex Camera Interface");
    if (entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &opened) != TWRC_SUCCESS)
        Fail("MSG_OPENDS failed");
    TW_USERINTERFACE ui{0, 0, nullptr};
    if (entry(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS)
        Fail("MSG_ENABLEDS failed");
    std::vector<double> times;
    for (int i = 0; i < c.repetitions; ++i) {
        TW_HANDLE bitmap = nullptr;
        double start = Seconds();
        TW_UINT16 result = entry(&app, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &bitmap);
        times.push_back(Seconds() - start);
        if (result != TWRC_XFERDONE) Fail("native transfer failed");
        TW_PENDINGXFERS pending{};
        entry(&app, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        GlobalFree(bitmap);
    }
    entry(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);
    FreeLibrary(module);
    return Summarize(times);
}

Timing MeasureMemcpy(size_t imageBytes, int repetitions) {
    std::vector<uint8_t> from(imageBytes, 1), to(imageBytes, 2);
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        from[i % imageBytes] = uint8_t(i);
        double start = Seconds();
        memcpy(to.data(), from.data(), imageBytes);
        times.push_back(Seconds() - start);
    }
    if (to[0] == 0xEE) puts("");  // keeps the copies observable
    return Summarize(times);
}

// Header and palette as a grey bitmap has them; a colour one has 1024 bytes less.
constexpr size_t BITMAP_HEADERS = 1064;

Timing MeasureFreshBlock(size_t imageBytes, int repetitions) {
    std::vector<uint8_t> from(imageBytes, 1);
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        double start = Seconds();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, imageBytes + BITMAP_HEADERS);
        uint8_t *data = block ? static_cast<uint8_t *>(GlobalLock(block)) : nullptr;
        if (!data) Fail("no global memory");
        memcpy(data + BITMAP_HEADERS, from.data(), imageBytes);
        GlobalUnlock(block);
        times.push_back(Seconds() - start);
        GlobalFree(block);
    }
    return Summarize(times);
}

struct Result {
    Case c;
    Timing capture, transfer, copy, fresh;
    double own() const { return std::max(0.0, transfer.fastest - capture.fastest); }
    double ratio() const { return own() / copy.fastest; }
    double overFresh() const { return own() / fresh.fastest; }
    double perSecond() const { return 1.0 / transfer.median; }
};

}  // namespace

int main(int argc, char **argv) {
    int scale = argc > 1 ? std::max(1, atoi(argv[1])) : 1;
    BoardLibrary kv = LoadBoardLibrary();
    const Case cases[] = {
        {640, 480, 8, 200 * scale},   {640, 480, 12, 200 * scale},  {640, 480, 32, 200 * scale},
        {2048, 2048, 8, 30 * scale},  {2048, 2048, 12, 30 * scale}, {2048, 2048, 32, 30 * scale},
    };
    std::vector<Result> results;
    printf("native transfers, simulated board with frame_ms = 0\n");
    for (const Case &c : cases) {
        char config[160];
        snprintf(config, sizeof config, "width = %u\nheight = %u\ndepth = %u\nframe_ms = 0\n",
                 c.width, c.height, c.depth);
        if (kv.configure(config) != 0) Fail("board configuration refused");
        size_t imageBytes = size_t(c.width) * c.height * BytesPerPixel(c.depth);
        Result r{c, {}, {}, {}, {}};
        r.capture = MeasureCapture(kv, c, imageBytes);
        r.transfer = MeasureTransfer(c);
        r.copy = MeasureMemcpy(imageBytes, c.repetitions);
        r.fresh = MeasureFreshBlock(imageBytes, c.repetitions);
        printf("%4ux%-4u %2u-bit: %7.1f transfers/s; source %.3f ms per transfer = %.2f x memcpy of "
               "%zu bytes (%.3f ms), %.2f x fresh block (%.3f ms); capture %.3f ms\n",
               c.width, c.height, c.depth, r.perSecond(), r.own() * 1e3, r.ratio(), imageBytes,
               r.copy.fastest * 1e3, r.overFresh(), r.fresh.fastest * 1e3,
               r.capture.fastest * 1e3);
        fflush(stdout);
        results.push_back(r);
    }
    printf("\n| frame | depth | transfers/s | capture ms | transfer ms | source ms | memcpy ms | "
           "fresh ms | source/memcpy | source/fresh |\n|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Result &r : results)
        printf("| %ux%u | %u | %.1f | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f | %.2f |\n",
               r.c.width, r.c.height, r.c.depth, r.perSecond(), r.capture.fastest * 1e3,
               r.transfer.fastest * 1e3, r.own() * 1e3, r.copy.fastest * 1e3,
               r.fresh.fastest * 1e3, r.ratio(), r.overFresh());

    RunMemoryAndFileBench(
        {[&](const std::string &config) {
             if (kv.configure(config.c_str()) != 0) Fail("board configuration refused");
         },
         [&](uint32_t width, uint32_t height, uint32_t depth, int repetitions) {
             Case c{width, height, depth, repetitions};
             return MeasureCapture(kv, c, size_t(width) * height * BytesPerPixel(depth)).median;
         },
         [](size_t bytes, int repetitions) { return MeasureMemcpy(bytes, repetitions).median; },
         Seconds, Median},
        scale);
    return 0;
}
