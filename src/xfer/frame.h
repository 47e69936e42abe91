// The frame as the board describes it, read parameter by parameter.
#pragma once

#include <cstdint>
#include <initializer_list>

struct FrameGeometry {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t signalsPerFrame = 0;
    uint32_t bitDepth = 0;
    uint32_t bytesPerPixel = 0;
    uint32_t imageBytes = 0;
    uint32_t lineBytes = 0;

    bool twoSignalFrames() const { return signalsPerFrame == 2; }
};

// Reads the given board parameters, in the given order (the board sees the
// inquiries in that order), into one geometry. Parameters not listed stay 0.
FrameGeometry ReadFrameGeometry(std::initializer_list<uint32_t> parameters);

// True when the frame can be read whole from the host buffer: non-zero
// sizes, the image size at least height x width x bytes per pixel, and no
// larger than the host buffer allocated at enable.
bool FrameFitsHostBuffer(const FrameGeometry &frame);
