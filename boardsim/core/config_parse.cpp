#include "config_parse.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "frame_plan.h"

namespace {

using std::string;
using std::string_view;

constexpr string_view Blanks = " \t\r";

string_view Trim(string_view s) {
    size_t first = s.find_first_not_of(Blanks);
    if (first == string_view::npos) return {};
    size_t last = s.find_last_not_of(Blanks);
    return s.substr(first, last - first + 1);
}

bool SameWord(string_view a, string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Decimal or 0x hex, 32 bits at most, nothing else.
bool ParseNumber(string_view s, uint32_t *value) {
    s = Trim(s);
    unsigned base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    uint64_t v = 0;
    for (char c : s) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return false;
        v = v * base + digit;
        if (v > 0xFFFFFFFFu) return false;
    }
    *value = static_cast<uint32_t>(v);
    return true;
}

constexpr char NotANumber[] = "not a number (decimal or 0x hex, at most 32 bits)";

int FamilyIndex(uint32_t family) {
    for (int i = 0; i < 3; ++i)
        if (KV_FAMILIES[i] == family) return i;
    return -1;
}

// Keys that are plain numbers within a range.
struct NumberKey {
    const char *name;
    uint32_t QxsSettings::*field;
    uint32_t min;
    uint32_t max;
};

constexpr uint32_t Any = 0xFFFFFFFFu;

constexpr NumberKey NumberKeys[] = {
    {"version_major", &QxsSettings::versionMajor, 0, Any},
    {"version_minor", &QxsSettings::versionMinor, 0, Any},
    {"width", &QxsSettings::width, 1, 65535},
    {"height", &QxsSettings::height, 1, 65535},
    {"bytes_per_pixel", &QxsSettings::bytesPerPixel, 1, 4},
    {"line_bytes", &QxsSettings::lineBytes, 1, uint32_t(QXS_MAX_IMAGE_BYTES)},
    {"image_bytes", &QxsSettings::imageBytes, 1, uint32_t(QXS_MAX_IMAGE_BYTES)},
    {"signals_per_frame", &QxsSettings::signalsPerFrame, 1, 16},
    {"frame_ms", &QxsSettings::frameMs, 0, Any},
    {"qtab_mode", &QxsSettings::qtabMode, 0, Any},
    {"find_result", &QxsSettings::findResult, 0, Any},
    {"open_result", &QxsSettings::openResult, 0, Any},
    {"setup_result", &QxsSettings::setupResult, 0, Any},
    {"rearm_result", &QxsSettings::rearmResult, 0, Any},
    {"write_result", &QxsSettings::writeResult, 0, Any},
    {"cancel_signal_ms", &QxsSettings::cancelSignalMs, 0, Any},
    {"high_bits", &QxsSettings::highBits, 0, 1},
    {"seed", &QxsSettings::seed, 0, Any},
};

// What the lines gave, beyond the settings: keys whose default derives from
// others, and where the keys that size the image and the playback stand.
struct Given {
    bool bytesPerPixel = false;
    bool lineBytes = false;
    bool imageBytes = false;
    int sizeLine = 0;
    int patternLine = 0;
    int framesLine = 0;
};

string SetDepth(string_view v, SimConfig &c) {
    uint32_t depth;
    constexpr uint32_t Depths[] = {8, 10, 12, 14, 16, 24, 32};
    if (ParseNumber(v, &depth) && std::find(std::begin(Depths), std::end(Depths), depth) != std::end(Depths)) {
        c.settings.depth = depth;
        return {};
    }
    return "must be 8, 10, 12, 14, 16, 24 or 32";
}

string SetBoards(string_view v, SimConfig &c) {
    uint32_t counts[3] = {0, 0, 0};
    bool seen[3] = {false, false, false};
    if (!SameWord(Trim(v), "none")) {
        while (true) {
            size_t comma = v.find(',');
            string_view item = v.substr(0, comma);
            size_t colon = item.find(':');
            uint32_t family, count;
            if (colon == string_view::npos || !ParseNumber(item.substr(0, colon), &family) ||
                !ParseNumber(item.substr(colon + 1), &count))
                return "must be none, or family:count pairs separated by commas";
            if (count > 16) return "a family has at most 16 boards";
            int i = FamilyIndex(family);
            if (i < 0) return "the families are 0x10, 0x20 and 0x40";
            if (seen[i]) return "a family is listed twice";
            seen[i] = true;
            counts[i] = count;
            if (comma == string_view::npos) break;
            v.remove_prefix(comma + 1);
        }
    }
    memcpy(c.settings.boardCount, counts, sizeof counts);
    return {};
}

string SetSelect(string_view v, SimConfig &c) {
    v = Trim(v);
    if (SameWord(v, "cancel")) {
        c.settings.selectMode = QXS_SELECT_CANCEL;
        return {};
    }
    size_t colon = v.find(':');
    if (colon == string_view::npos || !ParseNumber(v.substr(0, colon), &c.settings.selectFamily) ||
        !ParseNumber(v.substr(colon + 1), &c.settings.selectNumber))
        return "must be family:number or cancel";
    if (FamilyIndex(c.settings.selectFamily) < 0) return "the families are 0x10, 0x20 and 0x40";
    c.settings.selectMode = QXS_SELECT_BOARD;
    return {};
}

string SetWaits(string_view v, SimConfig &c) {
    std::vector<ScriptedWait> waits;
    if (!Trim(v).empty()) {
        while (true) {
            size_t comma = v.find(',');
            string_view item = Trim(v.substr(0, comma));
            ScriptedWait w = {false, 0};
            if (SameWord(item, "ok")) w.normal = true;
            else if (SameWord(item, "timeout")) w.result = 65536;
            else if (SameWord(item, "cancel")) w.result = 65537;
            else if (!ParseNumber(item, &w.result))
                return "each wait must be ok, timeout, cancel or a number";
            waits.push_back(w);
            if (comma == string_view::npos) break;
            v.remove_prefix(comma + 1);
        }
    }
    c.waits = waits;
    return {};
}

constexpr const char *PatternNames[] = {"ramp", "bars", "checker", "noise", "target", "files"};

string SetPattern(string_view v, SimConfig &c) {
    for (uint32_t i = 0; i < std::size(PatternNames); ++i)
        if (SameWord(Trim(v), PatternNames[i])) {
            c.settings.pattern = i;
            return {};
        }
    return "must be ramp, bars, checker, noise, target or files";
}

string SetText(string_view v, char (&field)[QXS_PATH_MAX]) {
    v = Trim(v);
    if (v.empty()) return "needs a file name";
    if (v.size() >= QXS_PATH_MAX) return "the name is too long";
    memcpy(field, v.data(), v.size());
    field[v.size()] = '\0';
    return {};
}

string SetLog(string_view v, SimConfig &c) { return SetText(v, c.settings.log); }
string SetFrames(string_view v, SimConfig &c) { return SetText(v, c.settings.frames); }

struct WordKey {
    const char *name;
    string (*set)(string_view value, SimConfig &config);
};

constexpr WordKey WordKeys[] = {
    {"depth", SetDepth},     {"boards", SetBoards}, {"select", SetSelect}, {"waits", SetWaits},
    {"pattern", SetPattern}, {"log", SetLog},       {"frames", SetFrames},
};

bool SizesImage(string_view key) {
    return key == "width" || key == "height" || key == "depth" || key == "bytes_per_pixel" ||
           key == "line_bytes" || key == "image_bytes";
}

string SetKey(string_view key, string_view value, SimConfig &c, Given &given) {
    for (const WordKey &k : WordKeys)
        if (key == k.name) return k.set(value, c);
    for (const NumberKey &k : NumberKeys) {
        if (key != k.name) continue;
        uint32_t v;
        if (!ParseNumber(value, &v)) return NotANumber;
        if (v < k.min || v > k.max)
            return "must be " + std::to_string(k.min) + " to " + std::to_string(k.max);
        c.settings.*k.field = v;
        if (key == "bytes_per_pixel") given.bytesPerPixel = true;
        if (key == "line_bytes") given.lineBytes = true;
        if (key == "image_bytes") given.imageBytes = true;
        return {};
    }
    return "unknown key";
}

uint32_t BytesPerPixelFor(uint32_t depth) {
    if (depth <= 8) return 1;
    if (depth <= 16) return 2;
    return depth / 8;
}

// Fills in the derived sizes; false when the image would pass 1 GiB.
bool DeriveDefaults(SimConfig &c, const Given &given, uint64_t *imageBytes) {
    QxsSettings &s = c.settings;
    if (!given.bytesPerPixel) s.bytesPerPixel = BytesPerPixelFor(s.depth);
    uint64_t line = given.lineBytes ? s.lineBytes : uint64_t(s.width) * s.bytesPerPixel;
    *imageBytes = given.imageBytes ? s.imageBytes : line * s.height;
    if (line > QXS_MAX_IMAGE_BYTES || *imageBytes > QXS_MAX_IMAGE_BYTES) return false;
    s.lineBytes = static_cast<uint32_t>(line);
    s.imageBytes = static_cast<uint32_t>(*imageBytes);
    return true;
}

void AddError(std::vector<ConfigError> &errors, int line, string_view key, string reason) {
    errors.push_back({line, string(key), std::move(reason)});
}

}  // namespace

