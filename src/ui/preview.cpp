#include "board/board.h"
#include "ds/errors.h"
#include "ds/source_context.h"
#include "res/resource.h"
#include "ui/preview.h"
#include "ui/preview_frame.h"

namespace {

constexpr uint32_t NoSurface = 0xFFFFFFFF;
// Bad frames in a row that the preview tolerates; one more ends it.
constexpr uint32_t BadFrameLimit = 25;

void ShowPreviewRunning(HWND dialog, bool running) {
    SetWindowTextA(GetDlgItem(dialog, IDC_PREVIEW),
                   running ? PreviewRunningCaption : PreviewIdleCaption);
    EnableWindow(GetDlgItem(dialog, IDOK), !running);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), !running);
}

// The surface window lives on this thread: this is where it repaints and
// hears the user.
void DispatchThreadMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

void EndPreview(const char *text) {
    ShowQuorvexError(text);
    g_source.previewRunning = 0;
}

void RunFrames(uint32_t surface, const PreviewImage &image, bool twoSignalFrames) {
    uint32_t badFrames = 0;
    while (g_source.previewRunning) {
        if (!SurfaceIsOpen(surface)) break;
        BoardCommand(KV_COMMAND_SNAP, KV_MODE_SNAP_START);
        uint32_t result = BoardWaitForFrame(twoSignalFrames);
        if (result == KV_WAIT_OK) {
            CopyFrameToSurface(image);
            if (SurfaceIsOpen(surface)) SurfaceBlit(surface);
            DispatchThreadMessages();
            badFrames = 0;
            continue;
        }
        if (result == KV_WAIT_CANCELLED) {
            BoardCommand(KV_COMMAND_ABORT, KV_MODE_ABORT);
            ++badFrames;
        } else if (result == KV_WAIT_TIMEOUT) {
            ++badFrames;
        } else {
            EndPreview("Error snapping image in preview.");
        }
        if (badFrames > BadFrameLimit) EndPreview("Too many bad frames.");
    }
}

}  // namespace

void PreviewLoop(HWND dialog) {
    ShowPreviewRunning(dialog, true);
    PreviewImage image = PlanPreviewImage();
    const FrameGeometry &frame = image.view.frame();
    uint32_t surface = NoSurface;
    SurfaceCreate(&surface, frame.width, frame.height, image.surfaceDepth, dialog);
    image.pixels = static_cast<uint8_t *>(SurfacePixels(surface));
    // A frame that cannot be read whole, or a missing conversion buffer, ends
    // the run before its first frame.
    if (PrepareConversion(image)) RunFrames(surface, image, frame.twoSignalFrames());

    // However the run ended, it no longer runs: a Preview click seen from now
    // on belongs to the next run.
    g_source.previewRunning = 0;
    ShowPreviewRunning(dialog, false);
    if (SurfaceIsOpen(surface)) SurfaceClose(surface);
    ReleaseConversion(image);
}
