// The simulated board's configuration text. What the parser accepts must lie
// within the board's limits, read back the same from its own text, and make
// frames that stay inside the bytes asked for, with zeros where no pixel is.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "config_parse.h"
#include "frame_plan.h"
#include "fuzz_check.h"

// Playback files are Windows' to decode; here no file is ever found.
bool DecodePlaybackFiles(const char *, std::vector<qximg::DecodedImage> *, std::string *why) {
    *why = "no file matches";
    return false;
}

namespace {

// The frame bytes filled and walked for each accepted configuration.
constexpr size_t FrameSample = 64 * 1024;

bool Terminated(const char (&text)[QXS_PATH_MAX]) { return memchr(text, 0, sizeof text) != nullptr; }

void CheckLimits(const QxsSettings &s) {
    for (uint32_t count : s.boardCount) QX_FUZZ_CHECK(count <= 16);
    QX_FUZZ_CHECK(s.width >= 1 && s.width <= 65535);
    QX_FUZZ_CHECK(s.height >= 1 && s.height <= 65535);
    const uint32_t depths[] = {8, 10, 12, 14, 16, 24, 32};
    QX_FUZZ_CHECK(std::find(std::begin(depths), std::end(depths), s.depth) != std::end(depths));
    QX_FUZZ_CHECK(s.bytesPerPixel >= 1 && s.bytesPerPixel <= 4);
    QX_FUZZ_CHECK(s.lineBytes >= 1 && s.lineBytes <= QXS_MAX_IMAGE_BYTES);
    QX_FUZZ_CHECK(s.imageBytes >= 1 && s.imageBytes <= QXS_MAX_IMAGE_BYTES);
    QX_FUZZ_CHECK(s.signalsPerFrame >= 1 && s.signalsPerFrame <= 16);
    QX_FUZZ_CHECK(s.highBits <= 1);
    QX_FUZZ_CHECK(s.pattern < QXS_PATTERN_FILES);  // no playback file is ever found here
    QX_FUZZ_CHECK(s.selectMode <= QXS_SELECT_CANCEL);
    if (s.selectMode == QXS_SELECT_BOARD) QX_FUZZ_CHECK(QxsFamilyIndex(s.selectFamily) >= 0);
    QX_FUZZ_CHECK(Terminated(s.log) && Terminated(s.frames));
}

// The configuration's own text gives it back.
void CheckReadsBack(const SimConfig &config) {
    SimConfig again;
    QX_FUZZ_CHECK(ParseConfig(FormatConfig(config).c_str(), &again) == 0);
    QX_FUZZ_CHECK(memcmp(&again.settings, &config.settings, sizeof config.settings) == 0);
    QX_FUZZ_CHECK(again.waits.size() == config.waits.size());
    for (size_t i = 0; i < config.waits.size(); ++i)
        QX_FUZZ_CHECK(again.waits[i].normal == config.waits[i].normal &&
                      again.waits[i].result == config.waits[i].result);
}

// The start of frame n in a block of exactly that size: each line's bytes past
// its pixels, and the bytes past the last line, are zero.
void CheckFrame(const FramePlan &plan, uint32_t n) {
    const QxsSettings &s = plan.settings;
    const size_t bytes = std::min<size_t>(s.imageBytes, FrameSample);
    std::unique_ptr<uint8_t[]> frame(new uint8_t[bytes]);
    memset(frame.get(), 0xA5, bytes);
    FillFrame(plan, frame.get(), bytes, n);
    const size_t pixels = size_t(s.width) * s.bytesPerPixel;
    for (size_t at = 0; at < bytes; ++at) {
        const size_t line = at / s.lineBytes, column = at % s.lineBytes;
        if (line >= s.height || column >= pixels) QX_FUZZ_CHECK(frame[at] == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The text as the loader hands it over: terminated, in a block of its size.
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = '\0';
    SimConfig config;
    std::vector<ConfigError> errors;
    const int bad = ParseConfig(text.get(), &config, &errors);
    const char *begin = text.get(), *end = begin + strlen(begin);
    const int lines = 1 + int(std::count(begin, end, '\n'));
    if (bad != 0) {
        QX_FUZZ_CHECK(!errors.empty() && errors.front().line == bad);
        for (const ConfigError &e : errors) QX_FUZZ_CHECK(e.line >= 1 && e.line <= lines && !e.reason.empty());
        return 0;
    }
    QX_FUZZ_CHECK(errors.empty() && config.plan);
    CheckLimits(config.settings);
    QX_FUZZ_CHECK(memcmp(&config.plan->settings, &config.settings, sizeof config.settings) == 0);
    CheckReadsBack(config);
    for (uint32_t n : {0u, 1u, 0xFFFFFFFFu}) CheckFrame(*config.plan, n);
    return 0;
}
