// The test source's random mode (setting random=SEED): a generator seeded by
// SEED draws the frame's geometry, then, now and then, a lie in a field the
// source hands over: bitmap headers, masks and blocks, TW_IMAGEINFO, buffer
// sizes, strips (empty ones, frames that never end), palettes. Each of these
// places lies at a rate drawn per seed, half of them never, so that many runs
// go deep. A lie is only ever in a field: the source still writes nothing
// past the application's buffers. Without random=SEED nothing is changed.
#pragma once

#include <windows.h>

#include <cstddef>
#include <map>
#include <string>

#include "twain.h"

namespace randomfields {

// Reads random=SEED from the settings and, when given, puts the drawn
// geometry (pixeltype, bits, width, height, tile, pad...) in them.
void Start(std::map<std::string, std::string> *settings);

// The masks that follow a BI_BITFIELDS header.
void Masks(BITMAPINFOHEADER *header);
// A packed bitmap's header (in `size` bytes) and its global block's size.
void Header(BITMAPINFOHEADER *header, size_t size, size_t *blockBytes);

void ImageInfo(TW_IMAGEINFO *info);
void SetupMemXfer(TW_SETUPMEMXFER *setup);
void Palette(TW_PALETTE8 *palette);

// Before a strip of frame `frame` (0 the first): true when an empty strip
// goes instead, with xfer filled. A frame may get nothing but empty strips.
bool EmptyStrip(TW_IMAGEMEMXFER *xfer, uint32_t frame);
// A strip handed over with `result`: its fields, and whether the frame ends
// there (a frame may never end).
TW_UINT16 Strip(TW_IMAGEMEMXFER *xfer, TW_UINT16 result);

}  // namespace randomfields
