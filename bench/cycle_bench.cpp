// The cycle an application that follows TWAIN makes for every frame (the
// source reports no further pending transfer after each), timed per phase
// straight on DS_Entry:
//   MSG_ENABLEDS without the dialog -> DAT_IMAGEINFO -> one transfer
//   -> MSG_ENDXFER -> MSG_DISABLEDS.
// Cycle figure: with the board's frame_ms = 0 only software counts; the median
// of each phase over the cycles, and the source's cost of the cycle besides
// the transfer call (enable + info + end + disable).
// Stream figure: the same cycles back to back at the board's real frame time,
// frames per second over the board's own rate (one frame per frame_ms).
// The process holds the Source Manager's library loaded, as every application
// that talks to a source through it does; the source's notification then
// finds it loaded.
#include "cycle_bench.h"

#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t BoardFrameMs = 33;

enum Phase { Enable, Info, Transfer, End, Disable, PhaseCount };

struct CycleCase {
    uint32_t width, height, depth;
    int cycles, streamFrames;
};

constexpr CycleCase CycleCases[] = {
    {640, 480, 8, 60, 60}, {2048, 2048, 12, 30, 30}, {2048, 2048, 32, 30, 30}};

enum class Mechanism { Native, Memory };

const char *MechanismName(Mechanism m) { return m == Mechanism::Native ? "native" : "memory"; }

// The application's window, hidden, which every enable names as the owner of
// the source's dialog, as applications do.
HWND g_applicationWindow = nullptr;

void Check(bool held, const char *what) {
    if (!held) Fail(what);
}

// One transfer by the mechanism; the application's buffer is allocated once
// and reused, a native bitmap is freed by the application after the call.
void TimedTransfer(qx::LoadedSource &source, Mechanism m, std::vector<uint8_t> &buffer,
                   double *elapsed) {
    double start = Seconds();
    if (m == Mechanism::Native) {
        TW_HANDLE bitmap = nullptr;
        Check(source.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &bitmap) == TWRC_XFERDONE,
              "native transfer failed");
        *elapsed = Seconds() - start;
        GlobalFree(bitmap);
        return;
    }
    TW_UINT16 result = MemoryTransfer(source, buffer);
    *elapsed = Seconds() - start;
    Check(result == TWRC_XFERDONE, "memory transfer failed");
}

// One whole cycle from state 400 back to 400; each phase's time in phases.
void Cycle(qx::LoadedSource &source, Mechanism m, std::vector<uint8_t> &buffer,
           double (&phases)[PhaseCount]) {
    double start = Seconds();
    Check(source.Enable(false, g_applicationWindow) == TWRC_SUCCESS, "MSG_ENABLEDS failed");
    phases[Enable] = Seconds() - start;
    TW_IMAGEINFO info{};
    start = Seconds();
    Check(source.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) == TWRC_SUCCESS,
          "DAT_IMAGEINFO failed");
    phases[Info] = Seconds() - start;
    TimedTransfer(source, m, buffer, &phases[Transfer]);
    TW_UINT16 count = 1;
    start = Seconds();
    Check(qx::PendingXfers(source, MSG_ENDXFER, &count) == TWRC_SUCCESS, "MSG_ENDXFER failed");
    phases[End] = Seconds() - start;
    Check(count == 0, "MSG_ENDXFER reports more transfers");
    start = Seconds();
    Check(source.Disable() == TWRC_SUCCESS, "MSG_DISABLEDS failed");
    phases[Disable] = Seconds() - start;
}

void ConfigureCycleBoard(const BoardLibrary &kv, const CycleCase &c, uint32_t frameMs) {
    char config[160];
    snprintf(config, sizeof config, "width = %u\nheight = %u\ndepth = %u\nframe_ms = %u\n", c.width,
             c.height, c.depth, frameMs);
    Check(kv.configure(config) == 0, "board configuration refused");
}

