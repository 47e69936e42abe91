// Numbers as our configuration files and command lines write them: decimal
// or 0x hexadecimal, 32 bits at most, and nothing else (no sign, no blanks, no
// octal: a leading 0 is a decimal digit).
#pragma once

#include <cstdint>
#include <string_view>

inline bool ParseNumber(std::string_view text, uint32_t *value) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    uint64_t parsed = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return false;
        parsed = parsed * base + digit;
        if (parsed > 0xFFFFFFFFu) return false;
    }
    *value = static_cast<uint32_t>(parsed);
    return true;
}

// A number that may be negative: an optional "-" before what ParseNumber takes.
inline bool ParseSignedNumber(std::string_view text, int64_t *value) {
    const bool negative = !text.empty() && text[0] == '-';
    uint32_t magnitude = 0;
    if (!ParseNumber(text.substr(negative ? 1 : 0), &magnitude)) return false;
    *value = negative ? -int64_t(magnitude) : int64_t(magnitude);
    return true;
}
