// The memory transfer's strips checked and put together; every size the
// source hands over is taken through checked_size.h.
#include "readers/strip_assembler.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "readers/checked_size.h"
#include "twain/names.h"
#include "readers/text_format.h"

namespace {

// What TW_IMAGEINFO may say of lines, and how they are read: pixel type,
// samples, bits a pixel, and the bits of a sample (0: any from 9 to 16).
struct StripForm {
    TW_UINT16 pixelType;
    int samples, bitsPerPixel, bitsPerSample;
    StripSamples read;
    uint32_t storedBits;
};
constexpr StripForm StripForms[] = {
    {TWPT_BW, 1, 1, 1, StripSamples::Bilevel, 1},
    {TWPT_GRAY, 1, 1, 1, StripSamples::Bilevel, 1},
    {TWPT_GRAY, 1, 4, 4, StripSamples::Grey4, 4},
    {TWPT_GRAY, 1, 8, 8, StripSamples::Grey8, 8},
    // Deep grey lies in 16-bit words, whatever depth the source reports.
    {TWPT_GRAY, 1, 0, 0, StripSamples::Grey16, 16},
    {TWPT_PALETTE, 1, 1, 1, StripSamples::Palette, 1},
    {TWPT_PALETTE, 1, 4, 4, StripSamples::Palette, 4},
    {TWPT_PALETTE, 1, 8, 8, StripSamples::Palette, 8},
    {TWPT_RGB, 3, 24, 8, StripSamples::Rgb24, 24},
    {TWPT_RGB, 3, 32, 8, StripSamples::Rgbx32, 32},
    {TWPT_RGB, 3, 48, 16, StripSamples::Rgb48, 48},
};

bool Matches(const StripForm &form, const TW_IMAGEINFO &info) {
    if (form.pixelType != info.PixelType || form.samples != info.SamplesPerPixel) return false;
    if (form.bitsPerPixel) return form.bitsPerPixel == info.BitsPerPixel && form.bitsPerSample == info.BitsPerSample[0];
    return info.BitsPerPixel > 8 && info.BitsPerPixel <= 16 && info.BitsPerSample[0] > 8 &&
           info.BitsPerSample[0] <= 16;
}

std::string CodeName(TW_UINT16 cap, TW_UINT32 value) {
    const char *name = CapabilityValueName(cap, value);
    return name ? name : std::to_string(value);
}

// True for TWCP_NONE; otherwise false, *why naming the compression.
bool StripsUncompressed(TW_UINT16 compression, std::string *why) {
    return compression == TWCP_NONE ||
           Refuse(why, "strips compressed by %s are not written", CodeName(ICAP_COMPRESSION, compression).c_str());
}

// *bytes = the whole bytes of `pixels` pixels of `bits` bits.
bool PixelBytes(uint64_t pixels, uint32_t bits, uint64_t *bytes) {
    uint64_t lineBits = 0;
    if (!checked::MultiplyAdd(pixels, bits, 7, &lineBits)) return false;
    *bytes = lineBits / 8;
    return true;
}

// A source may want larger buffers than its frame, not without bound.
constexpr uint64_t MaxStripBuffer = 64u << 20;

uint32_t StripBufferSize(const TW_SETUPMEMXFER &setup, uint64_t frameBytes) {
    const uint32_t minimum = setup.MinBufSize ? setup.MinBufSize : 1;
    // A source may prefer the whole frame; more than a strip is not held.
    const uint32_t wanted = setup.Preferred && setup.Preferred < StripTargetBytes ? setup.Preferred : StripTargetBytes;
    uint32_t size = std::max(minimum, wanted / minimum * minimum);
    if (setup.MaxBufSize && size > setup.MaxBufSize) size = setup.MaxBufSize;
    // More than the frame (in whole minimum buffers) would hold nothing more;
    // frameBytes is within MaxBlock, so this sum cannot wrap.
    const uint64_t frameBuffers = frameBytes / minimum * minimum + (frameBytes % minimum ? minimum : 0);
    return uint32_t(std::max<uint64_t>(minimum, std::min<uint64_t>(size, frameBuffers)));
}

// Whether a strip's lines lie inside the image and inside the bytes it
// wrote, each whole byte of the image's lines; *pixelBytes is then the bytes
// of one of its lines without the source's padding.
bool StripFits(const TW_IMAGEMEMXFER &x, const StripAssembly &a, uint64_t *pixelBytes, std::string *why) {
    if (!StripsUncompressed(x.Compression, why)) return false;
    const StripLayout &layout = a.layout;
    const uint32_t bits = layout.bitsPerPixel;
    uint64_t right = 0, bottom = 0, reach = 0, offsetBits = 0, rightBits = 0;
    const char *fault = nullptr;
    if (x.BytesWritten > a.bufferBytes) fault = "more bytes than the buffer holds";
    else if (!x.Columns || !x.Rows) fault = "no pixels";
    else if (!checked::Add(x.XOffset, x.Columns, &right) || !checked::Add(x.YOffset, x.Rows, &bottom) ||
             right > layout.width || bottom > layout.height)
        fault = "pixels outside the image";
    else if (!PixelBytes(x.Columns, bits, pixelBytes) || x.BytesPerRow < *pixelBytes)
        fault = "lines shorter than their pixels";
    else if (!checked::MultiplyAdd(x.BytesPerRow, x.Rows - 1, *pixelBytes, &reach) || reach > x.BytesWritten)
        fault = "more lines than bytes";
    else if (!checked::Multiply(x.XOffset, bits, &offsetBits) || !checked::Multiply(right, bits, &rightBits) ||
             offsetBits % 8 || (right < layout.width && rightBits % 8))
        fault = "a tile that does not begin and end on a whole byte";
    if (!fault) return true;
    return Refuse(why,
                  "the source's strip has %s: BytesPerRow %u, Columns %u, Rows %u, XOffset %u, YOffset %u, "
                  "BytesWritten %u (image %u x %u, buffer %u bytes)",
                  fault, x.BytesPerRow, x.Columns, x.Rows, x.XOffset, x.YOffset, x.BytesWritten, layout.width,
                  layout.height, a.bufferBytes);
}

// The end of the run of lines that `run` begins.
uint32_t RunEnd(const StripAssembly &a, std::map<uint32_t, uint32_t>::const_iterator run) {
    const auto next = std::next(run);
    return next == a.covered.end() ? a.layout.height : next->first;
}

// Each line fills from the left, a strip beginning where the one before it
// on that line ended: the strip's lines lie in one run whose count is its
// XOffset (neighbouring runs differ), which it splits, and merges with a
// neighbour that reaches the same count.
bool CoverLines(StripAssembly *a, const TW_IMAGEMEMXFER &x, std::string *why) {
    std::map<uint32_t, uint32_t> &runs = a->covered;
    const uint32_t top = x.YOffset, bottom = x.YOffset + x.Rows, now = x.XOffset + x.Columns;  // within the image
    auto run = std::prev(runs.upper_bound(top));
    const uint32_t start = run->first, count = run->second, end = RunEnd(*a, run);
    if (count != x.XOffset || end < bottom) {
        const uint32_t line = count != x.XOffset ? top : end, pixels = count != x.XOffset ? count : runs.at(end);
        return pixels > x.XOffset ? Refuse(why, "the source's strips overlap on line %u", line)
                                  : Refuse(why, "the source's strips leave pixels %u to %u of line %u out", pixels,
                                           x.XOffset - 1, line);
    }
    if (bottom < end) runs.emplace_hint(std::next(run), bottom, count);
    if (start < top) run = runs.emplace_hint(std::next(run), top, now);
    else run->second = now;
    const auto after = std::next(run);
    if (after != runs.end() && after->second == now) runs.erase(after);
    if (run != runs.begin() && std::prev(run)->second == now) runs.erase(run);
    const auto first = runs.begin();
    a->complete = first->second == a->layout.width ? RunEnd(*a, first) : 0;
    return true;
}

}  // namespace

