// The simulated board's own costs, each against its baseline in the same run:
//   capture - KvAqCommand(2, 2) + KvSignalWait of a ramp frame (frame_ms = 0)
//             over one memcpy of the image; target at most 2.
//   files   - QXIOWriteSingle of a BMP and a TIFF over writing the same number
//             of bytes with WriteFile to a temporary file in the same folder
//             and renaming it over the target (the same safety steps);
//             target at most 1.3.
// Fastest repetition of each, as everywhere in qxbench.
#include "board_bench.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using WriteSingleProc = decltype(&QXIOWriteSingle);

std::string TempFolder() {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return folder;
}

uint64_t FileBytes(const std::string &name) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) Fail("no file written");
    return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// The baseline: the file's bytes written whole from a buffer already in use.
double WriteAndRename(const std::string &target, const std::vector<uint8_t> &bytes) {
    double start = Seconds();
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(TempFolder().c_str(), "qxb", 0, temporary)) Fail("no temporary file");
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
        !CloseHandle(file) || !MoveFileExA(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING))
        Fail("baseline write failed");
    return Seconds() - start;
}

double WriteSingle(WriteSingleProc write, const std::string &target, const Case &c,
                   const std::vector<uint8_t> &pixels) {
    double start = Seconds();
    if (write(target.c_str(), pixels.data(), c.width, c.height, c.depth, 0) != 0)
        Fail("QXIOWriteSingle failed");
    return Seconds() - start;
}

struct Row {
    std::string what;
    Case c;
    Timing measured, baseline;
    double ratio() const { return measured.fastest / baseline.fastest; }
};

void Print(const Row &r, const char *baseline) {
    printf("%-16s %4ux%-4u %2u-bit: %.3f ms = %.2f x %s (%.3f ms)\n", r.what.c_str(), r.c.width,
           r.c.height, r.c.depth, r.measured.fastest * 1e3, r.ratio(), baseline,
           r.baseline.fastest * 1e3);
    fflush(stdout);
}

}  // namespace

void RunBoardBench(const BoardLibrary &kv, int scale) {
    std::vector<Row> captures, files;
    printf("\nthe simulated board: ramp frames (frame_ms = 0) and QXIOWriteSingle\n");
    for (uint32_t depth : {8u, 12u, 32u}) {
        Case c{2048, 2048, depth, 30 * scale};
        ConfigureBoard(kv, c);
        captures.push_back({"capture", c, MeasureCapture(kv, c), MeasureMemcpy(ImageBytes(c), c.repetitions)});
        Print(captures.back(), "memcpy");
    }
    HMODULE diskio = LoadLibraryA("QXDiskIO.dll");
    auto write = diskio ? reinterpret_cast<WriteSingleProc>(
                              reinterpret_cast<void *>(GetProcAddress(diskio, "QXIOWriteSingle")))
                        : nullptr;
    if (!write) Fail("QXDiskIO.dll has no QXIOWriteSingle");
    const std::string target = TempFolder() + "qxbench-write-" + std::to_string(GetCurrentProcessId());
    for (const char *ext : {"tif", "bmp"})
        for (uint32_t depth : {8u, 12u, 32u}) {
            Case c{2048, 2048, depth, 30 * scale};
            std::vector<uint8_t> pixels(ImageBytes(c));
            for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7 + i / 4096);
            const std::string name = target + "." + ext;
            WriteSingle(write, name, c, pixels);
            std::vector<uint8_t> bytes(FileBytes(name), 1);
            // Turn about, so that both see the same load on the machine.
            std::vector<double> measured, baseline;
            for (int i = 0; i < c.repetitions; ++i) {
                measured.push_back(WriteSingle(write, name, c, pixels));
                baseline.push_back(WriteAndRename(name, bytes));
            }
            files.push_back({std::string("QXIOWriteSingle ") + ext, c, Summarize(measured),
                             Summarize(baseline)});
            Print(files.back(), "WriteFile + rename");
            Record((std::string("write-") + ext).c_str(), c, files.back().measured.fastest,
                   files.back().baseline.fastest, 0);
            DeleteFileA(name.c_str());
        }
    printf("\n| board cost | depth | ms | baseline ms | ratio |\n|---|---|---|---|---|\n");
    for (const Row &r : captures)
        printf("| capture, 2048x2048 ramp, x memcpy | %u | %.3f | %.3f | %.2f |\n", r.c.depth,
               r.measured.fastest * 1e3, r.baseline.fastest * 1e3, r.ratio());
    for (const Row &r : files)
        printf("| %s, 2048x2048, x WriteFile + rename | %u | %.3f | %.3f | %.2f |\n",
               r.what.c_str(), r.c.depth, r.measured.fastest * 1e3, r.baseline.fastest * 1e3,
               r.ratio());
}
