// One use's view of the frame in the host buffer: the only way the transfers
// and the preview reach its pixels. A view is made afresh for each transfer
// and each preview run, since a frame may change its size between them: it
// reads the board's frame parameters, in the one order every use inquires
// them, and checks the frame once against the buffer it is made on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "xfer/frame.h"

// Who reads the frame: that decides how many bytes of each pixel are read,
// and from which buffer.
enum class FrameUse {
    Native,  // the board's bytes per pixel, from the current buffer
    Memory,  // the same
    File,    // whole bytes for the depth (the file writer's), from the current buffer
    Preview, // a 16-bit sample or what the surface shows, from the buffer the preview holds
};

// The board's frame parameters alone, read in the one order every use
// inquires them: for what reports the frame's sizes without reading it
// (DAT_SETUPMEMXFER, from state 400 on, when there may be no buffer yet).
FrameGeometry ReadBoardFrame();

class FrameView {
public:
    FrameView() = default;
    explicit FrameView(FrameUse use);

    const FrameGeometry &frame() const { return frame_; }

    // True when the frame can be read whole, line by line at the board's line
    // length, each line's first pixelBytes() being its pixels: non-zero sizes
    // and depth, pixels no longer than their line, height lines within the
    // image size, and the image within the buffer. A frame that fails is
    // refused by every use rather than cut; nothing below is then read.
    bool fits() const { return fits_; }

    // Bytes of a line that are its pixels, for this use.
    uint32_t pixelBytes() const { return pixelBytes_; }

    // True when the lines hold nothing but their pixels.
    bool packed() const { return pixelBytes_ == frame_.lineBytes; }

    // Line y (below the height): lines follow one another at the board's line
    // length, so from line y on the lines to the frame's end are one run.
    const uint8_t *line(uint32_t y) const { return pixels_ + size_t(y) * frame_.lineBytes; }

private:
    FrameGeometry frame_;
    const uint8_t *pixels_ = nullptr;
    uint32_t pixelBytes_ = 0;
    bool fits_ = false;
};
