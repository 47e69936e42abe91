// Memory transfers (the Preferred buffer: one call; MinBufSize buffers: one
// call a line) and file transfers through DS_Entry, each compared, like the
// native cases, with one memcpy of the image: the source's own time is the
// transfer's time less the board's capture time, over the memcpy time.
// The application's buffers are allocated once and reused, as the memcpy's are.
#include "memfile_bench.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

enum class Kind { MemoryPreferred, MemoryMinimum, File };

const char *KindName(Kind kind) {
    switch (kind) {
    case Kind::MemoryPreferred: return "memory, Preferred buffer";
    case Kind::MemoryMinimum: return "memory, MinBufSize strips";
    default: return "file (BMP)";
    }
}

// One whole transfer of the given kind, timed from its first call to its last.
double TimeTransfer(qx::ReadySource &source, Kind kind, std::vector<uint8_t> &buffer) {
    double start = Seconds();
    if (kind == Kind::File) {
        if (source.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr) != TWRC_XFERDONE)
            Fail("file transfer failed");
    } else if (MemoryTransfer(source, buffer) != TWRC_XFERDONE) {
        Fail("memory transfer failed");
    }
    double elapsed = Seconds() - start;
    EndTransfer(source);
    return elapsed;
}

Timing MeasureTransfers(Kind kind, int repetitions, const std::string &fileName) {
    qx::ReadySource source;
    TW_SETUPMEMXFER sizes{};
    if (source.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes) != TWRC_SUCCESS)
        Fail("DAT_SETUPMEMXFER failed");
    std::vector<uint8_t> buffer(kind == Kind::MemoryMinimum ? sizes.MinBufSize : sizes.Preferred, 1);
    if (kind == Kind::File) {
        TW_SETUPFILEXFER file{};
        lstrcpynA(file.FileName, fileName.c_str(), sizeof file.FileName);
        file.Format = TWFF_BMP;
        if (source.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &file) != TWRC_SUCCESS)
            Fail("DAT_SETUPFILEXFER failed");
    }
    TimeTransfer(source, kind, buffer);  // first touch of the pages
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) times.push_back(TimeTransfer(source, kind, buffer));
    return Summarize(times);
}

struct Result {
    Case c;
    Kind kind;
    Timing capture, transfer, copy;
    double own() const { return std::max(0.0, transfer.fastest - capture.fastest); }
    double ratio() const { return own() / copy.fastest; }
    double perSecond() const { return 1.0 / transfer.median; }
};

std::string BenchFileName() {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    char name[64];
    snprintf(name, sizeof name, "qxbench-%lu.bmp", GetCurrentProcessId());
    return std::string(folder) + name;
}

}  // namespace

void RunMemoryAndFileBench(const BoardLibrary &kv, int scale) {
    const std::string fileName = BenchFileName();
    std::vector<Result> results;
    printf("\nmemory and file transfers, simulated board with frame_ms = 0\n");
    for (const Case &c : BenchCases(scale)) {
        ConfigureBoard(kv, c);
        Timing capture = MeasureCapture(kv, c);
        Timing copy = MeasureMemcpy(ImageBytes(c), c.repetitions);
        for (Kind kind : {Kind::MemoryPreferred, Kind::MemoryMinimum, Kind::File}) {
            // Files go to disk: fewer of them.
            int repetitions = kind == Kind::File ? std::max(5, c.repetitions / 5) : c.repetitions;
            Result r{c, kind, capture, MeasureTransfers(kind, repetitions, fileName), copy};
            printf("%4ux%-4u %2u-bit %-26s: %7.1f transfers/s, source %.3f ms = %.2f x memcpy of "
                   "%zu bytes (%.3f ms); capture %.3f ms\n",
                   c.width, c.height, c.depth, KindName(kind), r.perSecond(), r.own() * 1e3,
                   r.ratio(), ImageBytes(c), r.copy.fastest * 1e3, r.capture.fastest * 1e3);
            if (kind == Kind::MemoryPreferred) Record("memory", c, r.own(), r.copy.fastest, 0);
            fflush(stdout);
            results.push_back(r);
        }
    }
    DeleteFileA(fileName.c_str());
    printf("\n| transfer | frame | depth | transfers/s | capture ms | transfer ms | source ms | "
           "memcpy ms | source/memcpy |\n|---|---|---|---|---|---|---|---|---|\n");
    for (const Result &r : results)
        printf("| %s | %ux%u | %u | %.1f | %.3f | %.3f | %.3f | %.3f | %.2f |\n", KindName(r.kind),
               r.c.width, r.c.height, r.c.depth, r.perSecond(), r.capture.fastest * 1e3,
               r.transfer.fastest * 1e3, r.own() * 1e3, r.copy.fastest * 1e3, r.ratio());
}

void RunMemoryTransferAlone(uint32_t strips) {
    qx::ReadySource source;
    TW_IMAGEINFO info{};
    TW_SETUPMEMXFER sizes{};
    if (source.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) != TWRC_SUCCESS ||
        source.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes) != TWRC_SUCCESS || !sizes.MinBufSize ||
        info.ImageLength <= 0)
        Fail("DAT_IMAGEINFO or DAT_SETUPMEMXFER failed");
    const uint64_t height = uint64_t(info.ImageLength);
    // The largest strips that still take `strips` calls, the last one short:
    // what a buffer of a fixed size gives.
    const uint64_t fewest = (height + strips - 1) / strips;
    const uint64_t lines = strips == 1 ? height : std::max(fewest, (height + strips - 2) / (strips - 1) - 1);
    std::vector<uint8_t> buffer(size_t(lines) * sizes.MinBufSize, 1);
    double start = Seconds();
    TW_UINT16 result = MemoryTransfer(source, buffer);
    double elapsed = Seconds() - start;
    if (result != TWRC_XFERDONE) Fail("memory transfer failed");
    EndTransfer(source);
    printf("memory transfer alone: %dx%d %u-bit in %u strips of %zu bytes: %.3f s\n", int(info.ImageWidth),
           int(info.ImageLength), unsigned(info.BitsPerPixel), unsigned((height + lines - 1) / lines), buffer.size(),
           elapsed);
    printf("@ memory-alone %.4f\n", elapsed);
}
