// qxacquire's strip assembler fed as a memory transfer feeds it. The bytes
// are a source: TW_IMAGEINFO, DAT_SETUPMEMXFER, the palette's count and type,
// a flag byte (bit 0: a large frame's eighths; bit 1: empty strips for ever
// once the bytes run out), then strips, each its TW_IMAGEMEMXFER fields, a
// byte whose bit 0 says TWRC_XFERDONE, and the bytes it writes into the buffer.
#include <algorithm>
#include <cassert>
#include <cstring>

#include "readers/strip_assembler.h"

namespace {

// What every accepted byte is read into, so that no read is left out.
volatile unsigned g_sink;

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
    for (uint32_t i = 0; i < 256; ++i) palette.Colors[i] = {uint8_t(i), uint8_t(i), uint8_t(~i), uint8_t(i * 7)};
    StripLayout layout;
    StripAssembly strips;
    std::string why;
    if (!StripLayoutOf(info, &layout, &why)) return 0;
    assert(layout.width == uint32_t(info.ImageWidth) && layout.lineBytes * layout.height == layout.frameBytes);
    if (layout.samples == StripSamples::Palette && !TakePalette(palette, &layout, &why)) return 0;
    if (!PlanStrips(layout, setup, flags & 1, &strips, &why) || strips.memoryBytes > MaxMemory) return 0;
    assert(strips.bufferBytes && strips.memoryBytes == layout.frameBytes + strips.bufferBytes);
    BeginStrips(&strips, {});
    for (uint32_t fed = 0;;) {
        uint8_t *buffer = NextStripBuffer(strips);
        assert(buffer >= strips.memory.data() &&
               buffer + strips.bufferBytes <= strips.memory.data() + strips.memory.size());
        TW_IMAGEMEMXFER x = {};
        uint8_t done = 0;
        const bool given = in.Take(&x, offsetof(TW_IMAGEMEMXFER, Memory)) && in.Take(&done, 1);
        if (!given && !(flags & 2)) return 0;
        if (given) {
            const uint32_t written = x.BytesWritten;  // not bound by reference: the record is packed
            const size_t bytes = std::min<size_t>(in.left, std::min(written, strips.bufferBytes));
            in.Take(buffer, bytes);
        } else {
            // A source that answers TWRC_SUCCESS with nothing, for ever, is ended.
            x = {};
            done = 0;
            assert(++fed <= MaxIdleStrips);
        }
        if (!TakeStrip(&strips, x, &why)) return assert(!why.empty()), 0;
        if (done & 1) break;
    }
    if (!StripsCoverImage(strips, &why)) return 0;
    // Accepted: every pixel came, and every line lies in the memory and is read.
    for (uint32_t y = 0; y < layout.height; ++y) assert(strips.covered[y] == layout.width);
    assert(strips.memory.size() >= layout.frameBytes);
    assert(layout.samples != StripSamples::Palette || layout.palette.size() == 1u << layout.bitsPerPixel);
    unsigned sum = 0;
    for (uint64_t i = 0; i < layout.frameBytes; ++i) sum += strips.memory[size_t(i)];
    g_sink = sum;
    return 0;
}
