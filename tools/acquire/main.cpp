// qxacquire: acquires images from any TWAIN source through the TWAIN Source
// Manager, as a well-behaved imaging application does.
#include <cstdio>

#include "acquire.h"
#include "writers/buffer_pool.h"
#include "writers/frame_writer.h"

namespace {

// The run's boundary: an exception that escapes work, wherever on this thread
// it was thrown, is a failure of the step it interrupted ("error: ...", exit
// status 1); the source is then stepped down as after any failure.
template <class Work>
void Guarded(Session &s, Work work) {
    try {
        work();
    } catch (...) {
        FailOnException(s, Doing(s));
    }
}

// One step of the run, named for an error that interrupts it; false ends the run.
bool Step(Session &s, const char *doing, bool (*step)(Session &)) {
    s.step = doing;
    return step(s);
}

// Frames come through the event loop and are written on the writer's thread;
// however the loop ends, the frames handed to the writer are written.
bool Acquire(Session &s) {
    if (s.options.ui) Print("the source's dialog is up: acquire from it, or close it to end");
    // The pool outlives the writer, whose frames give their pixels back to it.
    BufferPool buffers;
    FrameWriter writer(s.options);
    s.buffers = &buffers;
    s.writer = &writer;
    Guarded(s, [&] { RunEventLoop(s); });
    s.writer = nullptr;
    s.buffers = nullptr;
    writer.Finish(s);
    return true;
}

// Every command asked for, in order, until one fails; the caller winds down.
void Run(Session &s) {
    const Options &options = s.options;
    if (!Step(s, "load the Source Manager", LoadSourceManager) ||
        !Step(s, "create the main window", CreateMainWindow) ||
        !Step(s, "open the Source Manager", OpenSourceManager))
        return;
    if (options.list && !Step(s, "list the sources", ListSources)) return;
    if (!options.caps && !options.acquire) return;
    if (!Step(s, "open the source", OpenSource) || !Step(s, "set the capabilities", ApplySettings)) return;
    if (options.caps && !Step(s, "read the capabilities", PrintCapabilities)) return;
    if (options.acquire && Step(s, "prepare the transfers", PrepareTransfers) &&
        Step(s, "enable the source", EnableSource))
        Step(s, "acquire", Acquire);
}

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    Session s;
    bool parsed = false;
    s.step = "read the command line";
    Guarded(s, [&] { parsed = ParseOptions(argc, argv, &s.options); });
    if (s.exitCode != ExitSuccess) return s.exitCode;
    if (!parsed) {
        printf("qxacquire --help lists the options\n");
        return ExitBadCommandLine;
    }
    if (s.options.answered) return ExitSuccess;
    InstallInterruptHandler(s);
    {
        // Boxes are closed until the source is down, whatever ended the run.
        BoxCloser boxes(s);
        Guarded(s, [&] { Run(s); });
        EndAsked(s);  // Ctrl+C, or a failure on another thread: the exit status it gives
        // Each step down is taken whatever happened before it, an exception
        // in one included: every step leaves its state before its call.
        s.step = "step the source down";
        while (s.state != TwainState::PreSession) Guarded(s, [&] { ShutDown(s); });
    }
    Guarded(s, [&] { PrintSummary(s); });
    return s.exitCode;
}
