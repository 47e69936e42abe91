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
    // The board's lines: how many, their length, and the bytes of their pixels.
    uint32_t lines = 0;
    uint32_t lineBytes = 0;
    uint32_t linePixelBytes = 0;
    // The frame can be read whole from the host buffer; otherwise nothing is shown.
    bool fits = false;
    uint8_t *pixels = nullptr;
    // Deep grey samples reduced to one byte each; null for other depths.
    uint8_t *converted = nullptr;
    uint32_t shift = 0;
};

// The surface's depth and size for a frame of this geometry.
PreviewImage PlanPreviewImage(const FrameGeometry &frame);

// Allocates the conversion buffer when the depth needs one; false when the
// frame cannot be shown or the buffer cannot be had.
bool PrepareConversion(PreviewImage &image);
void ReleaseConversion(PreviewImage &image);

// Copies the frame in the host buffer onto the surface's pixel buffer.
void CopyFrameToSurface(const PreviewImage &image);
