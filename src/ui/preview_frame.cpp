#include "ui/preview_frame.h"

#include <cstdlib>
#include <cstring>

#include "pixel_kernels.h"

PreviewImage PlanPreviewImage() {
    PreviewImage image;
    image.view = FrameView(FrameUse::Preview);
    const FrameGeometry &frame = image.view.frame();
    image.surfaceDepth = PreviewSurfaceDepth(frame.bitDepth);
    image.surfaceBytes = uint64_t(frame.width) * frame.height * image.surfaceDepth / 8;
    if (PreviewShiftsToByte(frame.bitDepth)) image.shift = ShiftToByteFor(frame.bitDepth);
    return image;
}

bool PrepareConversion(PreviewImage &image) {
    if (!image.view.fits()) return false;
    const FrameGeometry &frame = image.view.frame();
    if (!PreviewShiftsToByte(frame.bitDepth)) return true;
    image.converted = static_cast<uint8_t *>(malloc(frame.imageBytes / 2));
    return image.converted != nullptr;
}

void ReleaseConversion(PreviewImage &image) {
    free(image.converted);
    image.converted = nullptr;
}

// The view fits: its lines' pixels make exactly the surface's bytes, and their
// samples fit the conversion buffer.
void CopyFrameToSurface(const PreviewImage &image) {
    const FrameView &view = image.view;
    if (!image.pixels || !view.fits()) return;
    // Lines without padding go as one run; padded ones one by one, their padding left behind.
    uint32_t lines = view.frame().height;
    uint32_t runs = view.packed() ? 1 : lines;
    size_t runBytes = size_t(view.pixelBytes()) * (view.packed() ? lines : 1);
    uint8_t *target = image.converted ? image.converted : image.pixels;
    size_t targetBytes = image.converted ? runBytes / 2 : runBytes;
    for (uint32_t run = 0; run < runs; ++run, target += targetBytes) {
        if (image.converted) ShiftSamplesToBytes(target, view.line(run), targetBytes, image.shift);
        else memcpy(target, view.line(run), runBytes);
    }
    if (image.converted) memcpy(image.pixels, image.converted, size_t(image.surfaceBytes));
}