// An opened source and the application's buffer of the frame's Preferred size.
struct OpenSource {
    qx::LoadedSource source;
    std::vector<uint8_t> buffer;
    OpenSource() {
        Check(source.Open() == TWRC_SUCCESS, "MSG_OPENDS failed");
        TW_SETUPMEMXFER sizes{};
        Check(source.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes) == TWRC_SUCCESS,
              "DAT_SETUPMEMXFER failed");
        buffer.assign(sizes.Preferred, 1);
    }
    ~OpenSource() { source.Close(); }
    OpenSource(const OpenSource &) = delete;
    OpenSource &operator=(const OpenSource &) = delete;
};

struct CycleResult {
    double phase[PhaseCount];  // medians, seconds
    double around() const { return phase[Enable] + phase[Info] + phase[End] + phase[Disable]; }
};

CycleResult MeasureCycles(const BoardLibrary &kv, const CycleCase &c, Mechanism m, int scale) {
    ConfigureCycleBoard(kv, c, 0);
    OpenSource open;
    double phases[PhaseCount];
    Cycle(open.source, m, open.buffer, phases);  // the process's first touch of everything
    std::vector<double> samples[PhaseCount];
    for (int i = 0; i < c.cycles * scale; ++i) {
        Cycle(open.source, m, open.buffer, phases);
        for (int p = 0; p < PhaseCount; ++p) samples[p].push_back(phases[p]);
    }
    CycleResult r{};
    for (int p = 0; p < PhaseCount; ++p) r.phase[p] = Summarize(samples[p]).median;
    return r;
}

// Frames per second of back-to-back cycles over the board's rate.
double MeasureStream(const BoardLibrary &kv, const CycleCase &c, Mechanism m) {
    ConfigureCycleBoard(kv, c, BoardFrameMs);
    OpenSource open;
    double phases[PhaseCount];
    Cycle(open.source, m, open.buffer, phases);
    double start = Seconds();
    for (int i = 0; i < c.streamFrames; ++i) Cycle(open.source, m, open.buffer, phases);
    double framesPerSecond = c.streamFrames / (Seconds() - start);
    return framesPerSecond * BoardFrameMs / 1000.0;
}

}  // namespace

void RunCycleBench(const BoardLibrary &kv, int scale) {
    HMODULE sourceManager = LoadLibraryA("TWAIN_32.DLL");
    printf("\ncycle: MSG_ENABLEDS (no dialog), DAT_IMAGEINFO, transfer, MSG_ENDXFER, "
           "MSG_DISABLEDS; medians in ms with frame_ms = 0; stream at frame_ms = %u over the "
           "board's rate\n",
           BoardFrameMs);
    printf("| frame | depth | transfer | enable | info | transfer call | end | disable | "
           "around the transfer | stream / board rate |\n|---|---|---|---|---|---|---|---|---|---|\n");
    g_applicationWindow = CreateWindowA("STATIC", "qxbench", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                        nullptr, nullptr, nullptr, nullptr);
    // Under Wine the first windows of a new process come slowly for a while:
    // a round of cycles first, not counted.
    MeasureCycles(kv, CycleCases[0], Mechanism::Memory, 1);
    for (const CycleCase &c : CycleCases) {
        for (Mechanism m : {Mechanism::Native, Mechanism::Memory}) {
            CycleResult r = MeasureCycles(kv, c, m, scale);
            double stream = MeasureStream(kv, c, m);
            printf("| %ux%u | %u | %s | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f |\n",
                   c.width, c.height, c.depth, MechanismName(m), r.phase[Enable] * 1e3,
                   r.phase[Info] * 1e3, r.phase[Transfer] * 1e3, r.phase[End] * 1e3,
                   r.phase[Disable] * 1e3, r.around() * 1e3, stream);
            printf("@ cycle %ux%u %u %s %.3f %.3f %.2f\n", c.width, c.height, c.depth,
                   MechanismName(m), r.around() * 1e3, r.phase[Transfer] * 1e3, stream);
            fflush(stdout);
        }
    }
    DestroyWindow(g_applicationWindow);
    if (sourceManager) FreeLibrary(sourceManager);
}
