#include "bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

template <class T> void Bind(T &proc, HMODULE module, const char *name) {
    proc = reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    if (!proc) {
        fprintf(stderr, "missing export %s\n", name);
        exit(2);
    }
}

}  // namespace

void Fail(const char *what) {
    fprintf(stderr, "%s\n", what);
    exit(1);
}

double Seconds() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

Timing Summarize(std::vector<double> samples) {
    if (samples.empty()) Fail("nothing timed");
    std::sort(samples.begin(), samples.end());
    return {samples.front(), samples[samples.size() / 2]};
}

std::vector<Case> BenchCases(int scale) {
    return {{640, 480, 8, 200 * scale},  {640, 480, 12, 200 * scale},  {640, 480, 32, 200 * scale},
            {2048, 2048, 8, 30 * scale}, {2048, 2048, 12, 30 * scale}, {2048, 2048, 32, 30 * scale}};
}

uint32_t BytesPerPixel(uint32_t depth) { return depth == 8 ? 1 : depth < 24 ? 2 : depth / 8; }

size_t ImageBytes(const Case &c) { return size_t(c.width) * c.height * BytesPerPixel(c.depth); }

BoardLibrary LoadBoardLibrary() {
    HMODULE kvd = LoadLibraryA("Kvd.dll");
    if (!kvd) Fail("Kvd.dll does not load");
    BoardLibrary kv{};
    Bind(kv.configure, kvd, "KvSimConfigure");
    Bind(kv.find, kvd, "KvSysBrdFind");
    Bind(kv.open, kvd, "KvBrdOpen");
    Bind(kv.close, kvd, "KvBrdClose");
    Bind(kv.signalCreate, kvd, "KvSignalCreate");
    Bind(kv.signalWait, kvd, "KvSignalWait");
    Bind(kv.signalFree, kvd, "KvSignalFree");
    Bind(kv.setup, kvd, "KvAqSetup");
    Bind(kv.command, kvd, "KvAqCommand");
    Bind(kv.cleanUp, kvd, "KvAqCleanUp");
    return kv;
}

void ConfigureBoard(const BoardLibrary &kv, const Case &c) {
    char config[160];
    snprintf(config, sizeof config, "width = %u\nheight = %u\ndepth = %u\nframe_ms = 0\n", c.width,
             c.height, c.depth);
    if (kv.configure(config) != 0) Fail("board configuration refused");
}

Timing MeasureCapture(const BoardLibrary &kv, const Case &c) {
    KvBoardEntry entry{};
    KvBoard board = nullptr;
    if (kv.find(0x20, 0, &entry) != 0 || kv.open(&entry, &board, 1) != 0) Fail("no board");
    std::vector<uint8_t> buffer(ImageBytes(c));
    uint32_t lineBytes = c.width * BytesPerPixel(c.depth);
    if (kv.setup(board, buffer.data(), uint32_t(buffer.size()), lineBytes, 3, 4, 0, 0, 1, 1, 0) != 0)
        Fail("acquisition set-up failed");
    KvSignal frame{};
    kv.signalCreate(board, KV_SIGNAL_FRAME, &frame);
    std::vector<double> times;
    for (int i = 0; i < c.repetitions; ++i) {
        uint32_t detail = 0;
        double start = Seconds();
        kv.command(board, KV_COMMAND_SNAP, KV_MODE_SNAP_START, 0, 0);
        uint32_t result = kv.signalWait(board, &frame, 5000, &detail);
        times.push_back(Seconds() - start);
        if (result != KV_WAIT_OK) Fail("frame wait failed");
    }
    kv.signalFree(board, &frame);
    kv.cleanUp(board, 0);
    kv.close(board);
    return Summarize(times);
}

Timing MeasureMemcpy(size_t bytes, int repetitions) {
    std::vector<uint8_t> from(bytes, 1), to(bytes, 2);
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        from[i % bytes] = uint8_t(i);
        double start = Seconds();
        memcpy(to.data(), from.data(), bytes);
        times.push_back(Seconds() - start);
    }
    if (to[0] == 0xEE) puts("");  // keeps the copies observable
    return Summarize(times);
}

void Record(const char *kind, const Case &c, double measured, double baseline, double floor) {
    if (c.width == 2048 && c.height == 2048)
        printf("@ %s %u %.4e %.4e %.4e\n", kind, c.depth, measured, baseline, floor);
}

TW_UINT16 MemoryTransfer(qx::LoadedSource &source, std::vector<uint8_t> &buffer) {
    TW_IMAGEMEMXFER strip{};
    TW_UINT16 result;
    do {
        strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, TW_UINT32(buffer.size()), buffer.data()};
        result = source.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
    } while (result == TWRC_SUCCESS);
    return result;
}

void EndTransfer(qx::LoadedSource &source) {
    if (qx::PendingXfers(source, MSG_ENDXFER) != TWRC_SUCCESS) Fail("MSG_ENDXFER failed");
}
