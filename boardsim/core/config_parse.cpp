#include "config_parse.h"

#include <cstring>
#include <string_view>

namespace {

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
    {"width", &QxsSettings::width, 1, 16384},
    {"height", &QxsSettings::height, 1, 16384},
    {"bytes_per_pixel", &QxsSettings::bytesPerPixel, 1, 4},
    {"line_bytes", &QxsSettings::lineBytes, 1, 131072},
    {"image_bytes", &QxsSettings::imageBytes, 1, 0x7FFFFFFFu},
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
};

// Keys whose default is derived from others unless they are given.
struct Given {
    bool bytesPerPixel = false;
    bool lineBytes = false;
    bool imageBytes = false;
};

bool SetDepth(string_view v, SimConfig &c) {
    uint32_t depth;
    if (!ParseNumber(v, &depth)) return false;
    constexpr uint32_t Depths[] = {8, 10, 12, 14, 16, 24, 32};
    for (uint32_t d : Depths)
        if (d == depth) {
            c.settings.depth = depth;
            return true;
        }
    return false;
}

bool SetBoards(string_view v, SimConfig &c) {
    uint32_t counts[3] = {0, 0, 0};
    bool seen[3] = {false, false, false};
    if (!SameWord(Trim(v), "none")) {
        while (true) {
            size_t comma = v.find(',');
            string_view item = v.substr(0, comma);
            size_t colon = item.find(':');
            uint32_t family, count;
            if (colon == string_view::npos || !ParseNumber(item.substr(0, colon), &family) ||
                !ParseNumber(item.substr(colon + 1), &count) || count > 16)
                return false;
            int i = FamilyIndex(family);
            if (i < 0 || seen[i]) return false;
            seen[i] = true;
            counts[i] = count;
            if (comma == string_view::npos) break;
            v.remove_prefix(comma + 1);
        }
    }
    memcpy(c.settings.boardCount, counts, sizeof counts);
    return true;
}

bool SetSelect(string_view v, SimConfig &c) {
    v = Trim(v);
    if (SameWord(v, "cancel")) {
        c.settings.selectMode = QXS_SELECT_CANCEL;
        return true;
    }
    size_t colon = v.find(':');
    if (colon == string_view::npos || !ParseNumber(v.substr(0, colon), &c.settings.selectFamily) ||
        !ParseNumber(v.substr(colon + 1), &c.settings.selectNumber) ||
        FamilyIndex(c.settings.selectFamily) < 0)
        return false;
    c.settings.selectMode = QXS_SELECT_BOARD;
    return true;
}

bool SetWaits(string_view v, SimConfig &c) {
    std::vector<ScriptedWait> waits;
    if (!Trim(v).empty()) {
        while (true) {
            size_t comma = v.find(',');
            string_view item = Trim(v.substr(0, comma));
            ScriptedWait w = {false, 0};
            if (SameWord(item, "ok")) w.normal = true;
            else if (SameWord(item, "timeout")) w.result = 65536;
            else if (SameWord(item, "cancel")) w.result = 65537;
            else if (!ParseNumber(item, &w.result)) return false;
            waits.push_back(w);
            if (comma == string_view::npos) break;
            v.remove_prefix(comma + 1);
        }
    }
    c.waits = waits;
    return true;
}

bool SetPattern(string_view v, SimConfig &c) {
    if (!SameWord(Trim(v), "ramp")) return false;
    c.settings.pattern = QXS_PATTERN_RAMP;
    return true;
}

bool SetLog(string_view v, SimConfig &c) {
    v = Trim(v);
    if (v.empty() || v.size() >= QXS_PATH_MAX) return false;
    memcpy(c.settings.log, v.data(), v.size());
    c.settings.log[v.size()] = '\0';
    return true;
}

struct WordKey {
    const char *name;
    bool (*set)(string_view value, SimConfig &config);
};

constexpr WordKey WordKeys[] = {
    {"depth", SetDepth},   {"boards", SetBoards},   {"select", SetSelect},
    {"waits", SetWaits},   {"pattern", SetPattern}, {"log", SetLog},
};

bool SetKey(string_view key, string_view value, SimConfig &c, Given &given) {
    for (const WordKey &k : WordKeys)
        if (key == k.name) return k.set(value, c);
    for (const NumberKey &k : NumberKeys) {
        if (key != k.name) continue;
        uint32_t v;
        if (!ParseNumber(value, &v) || v < k.min || v > k.max) return false;
        c.settings.*k.field = v;
        if (key == "bytes_per_pixel") given.bytesPerPixel = true;
        if (key == "line_bytes") given.lineBytes = true;
        if (key == "image_bytes") given.imageBytes = true;
        return true;
    }
    return false;
}

bool ParseLine(string_view line, SimConfig &c, Given &given) {
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) return true;
    size_t eq = line.find('=');
    if (eq == string_view::npos) return false;
    return SetKey(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), c, given);
}

uint32_t BytesPerPixelFor(uint32_t depth) {
    if (depth <= 8) return 1;
    if (depth <= 16) return 2;
    return depth / 8;
}

void DeriveDefaults(SimConfig &c, const Given &given) {
    QxsSettings &s = c.settings;
    if (!given.bytesPerPixel) s.bytesPerPixel = BytesPerPixelFor(s.depth);
    if (!given.lineBytes) s.lineBytes = s.width * s.bytesPerPixel;
    if (!given.imageBytes) s.imageBytes = s.lineBytes * s.height;
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
    DeriveDefaults(c, Given());
    return c;
}

int ParseConfig(const char *text, SimConfig *config) {
    SimConfig c = DefaultConfig();
    Given given;
    string_view rest = text ? text : "";
    int lineNumber = 0;
    while (!rest.empty()) {
        ++lineNumber;
        size_t end = rest.find('\n');
        if (!ParseLine(rest.substr(0, end), c, given)) return lineNumber;
        if (end == string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    DeriveDefaults(c, given);
    *config = c;
    return 0;
}
