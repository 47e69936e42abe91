// qxacquire: acquires images from any TWAIN source through the TWAIN Source
// Manager, as a well-behaved imaging application does.
#include <cstdio>
#include <cstring>

#include "acquire.h"

namespace {

// Everything after the Source Manager is open; the caller winds down.
void Run() {
    const Options &options = g_app.options;
    if (options.list && !ListSources()) return;
    if (!options.caps && !options.acquire) return;
    if (!OpenSource()) return;
    if (!ApplySettings()) return;
    if (options.caps && !PrintCapabilities(options.json)) return;
    if (!options.acquire) return;
    if (!PrepareTransfers() || !EnableSource()) return;
    if (!options.screenshot.empty())
        StartDialogScript();
    else if (options.ui)
        printf("the source's dialog is up: Acquire takes the frame(s), Cancel ends\n");
    RunEventLoop();
}

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            PrintUsage();
            return ExitSuccess;
        }
        if (!strcmp(argv[i], "--version")) {
            printf("qxacquire %s\n", QX_VERSION);
            return ExitSuccess;
        }
    }
    if (!ParseOptions(argc, argv, &g_app.options)) {
        printf("qxacquire --help lists the options\n");
        return ExitBadCommandLine;
    }
    InstallInterruptHandler();
    if (LoadSourceManager() && CreateMainWindow() && OpenSourceManager()) Run();
    if (Interrupted() && g_app.exitCode == ExitSuccess) Fail(ExitCancelled, "interrupted (Ctrl+C)");
    ShutDown();
    PrintSummary();
    return g_app.exitCode;
}
