// How a board frame is shown on the preview's display surface.
#pragma once

#include <cstdint>

#include "xfer/frame.h"

struct PreviewImage {
    uint32_t boardDepth = 0;
    uint32_t imageBytes = 0;
    uint32_t surfaceDepth = 8;
    // Bytes the surface's pixel buffer holds: width x height x surfaceDepth / 8.
    uint64_t surfaceBytes = 0;
    uint8_t *pixels = nullptr;
    // Deep grey samples reduced to one byte each; null for other depths.
    uint8_t *converted = nullptr;
    uint32_t shift = 0;
};

// The surface's depth and size for a frame of this geometry.
PreviewImage PlanPreviewImage(const FrameGeometry &frame);

// Allocates the conversion buffer when the depth needs one; false when it
// cannot be had.
bool PrepareConversion(PreviewImage &image);
void ReleaseConversion(PreviewImage &image);

// Copies the frame in the host buffer onto the surface's pixel buffer.
void CopyFrameToSurface(const PreviewImage &image);