bool StripLayoutOf(const TW_IMAGEINFO &info, StripLayout *layout, std::string *why) {
    if (!StripsUncompressed(info.Compression, why)) return false;
    if (info.Planar && info.SamplesPerPixel > 1)
        return Refuse(why, "planar strips (each sample in a plane of its own) are not written");
    if (info.ImageWidth <= 0 || info.ImageLength <= 0)
        return Refuse(why, "frames of %ld x %ld pixels are not written", long(info.ImageWidth),
                      long(info.ImageLength));
    for (const StripForm &form : StripForms) {
        if (!Matches(form, info)) continue;
        layout->samples = form.read;
        layout->bitsPerPixel = form.storedBits;
        layout->width = uint32_t(info.ImageWidth);
        layout->height = uint32_t(info.ImageLength);
        if (!PixelBytes(layout->width, form.storedBits, &layout->lineBytes) ||
            !checked::Multiply(layout->lineBytes, layout->height, &layout->frameBytes))
            return Refuse(why, "a frame of %ld x %ld pixels of %u bits does not fit this program's memory",
                          long(info.ImageWidth), long(info.ImageLength), form.storedBits);
        return true;
    }
    return Refuse(why, "strips of %s, %d sample(s) of %d bits, %d bits a pixel, are not written",
                  CodeName(ICAP_PIXELTYPE, TW_UINT16(info.PixelType)).c_str(), info.SamplesPerPixel,
                  info.BitsPerSample[0], info.BitsPerPixel);
}

bool HasFlavor(const StripLayout &layout) {
    const StripSamples samples = layout.samples;
    return samples == StripSamples::Bilevel || samples == StripSamples::Grey4 || samples == StripSamples::Grey8 ||
           samples == StripSamples::Grey16;
}

