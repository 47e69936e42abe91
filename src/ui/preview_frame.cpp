#include "ui/preview_frame.h"

#include <cstdlib>
#include <cstring>

#include "ds/source_context.h"
#include "pixel_kernels.h"

PreviewImage PlanPreviewImage(const FrameGeometry &frame) {
    PreviewImage image;
    image.boardDepth = frame.bitDepth;
    image.imageBytes = frame.imageBytes;
    image.surfaceDepth = PreviewSurfaceDepth(frame.bitDepth);
    image.surfaceBytes = uint64_t(frame.width) * frame.height * image.surfaceDepth / 8;
    if (PreviewShiftsToByte(frame.bitDepth)) image.shift = ShiftToByteFor(frame.bitDepth);
    uint32_t bytesPerPixel = PreviewBytesPerPixel(frame.bitDepth);
    image.lines = frame.height;
    image.lineBytes = frame.lineBytes;
    image.linePixelBytes = frame.width * bytesPerPixel;
    image.fits = FrameFitsHostBuffer(frame, bytesPerPixel);
    return image;
}

bool PrepareConversion(PreviewImage &image) {
    if (!image.fits) return false;
    if (!PreviewShiftsToByte(image.boardDepth)) return true;
    image.converted = static_cast<uint8_t *>(malloc(image.imageBytes / 2));
    return image.converted != nullptr;
}

void ReleaseConversion(PreviewImage &image) {
    free(image.converted);
    image.converted = nullptr;
}

// The frame fits (PlanPreviewImage): its lines' pixels make exactly the
// surface's bytes, and their samples fit the conversion buffer.
void CopyFrameToSurface(const PreviewImage &image) {
    const uint8_t *source = g_source.hostBuffer;
    if (!image.pixels || !source || !image.fits) return;
    // Lines without padding go as one run; padded ones one by one, their padding left behind.
    bool packed = image.lineBytes == image.linePixelBytes;
    uint32_t runs = packed ? 1 : image.lines;
    size_t runBytes = size_t(image.linePixelBytes) * (packed ? image.lines : 1);
    uint8_t *target = image.converted ? image.converted : image.pixels;
    size_t targetBytes = image.converted ? runBytes / 2 : runBytes;
    for (uint32_t run = 0; run < runs; ++run, source += image.lineBytes, target += targetBytes) {
        if (image.converted) ShiftSamplesToBytes(target, source, targetBytes, image.shift);
        else memcpy(target, source, runBytes);
    }
    if (image.converted) memcpy(image.pixels, image.converted, size_t(image.surfaceBytes));
}
