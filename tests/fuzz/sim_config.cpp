// The simulated board's configuration text. What the parser accepts lies
// within the board's limits, reads back the same from its own text, and
// makes frames within the bytes asked for, zero where no pixel is.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>

#include "config_parse.h"
#include "frame_plan.h"

// Playback files are Windows' to decode; here no file is ever found.
bool DecodePlaybackFiles(const char *, std::vector<qximg::DecodedImage> *, std::string *why) {
    *why = "no file matches";
    return false;
}

// Frames 0 and 0xFFFFFFFF (a long-running board's count wraps) in blocks of
// exactly the bytes asked for, a few past the image when it is smaller: every
// image byte there is written (fills over two different bytes agree), zero
// past a line's pixels and past the last line; nothing past the image touched.
static void CheckFrames(const FramePlan &plan) {
    const QxsSettings &s = plan.settings;
    const size_t bytes = std::min<size_t>(s.imageBytes + 16, 16 * 1024), image = std::min<size_t>(s.imageBytes, bytes);
    const size_t line = s.lineBytes, pixels = std::min<size_t>(size_t(s.width) * s.bytesPerPixel, line);
    std::unique_ptr<uint8_t[]> a(new uint8_t[bytes]), b(new uint8_t[bytes]);
    for (uint32_t n : {0u, 0xFFFFFFFFu}) {
        memset(a.get(), 0xA5, bytes), memset(b.get(), 0x5A, bytes);
        FillFrame(plan, a.get(), bytes, n), FillFrame(plan, b.get(), bytes, n);
        assert(memcmp(a.get(), b.get(), image) == 0);
        for (size_t at = image; at < bytes; ++at) assert(a[at] == 0xA5 && b[at] == 0x5A);
        for (size_t y = 0, start = 0; start < image; ++y, start += line)
            for (size_t at = start + (y < s.height ? pixels : 0); at < std::min(start + line, image); ++at)
                assert(a[at] == 0);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::unique_ptr<char[]> text(new char[size + 1]);  // terminated, in a block of its size
    memcpy(text.get(), data, size);
    text[size] = '\0';
    SimConfig c, again;
    std::vector<ConfigError> errors;
    const int bad = ParseConfig(text.get(), &c, &errors);
    const int lines = 1 + int(std::count(text.get(), text.get() + strlen(text.get()), '\n'));
    for (const ConfigError &e : errors) assert(e.line >= 1 && e.line <= lines && !e.reason.empty());
    assert(bad == (errors.empty() ? 0 : errors.front().line));
    if (bad) return 0;
    const QxsSettings &s = c.settings;
    for (uint32_t count : s.boardCount) assert(count <= 16);
    assert(s.width >= 1 && s.width <= 65535 && s.height >= 1 && s.height <= 65535);
    assert(s.depth % 2 == 0 && s.depth >= 8 && (s.depth <= 16 || s.depth == 24 || s.depth == 32));
    assert(s.bytesPerPixel >= 1 && s.bytesPerPixel <= 4);
    assert(s.signalsPerFrame >= 1 && s.signalsPerFrame <= 16);
    assert(s.lineBytes >= 1 && s.lineBytes <= QXS_MAX_IMAGE_BYTES && s.imageBytes >= 1 &&
           s.imageBytes <= QXS_MAX_IMAGE_BYTES);
    assert(s.highBits <= 1 && s.pattern < QXS_PATTERN_FILES && s.selectMode <= QXS_SELECT_CANCEL);
    assert(s.selectMode != QXS_SELECT_BOARD || QxsFamilyIndex(s.selectFamily) >= 0);
    assert(memchr(s.log, 0, QXS_PATH_MAX) && memchr(s.frames, 0, QXS_PATH_MAX) && c.plan);
    const std::string written = FormatConfig(c);
    assert(ParseConfig(written.c_str(), &again) == 0 && FormatConfig(again) == written);
    assert(memcmp(&again.settings, &s, sizeof s) == 0);
    CheckFrames(*c.plan);
    return 0;
}
