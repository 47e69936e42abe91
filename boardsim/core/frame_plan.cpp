// The frame patterns. Each row of a frame is a copy of a precomputed line
// (ramp and noise: a window into a longer line; bars: one line; checker: one
// of two; target: a window into a grey line with the crosshair, then the
// disc's chord), so a frame costs about one memcpy of the image.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#include "frame_plan.h"
#include "pixel_kernels.h"

namespace {

// A pixel as the board stores it, in its first bytes_per_pixel bytes.
using Pixel = std::array<uint8_t, 4>;
static_assert(sizeof(Pixel) == 4, "rows of Pixel are rows of 4-byte pixels");

bool IsColour(const QxsSettings &s) { return s.depth >= 24; }

uint32_t FullScale(const QxsSettings &s) { return IsColour(s) ? 255 : (1u << s.depth) - 1; }

// A grey sample as stored: little-endian, with ones above the depth when
// `high_bits` asks for them.
Pixel Grey(const QxsSettings &s, uint32_t v) {
    if (s.highBits && (s.depth == 10 || s.depth == 12 || s.depth == 14)) v |= ~FullScale(s);
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

Pixel Colour(uint8_t b, uint8_t g, uint8_t r) { return {b, g, r, 0}; }

// The same fraction of full scale in grey or in every colour.
Pixel Level(const QxsSettings &s, uint32_t num, uint32_t den) {
    uint32_t v = (FullScale(s) * uint64_t(num) + den / 2) / den;
    return IsColour(s) ? Colour(uint8_t(v), uint8_t(v), uint8_t(v)) : Grey(s, v);
}

// Pixels of the board's size in a line of prepared pixels.
struct LineWriter {
    uint8_t *at;
    uint32_t bpp;
    void Fill(size_t from, size_t count, const Pixel &p) const {
        RepeatPixel(at + from * bpp, p.data(), bpp, count);
    }
    // Pixels computed one by one, stored at the board's size from the start.
    void Put(const std::vector<Pixel> &pixels) const {
        NarrowPixels(at, pixels[0].data(), pixels.size(), bpp, 0xFF);
    }
};

// The noise's hashes compute modulo 2^64 by design: their sums and products
// wrap, and only these two helpers may (the fuzzers' integer checks flag any
// other unsigned wrap).
#if defined(__clang__)
#define QX_WRAPS_BY_DESIGN __attribute__((no_sanitize("unsigned-integer-overflow")))
#else
#define QX_WRAPS_BY_DESIGN
#endif
QX_WRAPS_BY_DESIGN uint64_t WrappingAdd(uint64_t a, uint64_t b) { return a + b; }
QX_WRAPS_BY_DESIGN uint64_t WrappingMultiply(uint64_t a, uint64_t b) { return a * b; }

uint64_t SplitMix(uint64_t &state) {
    uint64_t z = state = WrappingAdd(state, 0x9E3779B97F4A7C15ull);
    z = WrappingMultiply(z ^ (z >> 30), 0xBF58476D1CE4E5B9ull);
    z = WrappingMultiply(z ^ (z >> 27), 0x94D049BB133111EBull);
    return z ^ (z >> 31);
}

constexpr uint32_t NoisePeriod = 65521;  // prime: row starts rarely repeat

uint32_t NoiseRowStart(uint32_t seed, uint32_t y, uint32_t n) {
    uint64_t state = (uint64_t(seed) << 32 | n) ^ WrappingMultiply(y, 0xD1B54A32D192ED03ull);
    return uint32_t(SplitMix(state) % NoisePeriod);
}

// Lines of each pattern (see FramePlan).
void PrepareRamp(FramePlan &p) {
    const QxsSettings &s = p.settings;
    p.period = IsColour(s) ? 256 : 1u << s.depth;
    const size_t count = size_t(p.period) + s.width;
    std::vector<Pixel> pixels(count);
    for (size_t i = 0; i < count; ++i) {
        if (IsColour(s))
            for (uint32_t k = 0; k < 4; ++k) pixels[i][k] = uint8_t(i + 80 * k);
        else
            pixels[i] = Grey(s, uint32_t(i) & (p.period - 1));
    }
    p.lines.resize(count * s.bytesPerPixel);
    LineWriter{p.lines.data(), s.bytesPerPixel}.Put(pixels);
}

void PrepareNoise(FramePlan &p) {
    const QxsSettings &s = p.settings;
    p.period = NoisePeriod;
    const size_t count = size_t(p.period) + s.width;
    std::vector<Pixel> pixels(count);
    uint64_t state = s.seed;
    for (Pixel &pixel : pixels) {
        uint64_t r = SplitMix(state);
        pixel = IsColour(s) ? Colour(uint8_t(r), uint8_t(r >> 8), uint8_t(r >> 16))
                            : Grey(s, uint32_t(r) & FullScale(s));
    }
    p.lines.resize(count * s.bytesPerPixel);
    LineWriter{p.lines.data(), s.bytesPerPixel}.Put(pixels);
}

void PrepareBars(FramePlan &p) {
    const QxsSettings &s = p.settings;
    // White, yellow, cyan, green, magenta, red, blue, black (as B, G, R).
    static constexpr uint8_t Bars[8][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                           {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0}};
    p.lines.resize(p.pixelBytes);
    LineWriter line{p.lines.data(), s.bytesPerPixel};
    // Bar b covers the x with floor(8x / width) = b.
    for (uint32_t bar = 0; bar < 8; ++bar) {
        const size_t first = (size_t(bar) * s.width + 7) / 8;
        const size_t end = (size_t(bar + 1) * s.width + 7) / 8;
        line.Fill(first, end - first,
                  IsColour(s) ? Colour(Bars[bar][0], Bars[bar][1], Bars[bar][2]) : Level(s, bar, 7));
    }
}

void PrepareChecker(FramePlan &p) {
    const QxsSettings &s = p.settings;
    p.lines.resize(2 * p.pixelBytes);
    const Pixel black = Level(s, 0, 1), white = Level(s, 1, 1);
    for (uint32_t phase = 0; phase < 2; ++phase) {
        LineWriter line{p.lines.data() + phase * p.pixelBytes, s.bytesPerPixel};
        for (size_t x = 0; x < s.width; x += 16)
            line.Fill(x, std::min<size_t>(16, s.width - x), ((x / 16 + phase) & 1) ? white : black);
    }
}

void PrepareTarget(FramePlan &p) {
    const QxsSettings &s = p.settings;
    const uint32_t shorter = std::min(s.width, s.height);
    p.radius = std::max(1u, shorter / 8);
    p.thickness = std::max(1u, shorter / 128);
    const size_t w = s.width;
    p.crossLine = 0;
    p.blackRow = 2 * w;
    p.whiteRun = p.blackRow + w;
    p.blackRun = p.whiteRun + 2 * p.radius + 1;
    p.lines.resize((p.blackRun + p.thickness) * s.bytesPerPixel);
    LineWriter line{p.lines.data(), s.bytesPerPixel};
    const Pixel black = Level(s, 0, 1), grey = Level(s, 1, 2), white = Level(s, 1, 1);
    line.Fill(p.crossLine, 2 * w, grey);
    line.Fill(p.crossLine + w - p.thickness / 2, p.thickness, black);
    line.Fill(p.blackRow, w, black);
    line.Fill(p.whiteRun, 2 * p.radius + 1, white);
    line.Fill(p.blackRun, p.thickness, black);
}

bool PreparePlayback(FramePlan &p, std::string *why) {
    const QxsSettings &s = p.settings;
    std::vector<qximg::DecodedImage> decoded;
    if (!DecodePlaybackFiles(s.frames, &decoded, why)) return false;
    // Grey from the luminance of the 8-bit colour, scaled to the depth.
    uint8_t greys[256][4];
    for (uint32_t v = 0; v < 256; ++v) memcpy(greys[v], Level(s, v, 255).data(), 4);
    const uint32_t bpp = s.bytesPerPixel;
    std::vector<uint8_t> luminance(s.width);
    for (const qximg::DecodedImage &picture : decoded) {
        std::vector<uint8_t> image(s.imageBytes, 0);
        const uint32_t width = std::min(picture.width, s.width);
        const size_t pixels = std::min<size_t>(s.lineBytes / bpp, width);
        for (uint32_t y = 0; y < std::min(picture.height, s.height); ++y) {
            const uint8_t *in = picture.bgra.data() + size_t(y) * picture.width * 4;
            size_t start = size_t(y) * s.lineBytes;
            if (start >= image.size()) break;
            size_t count = std::min(pixels, (image.size() - start) / bpp);
            if (IsColour(s)) {
                NarrowPixels(image.data() + start, in, count, bpp, 0);  // B, G, R and 0
            } else {
                LuminanceOfPixels(luminance.data(), in, count, 4);
                LookUpPixels(image.data() + start, luminance.data(), count, greys, bpp);
            }
        }
        p.pictures.push_back(std::move(image));
    }
    return true;
}

// Whether row y is on the crosshair's horizontal line, centred on row cy.
bool OnCrossRow(const FramePlan &p, uint32_t y, uint32_t cy) {
    int64_t band = int64_t(y) - (int64_t(cy) - p.thickness / 2);
    return band >= 0 && band < p.thickness;
}

// Where row y of frame n is copied from.
const uint8_t *RowSource(const FramePlan &p, uint32_t y, uint32_t n, uint32_t cx, uint32_t cy) {
    const QxsSettings &s = p.settings;
    const uint8_t *lines = p.lines.data();
    const uint32_t bpp = s.bytesPerPixel;
    switch (s.pattern) {
    case QXS_PATTERN_NOISE: return lines + size_t(NoiseRowStart(s.seed, y, n)) * bpp;
    case QXS_PATTERN_BARS: return lines;
    // The parity of y / 16 + n, without the sum's wrap at the last frame numbers.
    case QXS_PATTERN_CHECKER: return lines + (((y / 16) ^ n) & 1) * p.pixelBytes;
    case QXS_PATTERN_TARGET:
        if (OnCrossRow(p, y, cy)) return lines + p.blackRow * bpp;
        return lines + (p.crossLine + s.width - cx) * bpp;
    // The period is a power of two: the start moves on as if 3y + 5n were taken modulo 2^32.
    default: return lines + size_t((3 * uint64_t(y) + 5 * uint64_t(n)) & (p.period - 1)) * bpp;
    }
}

// The disc's chord on row y (under the crosshair), within the first `room` bytes.
void DrawDisc(const FramePlan &p, uint8_t *row, size_t room, uint32_t y, uint32_t cx, uint32_t cy) {
    const int64_t dy = int64_t(y) - cy, r = p.radius;
    if (dy < -r || dy > r || OnCrossRow(p, y, cy)) return;
    const uint32_t bpp = p.settings.bytesPerPixel;
    const int64_t half = int64_t(std::sqrt(double(r * r - dy * dy)));
    const int64_t lastPixel = int64_t(std::min<size_t>(p.settings.width, room / bpp)) - 1;
    auto copyRun = [&](int64_t from, int64_t to, size_t source) {
        from = std::max<int64_t>(from, 0);
        to = std::min(to, lastPixel);
        if (from <= to)
            memcpy(row + from * bpp, p.lines.data() + source * bpp, size_t(to - from + 1) * bpp);
    };
    copyRun(int64_t(cx) - half, int64_t(cx) + half, p.whiteRun);
    int64_t line = int64_t(cx) - p.thickness / 2;
    copyRun(line, line + p.thickness - 1, p.blackRun);
}

}  // namespace

void TargetCentre(const QxsSettings &s, uint32_t n, uint32_t *x, uint32_t *y) {
    *x = uint32_t((s.width / 2 + uint64_t(n) * std::max(1u, s.width / 40)) % s.width);
    *y = uint32_t((s.height / 2 + uint64_t(n) * std::max(1u, s.height / 60)) % s.height);
}

std::shared_ptr<const FramePlan> BuildFramePlan(const QxsSettings &settings, std::string *why) {
    try {
        auto plan = std::make_shared<FramePlan>();
        plan->settings = settings;
        plan->pixelBytes = size_t(settings.width) * settings.bytesPerPixel;
        switch (settings.pattern) {
        case QXS_PATTERN_BARS: PrepareBars(*plan); break;
        case QXS_PATTERN_CHECKER: PrepareChecker(*plan); break;
        case QXS_PATTERN_NOISE: PrepareNoise(*plan); break;
        case QXS_PATTERN_TARGET: PrepareTarget(*plan); break;
        case QXS_PATTERN_FILES:
            if (!PreparePlayback(*plan, why)) return nullptr;
            break;
        default: PrepareRamp(*plan); break;
        }
        return plan;
    } catch (const std::bad_alloc &) {
        *why = "not enough memory to prepare the frames";
        return nullptr;
    }
}

void FillFrame(const FramePlan &p, uint8_t *dst, size_t bytes, uint32_t n) {
    const QxsSettings &s = p.settings;
    const size_t limit = std::min<size_t>(bytes, s.imageBytes);
    if (s.pattern == QXS_PATTERN_FILES) {
        memcpy(dst, p.pictures[n % p.pictures.size()].data(), limit);
        return;
    }
    uint32_t cx = 0, cy = 0;
    const bool target = s.pattern == QXS_PATTERN_TARGET;
    if (target) TargetCentre(s, n, &cx, &cy);
    const size_t line = s.lineBytes, pixels = std::min(p.pixelBytes, line);
    size_t offset = 0;
    for (uint32_t y = 0; y < s.height && offset < limit; ++y, offset += line) {
        uint8_t *row = dst + offset;
        const size_t room = std::min(line, limit - offset), copied = std::min(pixels, room);
        memcpy(row, RowSource(p, y, n, cx, cy), copied);
        if (room > copied) memset(row + copied, 0, room - copied);
        if (target) DrawDisc(p, row, copied, y, cx, cy);
    }
    if (offset < limit) memset(dst + offset, 0, limit - offset);
}
