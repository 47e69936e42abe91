#include "xfer/frame_view.h"

#include "board/board.h"
#include "xfer/host_buffer.h"

namespace {

uint64_t BytesPerPixelRead(FrameUse use, const FrameGeometry &frame) {
    switch (use) {
    case FrameUse::File: return WriterBytesPerPixel(frame.bitDepth);
    case FrameUse::Preview: return PreviewBytesPerPixel(frame.bitDepth);
    case FrameUse::Native:
    case FrameUse::Memory: break;
    }
    return frame.bytesPerPixel;
}

}  // namespace

FrameGeometry ReadBoardFrame() {
    // The one order of the inquiries (the board sees it): the frame's size and
    // depth, the sizes the check needs, and last the frame signals, which only
    // the waits for a frame need.
    return ReadFrameGeometry({KV_IMAGE_WIDTH, KV_IMAGE_HEIGHT, KV_BITS_PER_PIXEL, KV_IMAGE_BYTES,
                              KV_LINE_BYTES, KV_BYTES_PER_PIXEL, KV_SIGNALS_PER_FRAME});
}

FrameView::FrameView(FrameUse use) {
    frame_ = ReadBoardFrame();
    HostBufferBytes buffer =
        use == FrameUse::Preview ? HostBufferHeldByPreview() : CurrentHostBuffer();
    uint64_t bytesPerPixel = BytesPerPixelRead(use, frame_);
    uint64_t linePixels = uint64_t(frame_.width) * bytesPerPixel;
    uint64_t lines = uint64_t(frame_.lineBytes) * frame_.height;
    fits_ = buffer.data && frame_.width != 0 && frame_.height != 0 && frame_.bitDepth != 0 &&
            bytesPerPixel != 0 && linePixels <= frame_.lineBytes &&
            lines <= frame_.imageBytes && frame_.imageBytes <= buffer.size;
    if (!fits_) return;
    pixels_ = buffer.data;
    pixelBytes_ = static_cast<uint32_t>(linePixels);
}
