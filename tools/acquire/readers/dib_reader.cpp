#include "readers/dib_reader.h"

#include <algorithm>
#include <cstring>

#include "readers/checked_size.h"
#include "grey_level.h"
#include "pixel_kernels.h"
#include "readers/text_format.h"

namespace dib {

namespace {

constexpr uint32_t InfoHeaderBytes = 40;
// A header that holds the R, G, B masks after the 40 bytes (BITMAPV2INFOHEADER and longer).
constexpr uint32_t MaskHeaderBytes = 52;
constexpr uint32_t MasksBytes = 12;
constexpr uint32_t EntryBytes = 4;

// biCompression
enum : uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, Bitfields = 3, Jpeg = 4, Png = 5 };

uint32_t Get32(const uint8_t *at) { return at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24; }
uint32_t Get16(const uint8_t *at) { return at[0] | at[1] << 8; }

const char *CompressionName(uint32_t compression) {
    switch (compression) {
    case Rle8: return "BI_RLE8";
    case Rle4: return "BI_RLE4";
    case Jpeg: return "BI_JPEG";
    case Png: return "BI_PNG";
    default: return "an unknown compression";
    }
}

// A mask of one run of ones, within a 16-bit word.
bool Contiguous16(uint32_t mask) {
    if (!mask || mask > 0xFFFF) return false;
    const uint32_t lowest = mask & (~mask + 1);  // its lowest set bit: ~mask + 1 cannot wrap, mask being non-zero
    const uint32_t run = mask / lowest;            // shifted down to that bit
    return !(run & (run + 1));
}

// The masks, after the sizes are known to fit: those 16-bit and 32-bit
// bitmaps have that this program writes.
bool CheckMasks(const uint8_t *block, Layout *dib, std::string *why) {
    if (dib->bitfields)
        for (int k = 0; k < 3; ++k) dib->masks[k] = Get32(block + InfoHeaderBytes + k * 4);
    if (dib->bits == 16 && !dib->bitfields) {
        dib->masks[0] = 0x7C00, dib->masks[1] = 0x03E0, dib->masks[2] = 0x001F;
    } else if (dib->bits == 16) {
        if (!Contiguous16(dib->masks[0]) || !Contiguous16(dib->masks[1]) || !Contiguous16(dib->masks[2]))
            return Refuse(why, "16-bit bitmaps with the masks %04X %04X %04X are not written", dib->masks[0],
                          dib->masks[1], dib->masks[2]);
    } else if (dib->bits == 32 && dib->bitfields &&
               (dib->masks[0] != 0xFF0000 || dib->masks[1] != 0xFF00 || dib->masks[2] != 0xFF)) {
        return Refuse(why, "32-bit bitmaps with the masks %06X %06X %06X are not written", dib->masks[0],
                      dib->masks[1], dib->masks[2]);
    }
    return true;
}

}  // namespace

bool Read(const uint8_t *block, uint64_t size, Layout *dib, std::string *why) {
    return ReadHeaders(block, size, size, dib, why);
}

bool ReadHeaders(const uint8_t *block, uint64_t available, uint64_t size, Layout *dib, std::string *why) {
    *dib = Layout{};
    if (available < InfoHeaderBytes || size < available)
        return Refuse(why, "the source's bitmap is %llu bytes: no room for its header",
                      static_cast<unsigned long long>(std::min(available, size)));
    const uint32_t headerBytes = Get32(block), bits = Get16(block + 14), compression = Get32(block + 16);
    const int32_t width = int32_t(Get32(block + 4)), height = int32_t(Get32(block + 8));
    const uint32_t colours = Get32(block + 32);
    if (headerBytes < InfoHeaderBytes || headerBytes > size)
        return Refuse(why, "the source's bitmap has a header of %u bytes in %llu", headerBytes,
                      static_cast<unsigned long long>(size));
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return Refuse(why, "the source's bitmap is %d x %d pixels", width, height);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return Refuse(why, "bitmaps of %u bits a pixel are not written", bits);
    dib->bitfields = compression == Bitfields;
    if (compression != Rgb && !(dib->bitfields && (bits == 16 || bits == 32)))
        return Refuse(why, "bitmaps compressed by %s (%u) are not written", CompressionName(compression), compression);
    if (bits <= 8 && colours > (1u << bits))
        return Refuse(why, "the source's %u-bit bitmap claims %u colours", bits, colours);
    // The masks lie in a header that holds them, or follow a 40-byte one; any
    // other header would leave them in bytes it does not count.
    if (dib->bitfields && headerBytes > InfoHeaderBytes && headerBytes < MaskHeaderBytes)
        return Refuse(why, "the source's BI_BITFIELDS bitmap has a header of %u bytes, with no room for its masks",
                      headerBytes);
    dib->headerBytes = headerBytes;
    dib->width = uint32_t(width);
    dib->bottomUp = height > 0;
    dib->height = dib->bottomUp ? uint32_t(height) : uint32_t(-int64_t(height));
    dib->bits = bits;
    // A colour table of biClrUsed entries at any depth; all the depth's when 0 up to 8 bits.
    dib->entries = bits <= 8 && !colours ? 1u << bits : colours;
    const uint32_t masksBytes = dib->bitfields && headerBytes == InfoHeaderBytes ? MasksBytes : 0;
    uint64_t rowBits = 0;
    bool fits = checked::Add(headerBytes, masksBytes, &dib->paletteOffset) &&
                checked::MultiplyAdd(dib->entries, EntryBytes, dib->paletteOffset, &dib->pixelOffset) &&
                checked::MultiplyAdd(dib->width, bits, 31, &rowBits);
    dib->stride = rowBits / 32 * 4;
    fits = fits && checked::MultiplyAdd(dib->stride, dib->height, dib->pixelOffset, &dib->bytes);
    if (!fits || dib->bytes > size) {
        char said[64] = "more bytes than this program can hold";
        if (fits) snprintf(said, sizeof said, "%llu bytes", static_cast<unsigned long long>(dib->bytes));
        return Refuse(why,
                      "the source's bitmap does not fit its memory: its header says %s (%u header, %u colours, "
                      "%u x %u pixels of %u bits), the memory holds %llu",
                      said, headerBytes, dib->entries, dib->width, dib->height, bits,
                      static_cast<unsigned long long>(size));
    }
    if (dib->pixelOffset > available)
        return Refuse(why, "the source's bitmap has %llu bytes of headers and colours, past the %llu read",
                      static_cast<unsigned long long>(dib->pixelOffset), static_cast<unsigned long long>(available));
    return CheckMasks(block, dib, why);
}

