#include "writers/progress.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

namespace {

constexpr uint64_t LongWorkBytes = uint64_t(64) << 20;
constexpr const char *WorkDone[] = {"transferred", "written"};

struct Shown {
    uint32_t frame = 0;
    unsigned percent = 0;
    bool active = false;
};

std::mutex g_lock;
Shown g_shown[2];
size_t g_lineLength = 0;  // of the progress line on the terminal, 0 when none is up
constexpr DWORD RedrawMs = 200;
DWORD g_drawnAt = 0;

bool OnTerminal() {
    static const bool terminal = GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_CHAR;
    return terminal;
}

std::string PartText(Work work) {
    const Shown &shown = g_shown[static_cast<int>(work)];
    char text[64];
    snprintf(text, sizeof text, "frame %u: %u%% %s", shown.frame, shown.percent,
             WorkDone[static_cast<int>(work)]);
    return text;
}

// The terminal's line anew, over the old one, or cleared when nothing is shown.
void Redraw() {
    std::string line;
    for (Work work : {Work::Transfer, Work::Write})
        if (g_shown[static_cast<int>(work)].active)
            line += (line.empty() ? "" : ", ") + PartText(work);
    size_t length = line.size();
    if (length < g_lineLength) line.append(g_lineLength - length, ' ');
    fprintf(stderr, "\r%s%s", line.c_str(), length ? "" : "\r");
    g_lineLength = length;
}

}  // namespace

bool IsLongWork(uint64_t bytes) { return bytes >= LongWorkBytes; }

void ShowProgress(Work work, uint32_t frame, uint64_t done, uint64_t total) {
    if (!IsLongWork(total)) return;
    const unsigned percent = done >= total ? 100 : unsigned(done * 100 / total);
    std::lock_guard<std::mutex> lock(g_lock);
    Shown &shown = g_shown[static_cast<int>(work)];
    const bool fresh = frame && (!shown.active || shown.frame != frame);
    if (!fresh && (!shown.active || shown.percent == percent)) return;
    const unsigned before = fresh ? 0 : shown.percent;
    shown = {frame ? frame : shown.frame, percent, true};
    if (OnTerminal()) {
        // A terminal redrawn at every percent would cost more than the work shown.
        const DWORD now = GetTickCount();
        if (fresh || now - g_drawnAt >= RedrawMs) {
            g_drawnAt = now;
            Redraw();
        }
    } else if (fresh || (percent / 25 != before / 25 && percent < 100))
        fprintf(stderr, "%s\n", PartText(work).c_str());
}

void EndProgress(Work work) {
    std::lock_guard<std::mutex> lock(g_lock);
    Shown &shown = g_shown[static_cast<int>(work)];
    if (!shown.active) return;
    shown.active = false;
    if (OnTerminal()) Redraw();
}

void PrintAboveProgress(const std::string &line) {
    std::lock_guard<std::mutex> lock(g_lock);
    const size_t shownLength = g_lineLength;
    if (shownLength) fprintf(stderr, "\r%*s\r", static_cast<int>(shownLength), "");
    fputs(line.c_str(), stdout);
    if (shownLength) {
        g_lineLength = 0;
        Redraw();
    }
}
