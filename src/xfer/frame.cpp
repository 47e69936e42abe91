#include "xfer/frame.h"

#include "board/board.h"
#include "ds/source_context.h"

FrameGeometry ReadFrameGeometry(std::initializer_list<uint32_t> parameters) {
    FrameGeometry frame;
    for (uint32_t parameter : parameters) {
        uint32_t value = BoardInquire(parameter);
        switch (parameter) {
        case KV_IMAGE_WIDTH: frame.width = value; break;
        case KV_IMAGE_HEIGHT: frame.height = value; break;
        case KV_SIGNALS_PER_FRAME: frame.signalsPerFrame = value; break;
        case KV_BITS_PER_PIXEL: frame.bitDepth = value; break;
        case KV_BYTES_PER_PIXEL: frame.bytesPerPixel = value; break;
        case KV_IMAGE_BYTES: frame.imageBytes = value; break;
        case KV_LINE_BYTES: frame.lineBytes = value; break;
        }
    }
    return frame;
}

bool FrameFitsHostBuffer(const FrameGeometry &frame, uint64_t bytesPerPixel) {
    if (!g_source.hostBuffer || frame.width == 0 || frame.height == 0 || frame.bitDepth == 0 ||
        bytesPerPixel == 0)
        return false;
    uint64_t linePixels = uint64_t(frame.width) * bytesPerPixel;
    uint64_t lines = uint64_t(frame.lineBytes) * frame.height;
    return linePixels <= frame.lineBytes && lines <= frame.imageBytes &&
           frame.imageBytes <= g_source.hostBufferSize;
}