Colour PaletteColour(const uint8_t *block, const Layout &dib, uint32_t i) {
    if (!dib.entries) return {0, 0, 0};
    const uint8_t *entry = block + dib.paletteOffset + uint64_t(i < dib.entries ? i : 0) * EntryBytes;
    return {entry[2], entry[1], entry[0]};
}

bool GreyRamp(const uint8_t *block, const Layout &dib, bool reversed) {
    if (dib.bits > 8) return false;
    const uint32_t top = (1u << dib.bits) - 1;
    if (dib.entries != top + 1) return false;
    for (uint32_t i = 0; i <= top; ++i) {
        const Colour c = PaletteColour(block, dib, i);
        const uint8_t level = GreyLevel(i, dib.bits, reversed);
        if (c.r != level || c.g != level || c.b != level) return false;
    }
    return true;
}

uint64_t RowBytesOut(const Layout &dib) {
    return dib.bits == 16 ? uint64_t(dib.width) * 3 : (uint64_t(dib.width) * dib.bits + 7) / 8;
}

std::vector<uint8_t> Rgb16Table(const Layout &dib) {
    std::vector<uint8_t> table(65536 * 4);
    for (int k = 0; k < 3; ++k) {
        const uint32_t mask = dib.masks[2 - k];  // B, G, R
        unsigned shift = 0, width = 0;
        while (mask && !(mask >> shift & 1)) ++shift;
        while (mask >> shift >> width) ++width;
        // Every level of the channel, widened.
        std::vector<uint8_t> levels(size_t(1) << width);
        for (uint32_t v = 0; v < levels.size(); ++v) {
            uint32_t out = 0;
            for (int at = 8 - int(width); width && at > -int(width); at -= int(width)) out |= at >= 0 ? v << at : v >> -at;
            levels[v] = uint8_t(out);
        }
        uint8_t *entry = table.data() + k;
        for (uint32_t word = 0; word < 65536; ++word, entry += 4) *entry = levels[(word & mask) >> shift];
    }
    return table;
}

uint64_t StoredRow(const Layout &dib, uint32_t first, uint32_t count) {
    return dib.bottomUp ? uint64_t(dib.height) - first - count : first;
}

void CopyRows(const uint8_t *rows, const Layout &dib, uint32_t count, const uint8_t (*words)[4], uint8_t *out) {
    const size_t rowBytes = size_t(RowBytesOut(dib)), stride = size_t(dib.stride);
    for (uint32_t y = 0; y < count; ++y, out += rowBytes) {
        const uint8_t *in = rows + size_t(dib.bottomUp ? count - 1 - y : y) * stride;
        if (dib.bits == 16) LookUpWords(out, in, dib.width, words, 3);
        // Rows of 1, 4 and 8 bits hold their pixels packed from the first
        // byte's high bits on, as PNG and TIFF rows do: the first
        // (width x bits + 7) / 8 bytes hold every pixel whole, and lie within
        // the stride. At 1 bit the last byte's bits past the width are the
        // row's padding: they go out as they came, and PNG and TIFF, which pad
        // a row's last byte the same way, read only width pixels of a row.
        else memcpy(out, in, rowBytes);
    }
}

}  // namespace dib
