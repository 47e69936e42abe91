#include "config_parse.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "frame_plan.h"
#include "parse_number.h"

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

// A number with the blanks around it, which the value lists allow.
bool ParseBlankedNumber(string_view s, uint32_t *value) { return ParseNumber(Trim(s), value); }

constexpr char NotANumber[] = "not a number (decimal or 0x hex, at most 32 bits)";
string Text(uint32_t value) { return std::to_string(value); }
string Text(const char *name) { return name; }

string Hex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// "a, b<last>c" for the values of a list, each written by show.
template <class T, size_t N, class Show>
string Listed(const T (&values)[N], const char *last, Show show) {
    string text = show(values[0]);
    for (size_t i = 1; i < N; ++i) text += (i + 1 == N ? last : ", ") + show(values[i]);
    return text;
}

// "must be a, b or c" for the values a key takes.
template <class T, size_t N> string MustBeOneOf(const T (&values)[N]) {
    return "must be " + Listed(values, " or ", [](T value) { return Text(value); });
}

// "the families are 0x10, 0x20 and 0x40", from the family table.
string UnknownFamily() { return "the families are " + Listed(KV_FAMILIES, " and ", Hex); }

// Every key of the configuration. The parser names a key through this list
// (Key::LineBytes, not "line_bytes"), so a misspelt key does not compile.
enum class Key {
    Boards,
    Depth,
    VersionMajor,
    VersionMinor,
    Width,
    Height,
    BytesPerPixel,
    LineBytes,
    ImageBytes,
    SignalsPerFrame,
    FrameMs,
    QtabMode,
    FindResult,
    OpenResult,
    SetupResult,
    RearmResult,
    WriteResult,
    CancelSignalMs,
    HighBits,
    Seed,
    Pattern,
    Frames,
    Select,
    Waits,
    Log,
    Count
};
constexpr size_t KeyCount = size_t(Key::Count);

// Whether a key's value enters the image's size: the size is checked once
// all lines are read, and reported at the last line of such a key.
enum class Sizes : bool { Nothing, TheImage };

constexpr uint32_t Any = 0xFFFFFFFFu;

constexpr uint32_t Depths[] = {8, 10, 12, 14, 16, 24, 32};

string SetDepth(string_view v, SimConfig &c) {
    uint32_t depth;
    if (ParseBlankedNumber(v, &depth) && std::find(std::begin(Depths), std::end(Depths), depth) != std::end(Depths)) {
        c.settings.depth = depth;
        return {};
    }
    return MustBeOneOf(Depths);
}

