// Memory transfers (the Preferred buffer: one call; MinBufSize buffers: one
// call a line) and file transfers through DS_Entry, each compared, like the
// native cases, with one memcpy of the image: the source's own time is the
// transfer's time less the board's capture time, over the memcpy time.
// The application's buffers are allocated once and reused, as the memcpy's are.
#include "memfile_bench.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ds/twain.h"

namespace {

[[noreturn]] void Fail(const char *what) {
    fprintf(stderr, "%s\n", what);
    exit(1);
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

// QXTwain.ds loaded, opened and enabled without a user interface (state 600).
struct ReadySource {
    ReadySource() : app(Identity(1, "qxbench")), opened(Identity(2, "Quorvex Camera Interface")) {
        module = LoadLibraryA("QXTwain.ds");
        if (!module) Fail("QXTwain.ds does not load");
        entry = reinterpret_cast<DSENTRYPROC>(
            reinterpret_cast<void *>(GetProcAddress(module, "DS_Entry")));
        if (!entry) Fail("QXTwain.ds has no DS_Entry");
        if (Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &opened) != TWRC_SUCCESS)
            Fail("MSG_OPENDS failed");
        if (Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS)
            Fail("MSG_ENABLEDS failed");
    }
    ~ReadySource() {
        Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);
        FreeLibrary(module);
    }
    ReadySource(const ReadySource &) = delete;
    ReadySource &operator=(const ReadySource &) = delete;

    TW_UINT16 Call(TW_UINT32 group, TW_UINT16 dataType, TW_UINT16 message, void *data) {
        return entry(&app, group, dataType, message, data);
    }
    void EndTransfer() {
        TW_PENDINGXFERS pending{};
        if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS)
            Fail("MSG_ENDXFER failed");
    }

    HMODULE module = nullptr;
    DSENTRYPROC entry = nullptr;
    TW_IDENTITY app, opened;
    TW_USERINTERFACE ui{0, 0, nullptr};
};

enum class Kind { MemoryPreferred, MemoryMinimum, File };

const char *KindName(Kind kind) {
    switch (kind) {
    case Kind::MemoryPreferred: return "memory, Preferred buffer";
    case Kind::MemoryMinimum: return "memory, MinBufSize strips";
    default: return "file (BMP)";
    }
}

// One whole transfer of the given kind, timed from its first call to its last.
double TimeTransfer(const BenchTools &tools, ReadySource &source, Kind kind,
                    std::vector<uint8_t> &buffer) {
    double start = tools.seconds();
    if (kind == Kind::File) {
        if (source.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr) != TWRC_XFERDONE)
            Fail("file transfer failed");
    } else {
        TW_IMAGEMEMXFER strip{};
        TW_UINT16 result;
        do {
            strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, TW_UINT32(buffer.size()), buffer.data()};
            result = source.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
        } while (result == TWRC_SUCCESS);
        if (result != TWRC_XFERDONE) Fail("memory transfer failed");
    }
    double elapsed = tools.seconds() - start;
    source.EndTransfer();
    return elapsed;
}

double MeasureTransfers(const BenchTools &tools, Kind kind, int repetitions,
                        const std::string &fileName) {
    ReadySource source;
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
    TimeTransfer(tools, source, kind, buffer);  // first touch of the pages
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) times.push_back(TimeTransfer(tools, source, kind, buffer));
    return tools.median(times);
}

struct Case {
    uint32_t width, height, depth;
    int repetitions;
};

struct Result {
    Case c;
    Kind kind;
    double capture, transfer, copy;
    double own() const { return std::max(0.0, transfer - capture); }
    double ratio() const { return own() / copy; }
};

size_t ImageBytes(const Case &c) {
    uint32_t bytes = c.depth == 8 ? 1 : c.depth < 24 ? 2 : c.depth / 8;
    return size_t(c.width) * c.height * bytes;
}

std::string BenchFileName() {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    char name[64];
    snprintf(name, sizeof name, "qxbench-%lu.bmp", GetCurrentProcessId());
    return std::string(folder) + name;
}

}  // namespace

void RunMemoryAndFileBench(const BenchTools &tools, int scale) {
    const Case cases[] = {
        {640, 480, 8, 200 * scale},  {640, 480, 12, 200 * scale},  {640, 480, 32, 200 * scale},
        {2048, 2048, 8, 30 * scale}, {2048, 2048, 12, 30 * scale}, {2048, 2048, 32, 30 * scale},
    };
    const std::string fileName = BenchFileName();
    std::vector<Result> results;
    printf("\nmemory and file transfers, simulated board with frame_ms = 0\n");
    for (const Case &c : cases) {
        char config[160];
        snprintf(config, sizeof config, "width = %u\nheight = %u\ndepth = %u\nframe_ms = 0\n",
                 c.width, c.height, c.depth);
        tools.configure(config);
        double capture = tools.capture(c.width, c.height, c.depth, c.repetitions);
        double copy = tools.copy(ImageBytes(c), c.repetitions);
        for (Kind kind : {Kind::MemoryPreferred, Kind::MemoryMinimum, Kind::File}) {
            // Files go to disk: fewer of them.
            int repetitions = kind == Kind::File ? std::max(5, c.repetitions / 5) : c.repetitions;
            Result r{c, kind, capture, MeasureTransfers(tools, kind, repetitions, fileName), copy};
            printf("%4ux%-4u %2u-bit %-26s: %7.1f transfers/s, source %.3f ms = %.2f x memcpy of "
                   "%zu bytes (%.3f ms); capture %.3f ms\n",
                   c.width, c.height, c.depth, KindName(kind), 1.0 / r.transfer, r.own() * 1e3,
                   r.ratio(), ImageBytes(c), r.copy * 1e3, r.capture * 1e3);
            fflush(stdout);
            results.push_back(r);
        }
    }
    DeleteFileA(fileName.c_str());
    printf("\n| transfer | frame | depth | transfers/s | capture ms | transfer ms | source ms | "
           "memcpy ms | source/memcpy |\n|---|---|---|---|---|---|---|---|---|\n");
    for (const Result &r : results)
        printf("| %s | %ux%u | %u | %.1f | %.3f | %.3f | %.3f | %.3f | %.2f |\n", KindName(r.kind),
               r.c.width, r.c.height, r.c.depth, 1.0 / r.transfer, r.capture * 1e3,
               r.transfer * 1e3, r.own() * 1e3, r.copy * 1e3, r.ratio());
}