bool TakePalette(const TW_PALETTE8 &palette, StripLayout *layout, std::string *why) {
    const bool grey = palette.PaletteType == TWPA_GRAY;
    if (!palette.NumColors || palette.NumColors > 256 || (!grey && palette.PaletteType != TWPA_RGB))
        return Refuse(why, "the source's palette (%u colours of type %u) is not written", palette.NumColors,
                      palette.PaletteType);
    // An index past the palette's end takes its first entry.
    layout->palette.clear();
    for (uint32_t i = 0; i < (1u << std::min(layout->bitsPerPixel, 8u)); ++i) {
        const TW_ELEMENT8 &c = palette.Colors[i < palette.NumColors ? i : 0];
        layout->palette.push_back({c.Channel1, grey ? c.Channel1 : c.Channel2, grey ? c.Channel1 : c.Channel3});
    }
    return true;
}

bool PlanStrips(const StripLayout &layout, const TW_SETUPMEMXFER &setup, StripAssembly *a, std::string *why) {
    a->layout = layout;
    if (setup.MinBufSize > std::max<uint64_t>(layout.frameBytes, MaxStripBuffer))
        return Refuse(why, "the source asks for buffers of at least %u bytes for a frame of %llu", setup.MinBufSize,
                      static_cast<unsigned long long>(layout.frameBytes));
    a->bufferBytes = StripBufferSize(setup, layout.frameBytes);
    a->covered = {{0, 0}};
    return true;
}

bool TakeStrip(StripAssembly *a, const TW_IMAGEMEMXFER &x, const uint8_t *buffer, bool *goesOn, std::string *why) {
    *goesOn = false;
    if (!x.BytesWritten && (!x.Rows || !x.Columns)) {
        if (++a->idleStrips < MaxIdleStrips) return true;
        return Refuse(why, "the source sent %u strips in a row that added nothing to the image", a->idleStrips);
    }
    a->idleStrips = 0;
    uint64_t pixelBytes = 0;
    if (!StripFits(x, *a, &pixelBytes, why)) return false;
    const bool next = !a->holdAll && x.XOffset == 0 && x.Columns == a->layout.width && x.YOffset == a->goneOn;
    // Any other strip is kept without the source's padding; rows x pixelBytes
    // lie within BytesWritten, so the piece is no larger than the strip.
    StripPiece piece{x.XOffset, x.YOffset, x.Columns, x.Rows, size_t(pixelBytes), nullptr};
    if (!next) {
        piece.pixels.reset(new uint8_t[piece.rowBytes * x.Rows]);
        for (uint32_t r = 0; r < x.Rows; ++r)
            memcpy(piece.pixels.get() + size_t(r) * piece.rowBytes, buffer + size_t(r) * x.BytesPerRow, piece.rowBytes);
    }
    if (!CoverLines(a, x, why)) return false;
    *goesOn = next;
    if (next) {
        a->goneOn += x.Rows;
        return true;
    }
    a->keptBytes += uint64_t(piece.rowBytes) * x.Rows;
    a->pieces.emplace(uint32_t{x.YOffset}, std::move(piece));  // a copy: the record is packed
    return true;
}

uint32_t LinesReady(const StripAssembly &a) { return a.holdAll ? 0 : a.complete - a.goneOn; }

uint32_t BandRows(const StripAssembly &a) {
    return uint32_t(std::max<uint64_t>(1, a.bufferBytes / a.layout.lineBytes));
}

uint32_t GatherLines(StripAssembly *a, uint32_t maxRows, uint8_t *lines) {
    const StripLayout &layout = a->layout;
    const uint32_t top = a->goneOn, rows = std::min(maxRows, a->complete - top), bottom = top + rows;
    const size_t lineBytes = size_t(layout.lineBytes);
    // Every piece left reaches below the lines gone on; those that begin
    // above `bottom` hold lines of this band, each line's pieces side by side.
    for (auto at = a->pieces.begin(); at != a->pieces.end() && at->first < bottom;) {
        const StripPiece &piece = at->second;
        const uint32_t end = piece.y + piece.rows;
        uint8_t *place = lines + size_t(uint64_t(piece.x) * layout.bitsPerPixel / 8);
        for (uint32_t y = std::max(piece.y, top); y < std::min(end, bottom); ++y)
            memcpy(place + size_t(y - top) * lineBytes, piece.pixels.get() + size_t(y - piece.y) * piece.rowBytes,
                   piece.rowBytes);
        if (end > bottom) {
            ++at;
            continue;
        }
        a->keptBytes -= uint64_t(piece.rowBytes) * piece.rows;
        at = a->pieces.erase(at);
    }
    a->goneOn = bottom;
    return rows;
}

bool StripsCoverImage(const StripAssembly &a, std::string *why) {
    for (const auto &[line, pixels] : a.covered)
        if (pixels < a.layout.width)
            return Refuse(why, "the strips did not cover the image: line %u has %u of %u pixels", line, pixels,
                          a.layout.width);
    return true;
}
