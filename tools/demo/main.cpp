// qxdemo: acquires from QXTwain through the TWAIN Source Manager, as an
// imaging application would, and tells what happens at every step.
#include <cstdio>
#include <cstring>

#include "demo.h"

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    for (int i = 1; i < argc; ++i)
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            PrintUsage();
            return 0;
        }
    DemoOptions &options = g_demo.options;
    if (!ParseOptions(argc, argv, &options)) {
        PrintUsage();
        return 2;
    }

    bool ready = WriteBoardConfig(options) && LoadSourceManager() && CreateMainWindow() &&
                 OpenSourceManager() && ListSources() && OpenSource();
    if (ready) {
        PrintCapabilities();
        if (options.transfer != TransferKind::Native) ChooseTransferMechanism();
        ready = EnableSource(options.interactive);
    }
    if (ready) {
        if (!options.screenshot.empty())
            StartDialogScript();
        else if (options.interactive)
            Step(
                "the source's dialog is up: Acquire takes a frame, Preview shows live video, "
                "Cancel ends");
        RunEventLoop(options.interactive ? 0 : 30000);
    }
    ShutDown();

    // A scripted dialog presses Acquire once; a user may press it any number of times.
    bool scripted = !options.screenshot.empty();
    bool expectedFrames = (options.interactive && !scripted) || g_demo.framesWritten == 1;
    bool success = ready && expectedFrames && !g_demo.failed;
    if (!success)
        printf("qxdemo FAILED\n");
    else
        printf("qxdemo done: %d image(s) written\n", g_demo.framesWritten);
    return success ? 0 : 1;
}
