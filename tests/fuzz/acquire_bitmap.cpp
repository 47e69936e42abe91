// qxacquire's bitmap reader: the input is a packed bitmap block, as a source
// hands one over. What the reader accepts must lie inside the block, in
// order, and reading it (the colours, every row byte, the rows as the writer
// copies them) must touch nothing outside it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "readers/dib_reader.h"

namespace {

void Require(bool holds) {
    if (!holds) abort();
}

volatile uint32_t sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Exactly sized: a read past its end is the sanitizer's to see.
    std::unique_ptr<uint8_t[]> block(new uint8_t[size]);
    if (size) memcpy(block.get(), data, size);
    dib::Layout dib;
    std::string why;
    if (!dib::Read(block.get(), size, &dib, &why)) {
        Require(!why.empty());
        return 0;
    }
    // Header, masks, colours and rows in order inside the block (no sum here can wrap).
    Require(dib.width && dib.height && dib.headerBytes >= 40 && dib.paletteOffset >= dib.headerBytes);
    Require(dib.paletteOffset <= dib.pixelOffset && dib.pixelOffset <= size);
    Require(dib.pixelOffset - dib.paletteOffset == uint64_t(dib.entries) * 4);
    // BI_BITFIELDS masks in a header that holds them, or counted behind a 40-byte one.
    Require(!dib.bitfields || dib.headerBytes >= 52 || dib.paletteOffset == 52);
    Require(dib.stride % 4 == 0 && dib.stride >= (uint64_t(dib.width) * dib.bits + 7) / 8);
    Require(dib.height <= (size - dib.pixelOffset) / dib.stride && dib.bytes == dib.pixelOffset + dib.stride * dib.height);
    uint32_t sum = 0;
    for (uint64_t at = dib.pixelOffset; at < dib.bytes; ++at) sum += block[at];
    for (uint32_t i = 0; i <= dib.entries && i <= 256; ++i) {
        const dib::Colour c = dib::PaletteColour(block.get(), dib, i);
        sum += c.r + c.g + c.b;
    }
    sum += dib::GreyRamp(block.get(), dib, false) + dib::GreyRamp(block.get(), dib, true);
    const std::vector<uint8_t> words = dib.bits == 16 ? dib::Rgb16Table(dib) : std::vector<uint8_t>();
    // A channel's whole mask is its brightest level, none of it its darkest.
    for (int k = 0; k < 3 && dib.bits == 16; ++k) Require(words[dib.masks[2 - k] * 4 + k] == 255 && words[k] == 0);
    // In two bands, as the writers take them.
    const size_t rowBytes = size_t(dib::RowBytesOut(dib));
    std::vector<uint8_t> rows(rowBytes * dib.height);
    for (uint32_t first : {0u, dib.height / 2}) {
        const uint32_t count = first ? dib.height - first : dib.height / 2;
        const uint8_t *stored = block.get() + dib.pixelOffset + dib::StoredRow(dib, first, count) * dib.stride;
        dib::CopyRows(stored, dib, count, reinterpret_cast<const uint8_t(*)[4]>(words.data()), &rows[first * rowBytes]);
    }
    for (uint8_t byte : rows) sum += byte;
    // Its headers and colours alone, as read from a file ahead of the rows:
    // the same layout, and refused one byte short.
    std::unique_ptr<uint8_t[]> headers(new uint8_t[size_t(dib.pixelOffset)]);
    memcpy(headers.get(), block.get(), size_t(dib.pixelOffset));
    dib::Layout alone;
    Require(dib::ReadHeaders(headers.get(), dib.pixelOffset, size, &alone, &why) && alone.bytes == dib.bytes);
    Require(!dib::ReadHeaders(headers.get(), dib.pixelOffset - 1, size, &alone, &why));
    sink = sum;
    return 0;
}
