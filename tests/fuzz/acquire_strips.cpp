// qxacquire's strip assembler fed as a memory transfer feeds it. The bytes
// are a source: TW_IMAGEINFO, DAT_SETUPMEMXFER, the palette's count and type,
// a flag byte (bit 0: the frame is held whole until its last strip; bit 1:
// empty strips for ever once the bytes run out), then strips, each its
// TW_IMAGEMEMXFER fields, a byte whose bit 0 says TWRC_XFERDONE, and the
// bytes it writes into the buffer. Every strip is also placed naively into
// a whole frame by the rules strips follow; the assembler must accept what
// those rules accept, and the lines it hands on, as they came or put
// together, must be that frame byte for byte.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>
#include <vector>

#include "readers/strip_assembler.h"

namespace {

struct Input {
    const uint8_t *at;
    size_t left;
    bool Take(void *out, size_t bytes) {
        if (left < bytes) return false;
        memcpy(out, at, bytes);
        at += bytes, left -= bytes;
        return true;
    }
};

// What the process would not have memory for is not asked of the fuzzer either.
constexpr uint64_t MaxMemory = 4u << 20;

// The naive frame: every line's pixels received, and the bytes.
struct NaiveFrame {
    std::vector<uint32_t> covered;
    std::vector<uint8_t> bytes;
};

// Whether strip x is one the rules allow, and if so placed into the naive frame.
bool PlaceNaively(NaiveFrame &frame, const StripLayout &layout, uint64_t bufferBytes, const TW_IMAGEMEMXFER &x,
                  const uint8_t *buffer) {
    const uint64_t bits = layout.bitsPerPixel, right = uint64_t(x.XOffset) + x.Columns;
    const uint64_t pixelBytes = (x.Columns * bits + 7) / 8;
    if (x.Compression != TWCP_NONE || x.BytesWritten > bufferBytes || !x.Columns || !x.Rows ||
        right > layout.width || uint64_t(x.YOffset) + x.Rows > layout.height || x.BytesPerRow < pixelBytes ||
        uint64_t(x.BytesPerRow) * (x.Rows - 1) + pixelBytes > x.BytesWritten || x.XOffset * bits % 8 ||
        (right < layout.width && right * bits % 8))
        return false;
    for (uint32_t r = 0; r < x.Rows; ++r)
        if (frame.covered[x.YOffset + r] != x.XOffset) return false;
    for (uint32_t r = 0; r < x.Rows; ++r) {
        frame.covered[x.YOffset + r] += x.Columns;
        memcpy(&frame.bytes[(x.YOffset + r) * layout.lineBytes + x.XOffset * bits / 8],
               buffer + size_t(r) * x.BytesPerRow, pixelBytes);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input in{data, size};
    TW_IMAGEINFO info;
    TW_SETUPMEMXFER setup;
    TW_PALETTE8 palette = {};
    uint8_t flags = 0;
    if (!in.Take(&info, sizeof info) || !in.Take(&setup, sizeof setup) || !in.Take(&palette, 4) ||
        !in.Take(&flags, 1))
        return 0;
    for (uint32_t i = 0; i < 256; ++i)
        palette.Colors[i] = {uint8_t(i), uint8_t(i), uint8_t(~i & 0xFF), uint8_t(i * 7 & 0xFF)};
    StripLayout layout;
    StripAssembly a;
    std::string why;
    if (!StripLayoutOf(info, &layout, &why)) return 0;
    assert(layout.width == uint32_t(info.ImageWidth) && layout.lineBytes * layout.height == layout.frameBytes);
    if (layout.samples == StripSamples::Palette && !TakePalette(palette, &layout, &why)) return 0;
    if (layout.frameBytes > MaxMemory || !PlanStrips(layout, setup, &a, &why) || a.bufferBytes > MaxMemory) return 0;
    assert(a.bufferBytes && a.bufferBytes <= std::max(StripTargetBytes, setup.MinBufSize));
    assert(layout.samples != StripSamples::Palette || layout.palette.size() == 1u << layout.bitsPerPixel);
    a.holdAll = flags & 1;
    const size_t lineBytes = size_t(layout.lineBytes);
    NaiveFrame naive{std::vector<uint32_t>(layout.height), std::vector<uint8_t>(size_t(layout.frameBytes))};
    std::vector<uint8_t> handedOn(size_t(layout.frameBytes));
    uint32_t linesOn = 0;
    uint64_t arrived = 0;
    // Lines put together into a block of exactly their size, as the transfer does between strips.
    auto gather = [&](uint32_t maxRows) {
        std::unique_ptr<uint8_t[]> band(new uint8_t[size_t(maxRows) * lineBytes]);
        const uint32_t rows = GatherLines(&a, maxRows, band.get());
        assert(rows && rows <= maxRows && linesOn + rows <= layout.height);
        memcpy(&handedOn[linesOn * lineBytes], band.get(), rows * lineBytes);
        linesOn += rows;
    };
    const uint32_t bandRows = BandRows(a);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[a.bufferBytes]);
    for (uint32_t fed = 0;;) {
        TW_IMAGEMEMXFER x = {};
        uint8_t done = 0;
        const bool given = in.Take(&x, offsetof(TW_IMAGEMEMXFER, Memory)) && in.Take(&done, 1);
        if (!given && !(flags & 2)) return 0;
        if (given) {
            const uint32_t written = x.BytesWritten;  // not bound by reference: the record is packed
            in.Take(buffer.get(), std::min<size_t>(in.left, std::min(written, a.bufferBytes)));
        } else {
            // A source that answers TWRC_SUCCESS with nothing, for ever, is ended.
            x = {}, done = 0;
            assert(++fed <= MaxIdleStrips);
        }
        const bool idle = !x.BytesWritten && (!x.Rows || !x.Columns);
        const bool allowed = idle ? a.idleStrips + 1 < MaxIdleStrips
                                  : PlaceNaively(naive, layout, a.bufferBytes, x, buffer.get());
        bool goesOn = false;
        const bool taken = TakeStrip(&a, x, buffer.get(), &goesOn, &why);
        assert(taken == allowed && (taken || !why.empty()));
        if (!taken) return 0;
        if (goesOn) {
            assert(!a.holdAll && x.YOffset == linesOn && x.XOffset == 0 && x.Columns == layout.width);
            for (uint32_t r = 0; r < x.Rows; ++r, ++linesOn)
                memcpy(&handedOn[linesOn * lineBytes], buffer.get() + size_t(r) * x.BytesPerRow, lineBytes);
        }
        // What is kept is never more than what arrived.
        arrived += idle ? 0 : x.BytesWritten;
        assert(a.keptBytes <= arrived && (a.keptBytes == 0) == a.pieces.empty());
        while (LinesReady(a)) gather(bandRows);
        assert(!a.holdAll || linesOn == 0);
        if (done & 1) break;
    }
    uint32_t shortLine = 0;
    while (shortLine < layout.height && naive.covered[shortLine] == layout.width) ++shortLine;
    const bool covered = StripsCoverImage(a, &why);
    assert(covered == (shortLine == layout.height));
    if (!covered) return assert(why.find("line " + std::to_string(shortLine) + " has") != std::string::npos), 0;
    // The rest goes on in bands of any size; then the frame is the naive one.
    for (uint32_t rows = 1; linesOn < layout.height; rows = rows * 3 % 61 + 1) gather(rows);
    assert(a.pieces.empty() && a.keptBytes == 0);
    assert(handedOn == naive.bytes);
    return 0;
}
