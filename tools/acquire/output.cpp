// The run's lines: the transfer thread and the writer thread both print, and
// each line goes out whole, above the progress line, through one path.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "acquire.h"
#include "progress.h"
#include "text_format.h"

void Print(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = FormatText(format, args);
    va_end(args);
    PrintAboveProgress(line + "\n");
}

void Trace(const Session &s, const char *format, ...) {
    if (!s.options.verbose) return;
    va_list args;
    va_start(args, format);
    std::string line = FormatText(format, args);
    va_end(args);
    PrintAboveProgress("  . " + line + "\n");
}

bool EndWith(Session &s, int exitCode) {
    if (s.exitCode == ExitSuccess) s.exitCode = exitCode;
    return false;
}

bool Fail(Session &s, int exitCode, const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = FormatText(format, args);
    va_end(args);
    PrintAboveProgress("error: " + line + "\n");
    return EndWith(s, exitCode);
}

bool FailWithHint(Session &s, int exitCode, const std::string &error, TW_UINT16 conditionCode) {
    PrintAboveProgress("error: " + error + "\n  hint: " + ConditionCodeHint(conditionCode) + "\n");
    return EndWith(s, exitCode);
}

FILE *InfoStream(const Session &s) { return s.options.json ? stderr : stdout; }
