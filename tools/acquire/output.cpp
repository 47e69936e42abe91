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

namespace {

// "error: ..." and what to try, when there is a hint.
void PrintError(const std::string &error, const char *hint) {
    PrintAboveProgress("error: " + error + "\n" + (hint ? std::string("  hint: ") + hint + "\n" : ""));
}

// Inside a catch: the exception caught, in the words of an error.
void PrintException(const std::string &doing) {
    try {
        try {
            // Called only inside a catch (FailOnException, FailOnOtherThread).
            // cppcheck-suppress rethrowNoCurrentException
            throw;
        } catch (const std::bad_alloc &) {
            PrintError("no memory to " + doing, ConditionCodeHint(TWCC_LOWMEMORY));
        } catch (const std::length_error &e) {
            PrintError("no memory to " + doing + ": a size past what one block holds (" + e.what() + ")",
                       ConditionCodeHint(TWCC_LOWMEMORY));
        } catch (const std::exception &e) {
            PrintError("cannot " + doing + ": " + e.what(), nullptr);
        } catch (...) {
            PrintError("cannot " + doing + ": an exception of unknown type", nullptr);
        }
    } catch (...) {
        // Not even the words found memory.
        fputs("error: no memory, not even to say what failed\n", stdout);
    }
}

}  // namespace

bool EndWith(Session &s, int exitCode) {
    if (s.exitCode == ExitSuccess) s.exitCode = exitCode;
    return false;
}

bool Fail(Session &s, int exitCode, const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = FormatText(format, args);
    va_end(args);
    PrintError(line, nullptr);
    return EndWith(s, exitCode);
}

bool FailWithHint(Session &s, int exitCode, const std::string &error, TW_UINT16 conditionCode) {
    PrintError(error, ConditionCodeHint(conditionCode));
    return EndWith(s, exitCode);
}

bool FailOnException(Session &s, const std::string &doing) {
    PrintException(doing);
    return EndWith(s, ExitSourceFailed);
}

void FailOnOtherThread(Session &s, const std::string &doing) {
    // Said once, before the main thread may end the run at its next look.
    if (s.failedElsewhere) return;
    PrintException(doing);
    InterlockedExchange(&s.failedElsewhere, 1);
    if (s.window) PostMessageA(s.window, WM_NULL, 0, 0);
}

FILE *InfoStream(const Session &s) { return s.options.json ? stderr : stdout; }
