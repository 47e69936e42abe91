// qxacquire: acquires images from any TWAIN source through the TWAIN Source
// Manager, as a well-behaved imaging application does.
#include <cstdio>

#include "acquire.h"
#include "writers/buffer_pool.h"
#include "writers/frame_writer.h"

namespace {

// Everything after the Source Manager is open; the caller winds down.
void Run(Session &s) {
    const Options &options = s.options;
    if (options.list && !ListSources(s)) return;
    if (!options.caps && !options.acquire) return;
    if (!OpenSource(s)) return;
    if (!ApplySettings(s)) return;
    if (options.caps && !PrintCapabilities(s)) return;
    if (!options.acquire) return;
    if (!PrepareTransfers(s) || !EnableSource(s)) return;
    if (options.ui) Print("the source's dialog is up: acquire from it, or close it to end");
    // The pool outlives the writer, whose frames give their pixels back to it.
    BufferPool buffers;
    FrameWriter writer(options);
    s.buffers = &buffers;
    s.writer = &writer;
    RunEventLoop(s);
    writer.Finish(s);
    s.writer = nullptr;
    s.buffers = nullptr;
}

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    Session s;
    if (!ParseOptions(argc, argv, &s.options)) {
        printf("qxacquire --help lists the options\n");
        return ExitBadCommandLine;
    }
    if (s.options.answered) return ExitSuccess;
    InstallInterruptHandler(s);
    {
        BoxCloser boxes(s.options.unattended);
        if (LoadSourceManager(s) && CreateMainWindow(s) && OpenSourceManager(s)) Run(s);
        if (s.interrupted && s.exitCode == ExitSuccess) Fail(s, ExitCancelled, "interrupted (Ctrl+C)");
        ShutDown(s);
    }
    PrintSummary(s);
    return s.exitCode;
}