SimConfig DefaultConfig() {
    SimConfig c = {};
    QxsSettings &s = c.settings;
    s.boardCount[1] = 1;
    s.versionMajor = 6;
    s.versionMinor = 0x201;
    s.width = 640;
    s.height = 480;
    s.depth = 8;
    s.signalsPerFrame = 1;
    s.frameMs = 33;
    s.qtabMode = 1;
    s.selectMode = QXS_SELECT_SHOW;
    s.pattern = QXS_PATTERN_RAMP;
    s.seed = 1;
    uint64_t imageBytes;
    DeriveDefaults(c, Given(), &imageBytes);
    return c;
}

int ParseConfig(const char *text, SimConfig *config, std::vector<ConfigError> *errorsOut) {
    SimConfig c = DefaultConfig();
    Given given;
    std::vector<ConfigError> errors;
    string_view rest = text ? text : "";
    int lineNumber = 0;
    while (!rest.empty()) {
        ++lineNumber;
        size_t end = rest.find('\n');
        string_view line = Trim(rest.substr(0, end));
        line = Trim(line.substr(0, line.find('#')));
        size_t eq = line.find('=');
        if (!line.empty() && eq == string_view::npos) {
            AddError(errors, lineNumber, {}, "expected key = value");
        } else if (!line.empty()) {
            string_view key = Trim(line.substr(0, eq));
            string why = SetKey(key, Trim(line.substr(eq + 1)), c, given);
            if (!why.empty()) AddError(errors, lineNumber, key, why);
            else if (SizesImage(key)) given.sizeLine = lineNumber;
            else if (key == "pattern") given.patternLine = lineNumber;
            else if (key == "frames") given.framesLine = lineNumber;
        }
        if (end == string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    uint64_t imageBytes;
    if (!DeriveDefaults(c, given, &imageBytes))
        AddError(errors, given.sizeLine, "image_bytes",
                 "the image would be " + std::to_string(imageBytes) +
                     " bytes (line_bytes x height); the board delivers at most 1 GiB (1073741824 "
                     "bytes)");
    const bool playback = c.settings.pattern == QXS_PATTERN_FILES;
    if (playback && !c.settings.frames[0])
        AddError(errors, given.patternLine, "pattern", "files needs a frames key naming the images");
    string why;
    if (errors.empty()) {
        c.plan = BuildFramePlan(c.settings, &why);
        if (!c.plan && playback) AddError(errors, given.framesLine, "frames", why);
        else if (!c.plan) AddError(errors, std::max(1, given.sizeLine), "image_bytes", why);
    } else if (playback && given.framesLine) {
        std::vector<qximg::DecodedImage> pictures;
        if (!DecodePlaybackFiles(c.settings.frames, &pictures, &why))
            AddError(errors, given.framesLine, "frames", why);
    }
    std::stable_sort(errors.begin(), errors.end(),
                     [](const ConfigError &a, const ConfigError &b) { return a.line < b.line; });
    if (errorsOut) *errorsOut = errors;
    if (!errors.empty()) return errors.front().line;
    *config = c;
    return 0;
}

string FormatConfig(const SimConfig &c) {
    const QxsSettings &s = c.settings;
    string text = "boards = ";
    string boards;
    for (int i = 0; i < 3; ++i) {
        char pair[32];
        snprintf(pair, sizeof pair, "%s0x%X:%u", boards.empty() ? "" : ", ", KV_FAMILIES[i],
                 s.boardCount[i]);
        if (s.boardCount[i]) boards += pair;
    }
    text += boards.empty() ? "none" : boards;
    text += "\ndepth = " + std::to_string(s.depth);
    for (const NumberKey &k : NumberKeys)
        text += "\n" + string(k.name) + " = " + std::to_string(s.*k.field);
    text += "\npattern = " + string(PatternNames[s.pattern]);
    if (s.frames[0]) text += "\nframes = " + string(s.frames);
    if (s.selectMode == QXS_SELECT_CANCEL) text += "\nselect = cancel";
    if (s.selectMode == QXS_SELECT_BOARD) {
        char select[32];
        snprintf(select, sizeof select, "0x%X:%u", s.selectFamily, s.selectNumber);
        text += "\nselect = " + string(select);
    }
    string waits;
    for (const ScriptedWait &w : c.waits)
        waits += (waits.empty() ? "" : ", ") + (w.normal ? string("ok") : std::to_string(w.result));
    text += "\nwaits = " + waits;
    if (s.log[0]) text += "\nlog = " + string(s.log);
    return text + "\n";
}
