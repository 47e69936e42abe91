#include "xfer/frame.h"

#include "board/board.h"

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
