// printf-style text into a string: the one formatter of qxacquire's lines,
// Windows-free, so that the readers of what a source hands over word their
// refusals with it too.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

inline std::string FormatText(const char *format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) vsnprintf(&text[0], text.size() + 1, format, args);
    return text;
}

inline std::string Formatted(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatText(format, args);
    va_end(args);
    return text;
}

// *why = the formatted reason a reader refuses what it was given; false.
inline bool Refuse(std::string *why, const char *format, ...) {
    va_list args;
    va_start(args, format);
    *why = FormatText(format, args);
    va_end(args);
    return false;
}
