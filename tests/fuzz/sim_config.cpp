// The simulated board's configuration text. What the parser accepts lies
// within the board's limits, reads back the same from its own text, and has
// its frames prepared.
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
    return 0;
}
