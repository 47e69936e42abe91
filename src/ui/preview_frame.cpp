#include "ui/preview_frame.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "ds/source_context.h"
#include "pixel_kernels.h"

namespace {

// The frame bytes that can be read: the host buffer may be smaller than the
// image size the board reports.
uint32_t ReadableImageBytes(const PreviewImage &image) {
    return std::min(image.imageBytes, g_source.hostBufferSize);
}

}  // namespace

PreviewImage PlanPreviewImage(const FrameGeometry &frame) {
    PreviewImage image;
    image.boardDepth = frame.bitDepth;
    image.imageBytes = frame.imageBytes;
    image.surfaceDepth = PreviewSurfaceDepth(frame.bitDepth);
    image.surfaceBytes = uint64_t(frame.width) * frame.height * image.surfaceDepth / 8;
    if (PreviewShiftsToByte(frame.bitDepth)) image.shift = ShiftToByteFor(frame.bitDepth);
    return image;
}

bool PrepareConversion(PreviewImage &image) {
    if (!PreviewShiftsToByte(image.boardDepth)) return true;
    image.converted = static_cast<uint8_t *>(malloc(image.imageBytes / 2));
    return image.converted != nullptr;
}

void ReleaseConversion(PreviewImage &image) {
    free(image.converted);
    image.converted = nullptr;
}

void CopyFrameToSurface(const PreviewImage &image) {
    const uint8_t *source = g_source.hostBuffer;
    if (!image.pixels || !source) return;
    uint32_t bytes = ReadableImageBytes(image);
    if (image.converted) {
        uint32_t samples = bytes / 2;
        ShiftSamplesToBytes(image.converted, source, samples, image.shift);
        source = image.converted;
        bytes = samples;
    }
    // Never past the surface, whatever the board's image size says.
    uint64_t shown = std::min<uint64_t>(bytes, image.surfaceBytes);
    memcpy(image.pixels, source, static_cast<size_t>(shown));
}
