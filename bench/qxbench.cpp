// Transfer throughput of QXTwain.ds on the simulated board, and the source's
// own cost per transfer compared with one memcpy of the image.
//
// Method. Every native case runs four measurements in the same process, one
// after the other, on the same board configuration (frame_ms = 0, no log):
//   capture  - the board alone (see MeasureCapture): the work a transfer's
//              snap waits for.
//   transfer - DS_Entry(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET) on the opened
//              and enabled source (no user interface); MSG_ENDXFER and the
//              application's GlobalFree are outside the timed span.
//   memcpy   - one memcpy of the image size between two buffers already in use.
//   fresh    - GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT) of the bitmap's block
//              size, lock, memcpy of the bitmap's pixel bytes into it, unlock;
//              GlobalFree untimed, as for the transfer. The least any native
//              transfer must spend: the application frees every bitmap, so each
//              one is fresh memory whose pages are mapped on first touch.
// The source's own time per transfer is transfer - capture: inquiries,
// allocation of the bitmap, row reversal and conversion. Printed: that time
// over memcpy (the target ratio) and over fresh (what the source adds to the
// unavoidable). Memory and file cases follow (memfile_bench.cpp).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "board_bench.h"
#include "cycle_bench.h"
#include "memfile_bench.h"
#include "parse_number.h"

namespace {

// Native transfers through DS_Entry, as an application makes them.
Timing MeasureNativeTransfer(const Case &c) {
    qx::ReadySource source;
    std::vector<double> times;
    for (int i = 0; i < c.repetitions; ++i) {
        TW_HANDLE bitmap = nullptr;
        double start = Seconds();
        TW_UINT16 result = source.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &bitmap);
        times.push_back(Seconds() - start);
        if (result != TWRC_XFERDONE) Fail("native transfer failed");
        EndTransfer(source);
        GlobalFree(bitmap);
    }
    return Summarize(times);
}

// The bitmap's block: header (and grey palette below 24 bits) then the image size.
size_t BitmapBlockBytes(const Case &c) { return ImageBytes(c) + (c.depth < 24 ? 1064 : 40); }

// Pixel bytes the bitmap carries: 8-bit grey for deep grey, 3 bytes for 32-bit.
size_t BitmapPixelBytes(const Case &c) {
    size_t pixels = size_t(c.width) * c.height;
    return c.depth == 32 ? pixels * 3 : c.depth < 24 ? pixels : ImageBytes(c);
}

Timing MeasureFreshBlock(const Case &c) {
    const size_t blockBytes = BitmapBlockBytes(c), pixelBytes = BitmapPixelBytes(c);
    const size_t offset = blockBytes - ImageBytes(c);
    std::vector<uint8_t> from(pixelBytes, 1);
    std::vector<double> times;
    for (int i = 0; i < c.repetitions; ++i) {
        double start = Seconds();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, blockBytes);
        uint8_t *data = block ? static_cast<uint8_t *>(GlobalLock(block)) : nullptr;
        if (!data) Fail("no global memory");
        memcpy(data + offset, from.data(), pixelBytes);
        GlobalUnlock(block);
        times.push_back(Seconds() - start);
        GlobalFree(block);
    }
    return Summarize(times);
}

struct NativeResult {
    Case c;
    Timing capture, transfer, copy, fresh;
    double own() const { return std::max(0.0, transfer.fastest - capture.fastest); }
    double overMemcpy() const { return own() / copy.fastest; }
    double overFresh() const { return own() / fresh.fastest; }
    double perSecond() const { return 1.0 / transfer.median; }
};

void RunNativeBench(const BoardLibrary &kv, int scale) {
    std::vector<NativeResult> results;
    printf("native transfers, simulated board with frame_ms = 0\n");
    for (const Case &c : BenchCases(scale)) {
        ConfigureBoard(kv, c);
        NativeResult r{c, MeasureCapture(kv, c), MeasureNativeTransfer(c),
                       MeasureMemcpy(ImageBytes(c), c.repetitions), MeasureFreshBlock(c)};
        printf("%4ux%-4u %2u-bit: %7.1f transfers/s; source %.3f ms per transfer = %.2f x memcpy "
               "of %zu bytes (%.3f ms) = %.2f x fresh-block floor (%.3f ms); capture %.3f ms\n",
               c.width, c.height, c.depth, r.perSecond(), r.own() * 1e3, r.overMemcpy(),
               ImageBytes(c), r.copy.fastest * 1e3, r.overFresh(), r.fresh.fastest * 1e3,
               r.capture.fastest * 1e3);
        Record("native", c, r.own(), r.copy.fastest, r.fresh.fastest);
        fflush(stdout);
        results.push_back(r);
    }
    printf("\n| frame | depth | transfers/s | capture ms | transfer ms | source ms | memcpy ms | "
           "fresh-block ms | source/memcpy | source/fresh-block |\n"
           "|---|---|---|---|---|---|---|---|---|---|\n");
    for (const NativeResult &r : results)
        printf("| %ux%u | %u | %.1f | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f | %.2f |\n",
               r.c.width, r.c.height, r.c.depth, r.perSecond(), r.capture.fastest * 1e3,
               r.transfer.fastest * 1e3, r.own() * 1e3, r.copy.fastest * 1e3,
               r.fresh.fastest * 1e3, r.overMemcpy(), r.overFresh());
}

}  // namespace

int main(int argc, char **argv) {
    // "alone STRIPS": the source's memory transfer of the configured frame alone.
    uint32_t strips = 0;
    if (argc == 3 && strcmp(argv[1], "alone") == 0) {
        if (!ParseNumber(argv[2], &strips) || strips == 0) Fail("usage: qxbench alone STRIPS");
        RunMemoryTransferAlone(strips);
        return 0;
    }
    // "board" alone measures only the simulated board, "cycle" only the
    // cycle and stream figures.
    bool boardOnly = argc > 1 && strcmp(argv[1], "board") == 0;
    bool cycleOnly = argc > 1 && strcmp(argv[1], "cycle") == 0;
    bool named = boardOnly || cycleOnly;
    uint32_t given = 0;
    const bool scaled = argc > 1 + named && ParseNumber(argv[1 + named], &given) && given >= 1 && given <= 1000;
    const int scale = scaled ? int(given) : 1;
    BoardLibrary kv = LoadBoardLibrary();
    if (!cycleOnly) RunBoardBench(kv, scale);
    if (boardOnly) return 0;
    if (!cycleOnly) {
        RunNativeBench(kv, scale);
        RunMemoryAndFileBench(kv, scale);
    }
    RunCycleBench(kv, scale);
    return 0;
}
