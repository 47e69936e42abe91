// The memory transfer's strips checked and put in place; every size the
// source hands over is taken through checked_size.h.
#include "readers/strip_assembler.h"

#include <algorithm>
#include <cstring>

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

uint32_t StripBufferSize(const TW_SETUPMEMXFER &setup, uint64_t frameBytes, bool inEighths) {
    uint32_t minimum = setup.MinBufSize ? setup.MinBufSize : 1;
    uint32_t wanted = setup.Preferred ? setup.Preferred : setup.MaxBufSize;
    if (inEighths) wanted /= 8;
    uint32_t size = wanted / minimum * minimum;
    if (size < minimum) size = minimum;
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

bool PlanStrips(const StripLayout &layout, const TW_SETUPMEMXFER &setup, bool inEighths, StripAssembly *a,
                std::string *why) {
    a->layout = layout;
    const uint64_t frameBytes = layout.frameBytes;
    uint64_t coveredBytes = 0, total = 0;
    if (setup.MinBufSize > std::max<uint64_t>(frameBytes, MaxStripBuffer))
        return Refuse(why, "the source asks for buffers of at least %u bytes for a frame of %llu", setup.MinBufSize,
                      static_cast<unsigned long long>(frameBytes));
    a->bufferBytes = StripBufferSize(setup, frameBytes, inEighths);
    // The image, one strip buffer and a count a line, in this process's memory.
    if (!checked::Add(frameBytes, a->bufferBytes, &a->memoryBytes) ||
        !checked::Multiply(layout.height, sizeof(uint32_t), &coveredBytes) ||
        !checked::Add(a->memoryBytes, coveredBytes, &total))
        return Refuse(why, "a frame of %u x %u pixels of %u bits does not fit this program's memory", layout.width,
                      layout.height, layout.bitsPerPixel);
    return true;
}

void BeginStrips(StripAssembly *a, std::vector<uint8_t> memory) {
    a->memory = std::move(memory);
    a->memory.resize(size_t(a->memoryBytes));
    a->covered.assign(a->layout.height, 0);
    a->inPlace = 0;
    a->inOrder = true;
    a->idleStrips = 0;
}

uint8_t *NextStripBuffer(StripAssembly &a) {
    return a.memory.data() + size_t(a.inOrder ? a.inPlace : a.layout.frameBytes);
}

bool TakeStrip(StripAssembly *a, const TW_IMAGEMEMXFER &x, std::string *why) {
    if (!x.BytesWritten && (!x.Rows || !x.Columns)) {
        if (++a->idleStrips < MaxIdleStrips) return true;
        return Refuse(why, "the source sent %u strips in a row that added nothing to the image", a->idleStrips);
    }
    a->idleStrips = 0;
    uint64_t pixelBytes = 0;
    if (!StripFits(x, *a, &pixelBytes, why)) return false;
    // Each line fills from the left, a strip beginning where the one before it on that line ended.
    const StripLayout &layout = a->layout;
    for (uint32_t r = 0; r < x.Rows; ++r) {
        uint32_t &pixels = a->covered[x.YOffset + r];
        if (pixels != x.XOffset)
            return pixels > x.XOffset
                       ? Refuse(why, "the source's strips overlap on line %u", x.YOffset + r)
                       : Refuse(why, "the source's strips leave pixels %u to %u of line %u out", pixels,
                                x.XOffset - 1, x.YOffset + r);
        pixels += x.Columns;
    }
    // The lines lie lineBytes apart, without the source's padding. Strips of
    // whole unpadded lines in order are received where they belong; the
    // first other strip (padded, a tile, out of order) is moved behind the
    // image, where every later strip is received, and lines are copied from there.
    uint8_t *image = a->memory.data(), *received = NextStripBuffer(*a);
    uint8_t *place = image + size_t(uint64_t(x.YOffset) * layout.lineBytes + uint64_t(x.XOffset) * layout.bitsPerPixel / 8);
    const bool whole = x.Columns == layout.width && x.BytesPerRow == layout.lineBytes;
    if (whole && place == received) {
        a->inPlace = (uint64_t(x.YOffset) + x.Rows) * layout.lineBytes;
        return true;
    }
    const uint8_t *from = image + size_t(a->layout.frameBytes);
    if (a->inOrder) memmove(image + size_t(a->layout.frameBytes), received, x.BytesWritten);
    a->inOrder = false;
    for (uint32_t r = 0; r < x.Rows; ++r)
        memcpy(place + size_t(r) * size_t(layout.lineBytes), from + size_t(r) * x.BytesPerRow, size_t(pixelBytes));
    return true;
}

bool StripsCoverImage(const StripAssembly &a, std::string *why) {
    for (uint32_t y = 0; y < a.layout.height; ++y)
        if (a.covered[y] < a.layout.width)
            return Refuse(why, "the strips did not cover the image: line %u has %u of %u pixels", y, a.covered[y],
                          a.layout.width);
    return true;
}
