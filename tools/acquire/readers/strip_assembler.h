// A memory transfer's strips put together into the image's lines, top line
// first, as they become complete. What the source says is read here:
// TW_IMAGEINFO into the layout of the lines, its palette, DAT_SETUPMEMXFER
// into the buffer each strip is asked into, and every strip's
// TW_IMAGEMEMXFER fields checked against the image and the bytes the strip
// wrote before a line of it is placed. Windows-free: the TWAIN calls,
// the progress and the session stay with the transfer (transfer.cpp). Each
// refusal is a reason, worded for the caller's "error: ".
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
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

// The bytes asked of each strip when the source would allow more: enough to
// keep the cost of a call small, few enough that the strips in flight stay
// a small part of the process.
constexpr uint32_t StripTargetBytes = 8u << 20;

// A strip kept until its lines can go on: its pixels without the source's padding.
struct StripPiece {
    uint32_t x = 0, y = 0, columns = 0, rows = 0;
    size_t rowBytes = 0;  // of one of its lines
    std::unique_ptr<uint8_t[]> pixels;
};

// One frame's strips as they come. Lines go on (to the file) top line first:
// a strip of whole lines that are the next to go on goes on as it came, in
// its buffer; any other strip is kept as a piece until its lines are
// complete and next. Memory follows what arrived: the pieces hold the
// pixels received and not yet gone on, and the bookkeeping grows by strip,
// never by what TW_IMAGEINFO claims.
struct StripAssembly {
    StripLayout layout;
    uint32_t bufferBytes = 0;  // asked of each strip
    bool holdAll = false;      // nothing goes on before the last strip
    // Pixels received on each line, in runs of lines with the same count:
    // a run begins at its key and ends where the next begins (or at the
    // image's end); neighbouring runs have different counts.
    std::map<uint32_t, uint32_t> covered;
    uint32_t complete = 0;  // lines [0, complete) have every pixel
    uint32_t goneOn = 0;    // lines [0, goneOn) have gone on
    std::multimap<uint32_t, StripPiece> pieces;  // by their first line
    uint64_t keptBytes = 0;                      // the pieces' pixels
    uint32_t idleStrips = 0;                     // in a row
};

// The strips' buffer by the source's DAT_SETUPMEMXFER: the Preferred size
// up to StripTargetBytes, in whole minimum buffers, no more than the frame
// needs. False when the source asks for buffers no frame needs.
bool PlanStrips(const StripLayout &layout, const TW_SETUPMEMXFER &setup, StripAssembly *a, std::string *why);

// The strip the source wrote into `buffer` checked and taken: *goesOn when
// its lines are the next to go on as they lie in the buffer (BytesPerRow
// apart), otherwise its pixels are kept. False, *why saying what is wrong
// with it, for a strip that does not lie inside the image and inside the
// bytes it wrote, that covers pixels already received, or that ends a run
// of MaxIdleStrips strips adding nothing. May throw std::bad_alloc.
bool TakeStrip(StripAssembly *a, const TW_IMAGEMEMXFER &strip, const uint8_t *buffer, bool *goesOn,
               std::string *why);

// Lines complete and next to go on, put together from the pieces: none while
// the frame is held whole until its last strip.
uint32_t LinesReady(const StripAssembly &a);

// The lines of a band put together: as many as a strip buffer holds, at least one.
uint32_t BandRows(const StripAssembly &a);

// Up to maxRows of the complete lines next to go on put together into
// `lines` (layout.lineBytes apart), the pieces they used up let go; the
// number of lines.
uint32_t GatherLines(StripAssembly *a, uint32_t maxRows, uint8_t *lines);

// Whether the strips taken cover every pixel of the image; false, *why
// naming the first line that is short.
bool StripsCoverImage(const StripAssembly &a, std::string *why);
