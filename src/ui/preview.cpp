#include "board/board.h"
#include "ds/errors.h"
#include "ui/preview.h"
#include "ui/preview_frame.h"

namespace {

constexpr uint32_t NoSurface = 0xFFFFFFFF;
// Bad frames in a row that the preview tolerates; one more ends it.
constexpr uint32_t BadFrameLimit = 25;

// The surface window lives on this thread: this is where it repaints and
// hears the user.
void DispatchThreadMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Ends the run with its box, unless a teardown has begun: then it shows nothing more.
void EndPreview(HWND dialog, const char *text) {
    if (PreviewGivesUp(dialog)) ShowQuorvexError(text);
}

void RunFrames(HWND dialog, uint32_t surface, const PreviewImage &image, bool twoSignalFrames) {
    uint32_t badFrames = 0;
    while (PreviewAskedToRun()) {
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
            EndPreview(dialog, "Error snapping image in preview.");
        }
        if (badFrames > BadFrameLimit) EndPreview(dialog, "Too many bad frames.");
    }
}

}  // namespace

void PreviewLoop(HWND dialog) {
    PostPreviewShows(dialog, true);
    PreviewImage image = PlanPreviewImage();
    const FrameGeometry &frame = image.view.frame();
    uint32_t surface = NoSurface;
    SurfaceCreate(&surface, frame.width, frame.height, image.surfaceDepth, dialog);
    image.pixels = static_cast<uint8_t *>(SurfacePixels(surface));
    // A frame that cannot be read whole, or a missing conversion buffer, ends
    // the run before its first frame.
    if (PrepareConversion(image)) RunFrames(dialog, surface, image, frame.twoSignalFrames());

    // However the run ended, it no longer runs: a Preview click seen from now
    // on belongs to the next run.
    PreviewGivesUp(dialog);
    PostPreviewShows(dialog, false);
    if (SurfaceIsOpen(surface)) SurfaceClose(surface);
    ReleaseConversion(image);
}
