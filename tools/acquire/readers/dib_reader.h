// A native transfer's bitmap read from its bytes: a packed DIB (a header of
// 40 bytes or longer, the BI_BITFIELDS masks, the colour table, the rows),
// every part of it counted and checked to lie inside the block before a byte
// behind the header is read. Windows-free: locking the block, and reading a
// DIB section through GDI, stay with the caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dib {

// What the reader found, every offset from the header's first byte.
struct Layout {
    uint32_t headerBytes = 0;  // biSize
    uint32_t width = 0, height = 0;
    uint32_t bits = 0;       // 1, 4, 8, 16, 24 or 32
    bool bitfields = false;  // BI_BITFIELDS
    uint32_t masks[3] = {};  // R, G, B of 16 and 32 bits (5-5-5 for a 16-bit BI_RGB)
    bool bottomUp = true;
    uint32_t entries = 0;  // of the colour table, 4 bytes each (B, G, R, 0)
    uint64_t paletteOffset = 0;
    uint64_t pixelOffset = 0;
    uint64_t stride = 0;  // a row, padded to 4 bytes
    uint64_t bytes = 0;   // to the end of the last row
};

// The layout of the `size` bytes at `block`; false, with *why saying what the
// source's bitmap is, for one that does not fit its block or is not written.
bool Read(const uint8_t *block, uint64_t size, Layout *layout, std::string *why);
// As Read, for a bitmap of `size` bytes of which only the first `available`
// are at `block` (the headers and colour table of one whose rows stay in a
// file); false also when those need more than `available` bytes.
bool ReadHeaders(const uint8_t *block, uint64_t available, uint64_t size, Layout *layout, std::string *why);

struct Colour {
    uint8_t r, g, b;
};
// Entry i of the colour table; an index past its end takes the first entry.
Colour PaletteColour(const uint8_t *block, const Layout &dib, uint32_t i);

// Whether the colour table is the depth's ramp of grey levels, every entry
// there, entry 0 black (white when reversed).
bool GreyRamp(const uint8_t *block, const Layout &dib, bool reversed);

// Bytes of an image row as CopyRows writes it: 16-bit pixels as B, G, R;
// others as they are, without the padding.
uint64_t RowBytesOut(const Layout &dib);

// For 16-bit bitmaps: the B, G, R of every 16-bit word under the masks, each
// channel widened to 8 bits by repeating its bits; 65536 entries of 4 bytes.
std::vector<uint8_t> Rgb16Table(const Layout &dib);

// The first of the rows as stored (stride apart, bottom line first when
// bottom-up) that hold lines first .. first + count - 1.
uint64_t StoredRow(const Layout &dib, uint32_t first, uint32_t count);

// `count` lines, top line first, RowBytesOut apart from `out` on, from the
// stored rows at `rows` that hold them (StoredRow); 16-bit pixels through
// `words` (Rgb16Table), others copied.
void CopyRows(const uint8_t *rows, const Layout &dib, uint32_t count, const uint8_t (*words)[4], uint8_t *out);

}  // namespace dib
