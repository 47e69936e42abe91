// How a board frame is shown on the preview's display surface.
#pragma once

#include <cstdint>

#include "xfer/frame_view.h"

struct PreviewImage {
    // The preview's view of the frame, on the host buffer the preview holds
    // until it ends: every frame it shows is read from that buffer, the one the
    // view was checked against, whatever an enable or a teardown does meanwhile.
    FrameView view;
    uint32_t surfaceDepth = 8;
    // Bytes the surface's pixel buffer holds: width x height x surfaceDepth / 8.
    uint64_t surfaceBytes = 0;
    uint8_t *pixels = nullptr;
    // Deep grey samples reduced to one byte each; null for other depths.
    uint8_t *converted = nullptr;
    uint32_t shift = 0;
};

// On the preview's thread, as a run starts: the frame read from the board and
// checked against the held buffer, and the surface's depth and size for it.
PreviewImage PlanPreviewImage();

// Allocates the conversion buffer when the depth needs one; false when the
// frame cannot be shown or the buffer cannot be had.
bool PrepareConversion(PreviewImage &image);
void ReleaseConversion(PreviewImage &image);

// Copies the frame in the held buffer onto the surface's pixel buffer.
void CopyFrameToSurface(const PreviewImage &image);
