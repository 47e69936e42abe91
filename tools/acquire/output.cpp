// The run's lines: the transfer thread and the writer thread both print, and
// each line goes out whole, above the progress line, through one path.
#include <cstdarg>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

#include "acquire.h"
#include "writers/progress.h"
#include "readers/text_format.h"

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

bool FailOnException(Session &s, const std::string &doing) {
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return FailWithHint(s, ExitSourceFailed, "no memory to " + doing, TWCC_LOWMEMORY);
    } catch (const std::length_error &e) {
        return FailWithHint(s, ExitSourceFailed, "no memory to " + doing + ": a size past what one block holds (" +
                                             e.what() + ")", TWCC_LOWMEMORY);
    } catch (const std::exception &e) {
        return Fail(s, ExitSourceFailed, "cannot %s: %s", doing.c_str(), e.what());
    } catch (...) {
        return Fail(s, ExitSourceFailed, "cannot %s: an exception of unknown type", doing.c_str());
    }
}

FILE *InfoStream(const Session &s) { return s.options.json ? stderr : stdout; }