string SetBoards(string_view v, SimConfig &c) {
    uint32_t counts[QXS_FAMILY_COUNT] = {};
    bool seen[QXS_FAMILY_COUNT] = {};
    if (!SameWord(Trim(v), "none")) {
        while (true) {
            size_t comma = v.find(',');
            string_view item = v.substr(0, comma);
            size_t colon = item.find(':');
            uint32_t family, count;
            if (colon == string_view::npos || !ParseBlankedNumber(item.substr(0, colon), &family) ||
                !ParseBlankedNumber(item.substr(colon + 1), &count))
                return "must be none, or family:count pairs separated by commas";
            if (count > 16) return "a family has at most 16 boards";
            int i = QxsFamilyIndex(family);
            if (i < 0) return UnknownFamily();
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
        // No board of an earlier select line stays behind a cancel.
        c.settings.selectMode = QXS_SELECT_CANCEL;
        c.settings.selectFamily = c.settings.selectNumber = 0;
        return {};
    }
    size_t colon = v.find(':');
    if (colon == string_view::npos || !ParseBlankedNumber(v.substr(0, colon), &c.settings.selectFamily) ||
        !ParseBlankedNumber(v.substr(colon + 1), &c.settings.selectNumber))
        return "must be family:number or cancel";
    if (QxsFamilyIndex(c.settings.selectFamily) < 0) return UnknownFamily();
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
            else if (SameWord(item, "timeout")) w.result = KV_WAIT_TIMEOUT;
            else if (SameWord(item, "cancel")) w.result = KV_WAIT_CANCELLED;
            else if (!ParseBlankedNumber(item, &w.result))
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
static_assert(std::size(PatternNames) == QXS_PATTERN_FILES + 1, "a name for every pattern");

string SetPattern(string_view v, SimConfig &c) {
    for (uint32_t i = 0; i < std::size(PatternNames); ++i)
        if (SameWord(Trim(v), PatternNames[i])) {
            c.settings.pattern = i;
            return {};
        }
    return MustBeOneOf(PatternNames);
}

string SetText(string_view v, char (&field)[QXS_PATH_MAX]) {
    v = Trim(v);
    if (v.empty()) return "needs a file name";
    if (v.size() >= QXS_PATH_MAX) return "the name is too long";
    // Zeros to the end: nothing of a longer name given earlier stays behind.
    memset(field, 0, sizeof field);
    memcpy(field, v.data(), v.size());
    return {};
}

string SetLog(string_view v, SimConfig &c) { return SetText(v, c.settings.log); }
string SetFrames(string_view v, SimConfig &c) { return SetText(v, c.settings.frames); }

// How a key is read: a number within [min, max] into a field of the
// settings, or a word that its own function reads.
struct KeyRule {
    Key key;
    const char *name;
    uint32_t QxsSettings::*number;  // null for a word
    uint32_t min, max;
    string (*word)(string_view value, SimConfig &config);
    Sizes sizes;
};

constexpr KeyRule Number(Key key, const char *name, uint32_t QxsSettings::*field, uint32_t min,
                         uint32_t max, Sizes sizes = Sizes::Nothing) {
    return {key, name, field, min, max, nullptr, sizes};
}

constexpr KeyRule Word(Key key, const char *name, string (*read)(string_view, SimConfig &),
                       Sizes sizes = Sizes::Nothing) {
    return {key, name, nullptr, 0, 0, read, sizes};
}

// In the order `qxsim show` prints the numbers.
constexpr KeyRule Keys[] = {
    Word(Key::Boards, "boards", SetBoards),
    Word(Key::Depth, "depth", SetDepth, Sizes::TheImage),
    Number(Key::VersionMajor, "version_major", &QxsSettings::versionMajor, 0, Any),
    Number(Key::VersionMinor, "version_minor", &QxsSettings::versionMinor, 0, Any),
    Number(Key::Width, "width", &QxsSettings::width, 1, 65535, Sizes::TheImage),
    Number(Key::Height, "height", &QxsSettings::height, 1, 65535, Sizes::TheImage),
    Number(Key::BytesPerPixel, "bytes_per_pixel", &QxsSettings::bytesPerPixel, 1, 4, Sizes::TheImage),
    Number(Key::LineBytes, "line_bytes", &QxsSettings::lineBytes, 1, uint32_t(QXS_MAX_IMAGE_BYTES),
           Sizes::TheImage),
    Number(Key::ImageBytes, "image_bytes", &QxsSettings::imageBytes, 1, uint32_t(QXS_MAX_IMAGE_BYTES),
           Sizes::TheImage),
    Number(Key::SignalsPerFrame, "signals_per_frame", &QxsSettings::signalsPerFrame, 1, 16),
    Number(Key::FrameMs, "frame_ms", &QxsSettings::frameMs, 0, Any),
    Number(Key::QtabMode, "qtab_mode", &QxsSettings::qtabMode, 0, Any),
    Number(Key::FindResult, "find_result", &QxsSettings::findResult, 0, Any),
    Number(Key::OpenResult, "open_result", &QxsSettings::openResult, 0, Any),
    Number(Key::SetupResult, "setup_result", &QxsSettings::setupResult, 0, Any),
    Number(Key::RearmResult, "rearm_result", &QxsSettings::rearmResult, 0, Any),
    Number(Key::WriteResult, "write_result", &QxsSettings::writeResult, 0, Any),
    Number(Key::CancelSignalMs, "cancel_signal_ms", &QxsSettings::cancelSignalMs, 0, Any),
    Number(Key::HighBits, "high_bits", &QxsSettings::highBits, 0, 1),
    Number(Key::Seed, "seed", &QxsSettings::seed, 0, Any),
    Word(Key::Pattern, "pattern", SetPattern),
    Word(Key::Frames, "frames", SetFrames),
    Word(Key::Select, "select", SetSelect),
    Word(Key::Waits, "waits", SetWaits),
    Word(Key::Log, "log", SetLog),
};

constexpr bool EveryKeyInItsPlace() {
    if (std::size(Keys) != KeyCount) return false;
    for (size_t i = 0; i < KeyCount; ++i)
        if (size_t(Keys[i].key) != i) return false;
    return true;
}
static_assert(EveryKeyInItsPlace(), "Keys lists every Key once, in the order of Key");

const char *NameOf(Key key) { return Keys[size_t(key)].name; }

// What the lines gave beyond the settings: the line of each key that was
// set (keys whose default derives from others look here), and the last line
// of a key that sizes the image.
struct Given {
    std::array<int, KeyCount> lines{};
    int sizeLine = 0;
    bool Has(Key key) const { return Line(key) != 0; }
    int Line(Key key) const { return lines[size_t(key)]; }
};

string SetNumber(const KeyRule &k, string_view value, SimConfig &c) {
    uint32_t v;
    if (!ParseBlankedNumber(value, &v)) return NotANumber;
    if (v < k.min || v > k.max)
        return "must be " + std::to_string(k.min) + " to " + std::to_string(k.max);
    c.settings.*k.number = v;
    return {};
}

// Sets one key; on success notes its line in given.
string SetKey(string_view name, string_view value, int line, SimConfig &c, Given &given) {
    for (const KeyRule &k : Keys) {
        if (name != k.name) continue;
        string why = k.number ? SetNumber(k, value, c) : k.word(value, c);
        if (!why.empty()) return why;
        given.lines[size_t(k.key)] = line;
        if (k.sizes == Sizes::TheImage) given.sizeLine = line;
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
    if (!given.Has(Key::BytesPerPixel)) s.bytesPerPixel = BytesPerPixelFor(s.depth);
    uint64_t line = given.Has(Key::LineBytes) ? s.lineBytes : uint64_t(s.width) * s.bytesPerPixel;
    *imageBytes = given.Has(Key::ImageBytes) ? s.imageBytes : line * s.height;
    if (line > QXS_MAX_IMAGE_BYTES || *imageBytes > QXS_MAX_IMAGE_BYTES) return false;
    s.lineBytes = static_cast<uint32_t>(line);
    s.imageBytes = static_cast<uint32_t>(*imageBytes);
    return true;
}

void AddError(std::vector<ConfigError> &errors, int line, string_view key, string reason) {
    errors.push_back({line, string(key), std::move(reason)});
}

// Every `key = value` line in turn: blank lines and comments skipped, each
// key set, and each bad line added to errors.
void ReadLines(string_view rest, SimConfig &c, Given &given, std::vector<ConfigError> &errors) {
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
            string why = SetKey(key, Trim(line.substr(eq + 1)), lineNumber, c, given);
            if (!why.empty()) AddError(errors, lineNumber, key, why);
        }
        if (end == string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
}

// The derived sizes, and the image's size against what the board delivers.
void CheckImageSize(SimConfig &c, const Given &given, std::vector<ConfigError> &errors) {
    uint64_t imageBytes;
    if (!DeriveDefaults(c, given, &imageBytes))
        AddError(errors, given.sizeLine, NameOf(Key::ImageBytes),
                 "the image would be " + std::to_string(imageBytes) +
                     " bytes (line_bytes x height); the board delivers at most 1 GiB (1073741824 "
                     "bytes)");
}

// The frames prepared for a configuration without bad lines; otherwise only
// the playback files checked, so that their faults are reported too.
void PrepareFrames(SimConfig &c, const Given &given, std::vector<ConfigError> &errors) {
    const bool playback = c.settings.pattern == QXS_PATTERN_FILES;
    const int framesLine = given.Line(Key::Frames);
    if (playback && !c.settings.frames[0])
        AddError(errors, given.Line(Key::Pattern), NameOf(Key::Pattern),
                 "files needs a frames key naming the images");
    string why;
    if (errors.empty()) {
        c.plan = BuildFramePlan(c.settings, &why);
        if (!c.plan && playback) AddError(errors, framesLine, NameOf(Key::Frames), why);
        else if (!c.plan) AddError(errors, std::max(1, given.sizeLine), NameOf(Key::ImageBytes), why);
    } else if (playback && framesLine) {
        std::vector<qximg::DecodedImage> pictures;
        if (!DecodePlaybackFiles(c.settings.frames, &pictures, &why))
            AddError(errors, framesLine, NameOf(Key::Frames), why);
    }
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
    ReadLines(text ? text : "", c, given, errors);
    CheckImageSize(c, given, errors);
    PrepareFrames(c, given, errors);
    std::stable_sort(errors.begin(), errors.end(),
                     [](const ConfigError &a, const ConfigError &b) { return a.line < b.line; });
    if (errorsOut) *errorsOut = errors;
    if (!errors.empty()) return errors.front().line;
    *config = c;
    return 0;
}

string FormatConfig(const SimConfig &c) {
    const QxsSettings &s = c.settings;
    string text;
    auto put = [&text](Key key, const string &value) { text += NameOf(key) + (" = " + value) + "\n"; };
    string boards;
    for (size_t i = 0; i < QXS_FAMILY_COUNT; ++i) {
        char pair[32];
        snprintf(pair, sizeof pair, "%s0x%X:%u", boards.empty() ? "" : ", ", KV_FAMILIES[i],
                 s.boardCount[i]);
        if (s.boardCount[i]) boards += pair;
    }
    put(Key::Boards, boards.empty() ? "none" : boards);
    put(Key::Depth, std::to_string(s.depth));
    for (const KeyRule &k : Keys)
        if (k.number) put(k.key, std::to_string(s.*k.number));
    put(Key::Pattern, PatternNames[s.pattern]);
    if (s.frames[0]) put(Key::Frames, s.frames);
    if (s.selectMode == QXS_SELECT_CANCEL) put(Key::Select, "cancel");
    if (s.selectMode == QXS_SELECT_BOARD) {
        char select[32];
        snprintf(select, sizeof select, "0x%X:%u", s.selectFamily, s.selectNumber);
        put(Key::Select, select);
    }
    string waits;
    for (const ScriptedWait &w : c.waits)
        waits += (waits.empty() ? "" : ", ") + (w.normal ? string("ok") : std::to_string(w.result));
    put(Key::Waits, waits);
    if (s.log[0]) put(Key::Log, s.log);
    return text;
}
