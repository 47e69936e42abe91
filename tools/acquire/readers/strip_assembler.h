// A memory transfer's strips put together into the image. What the source
// says is read here: TW_IMAGEINFO into the layout of the lines, its palette,
// DAT_SETUPMEMXFER into the buffer each strip is asked into, and every
// strip's TW_IMAGEMEMXFER fields checked against the image and the bytes the
// strip wrote before a line of it is placed. Windows-free: the TWAIN calls,
// the progress and the session stay with the transfer (transfer.cpp). Each
// refusal is a reason, worded for the caller's "error: ".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packed_image.h"
#include "twain.h"

// How the lines of a memory transfer hold their pixels.
enum class StripSamples { Bilevel, Grey4, Grey8, Grey16, Palette, Rgb24, Rgbx32, Rgb48 };

struct StripLayout {
    StripSamples samples = StripSamples::Grey8;
    uint32_t bitsPerPixel = 8;  // as the lines store them
    uint32_t width = 0, height = 0;
    uint64_t lineBytes = 0;  // one line of the image, without padding
    uint64_t frameBytes = 0;  // the image: its lines, lineBytes apart
    std::vector<qximg::PaletteEntry> palette;  // Palette: from DAT_PALETTE8
    bool whiteIsZero = false;                  // Bilevel, grey: ICAP_PIXELFLAVOR is TWPF_VANILLA
};

// The layout of the lines TW_IMAGEINFO describes; false, *why naming what
// the source said, for one this program does not write.
bool StripLayoutOf(const TW_IMAGEINFO &info, StripLayout *layout, std::string *why);

// Whether the lines' 0 is black or white by ICAP_PIXELFLAVOR (bilevel and grey).
bool HasFlavor(const StripLayout &layout);

// The colours of TWPT_PALETTE lines from the source's DAT_PALETTE8.
bool TakePalette(const TW_PALETTE8 &palette, StripLayout *layout, std::string *why);

// Strips that add nothing to the image, in a row, that end a transfer: no
// source that makes progress sends so many.
constexpr uint32_t MaxIdleStrips = 10000;

// One frame's strips as they come.
struct StripAssembly {
    StripLayout layout;
    uint32_t bufferBytes = 0;  // asked of each strip
    uint64_t memoryBytes = 0;  // the image and a strip buffer behind it
    std::vector<uint8_t> memory;
    std::vector<uint32_t> covered;  // pixels of each line received
    uint64_t inPlace = 0;           // bytes of the lines received where they belong
    bool inOrder = true;
    uint32_t idleStrips = 0;  // in a row
};

// The strips' buffer by the source's DAT_SETUPMEMXFER: its Preferred size in
// whole minimum buffers (an eighth of it when `inEighths`, so that the
// progress of a large frame moves), and the memory the frame takes. False
// when the source asks for buffers no frame needs, or when the frame and its
// bookkeeping cannot be held by this process.
bool PlanStrips(const StripLayout &layout, const TW_SETUPMEMXFER &setup, bool inEighths, StripAssembly *a,
                std::string *why);

// The planned frame in `memory` (a buffer of frames written before, or a new
// one). May throw std::bad_alloc.
void BeginStrips(StripAssembly *a, std::vector<uint8_t> memory);

// Where the source is to write the next strip: a->bufferBytes bytes. Whole
// unpadded lines that come in order land where they belong, behind the lines
// before them, and are never copied.
uint8_t *NextStripBuffer(StripAssembly &a);

// The strip the source wrote at NextStripBuffer, its lines put in place.
// False, *why saying what is wrong with it, for a strip that does not lie
// inside the image and inside the bytes it wrote, that covers pixels already
// received, or that ends a run of MaxIdleStrips strips adding nothing.
bool TakeStrip(StripAssembly *a, const TW_IMAGEMEMXFER &strip, std::string *why);

// Whether the strips taken cover every pixel of the image; false, *why
// naming the first line that is short.
bool StripsCoverImage(const StripAssembly &a, std::string *why);
