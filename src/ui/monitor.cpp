#include "ui/monitor.h"

#include "board/board.h"
#include "ds/source_context.h"
#include "ui/threads.h"

namespace {

unsigned __stdcall MonitorThread(void *) {
    MonitorLoop();
    return 0;
}

}  // namespace

void MonitorLoop() {
    while (g_source.monitorRunning) {
        if (BoardSignalWait(&g_source.cancelSignal, KV_WAIT_FOREVER) == KV_WAIT_OK)
            BoardSignalCancel(&g_source.frameSignal);
    }
}

void StartMonitor() {
    g_source.monitorRunning = 1;
    g_source.monitorThread = StartThread(MonitorThread, nullptr);
    SetThreadPriority(g_source.monitorThread, THREAD_PRIORITY_ABOVE_NORMAL);
}

void StopMonitor() {
    if (!g_source.monitorThread) return;
    g_source.monitorRunning = 0;
    // Releases the unlimited wait; the board keeps a cancel that comes before
    // the wait, so the thread cannot miss it.
    BoardSignalCancel(&g_source.cancelSignal);
    // Never called with the loader lock held (the unload lets go of the thread
    // first), so the thread can end and its handle be waited for.
    WaitForSingleObject(g_source.monitorThread, INFINITE);
    CloseHandle(g_source.monitorThread);
    g_source.monitorThread = nullptr;
}
