// Inside qxsimcore.dll: the configuration read when the process first uses the board.
#pragma once

#include <windows.h>

#include <string>

// Remembers this library's module; called at process attach.
void NoteCoreModule(HMODULE core);
// Reads the start-up configuration, once, before the first use of the
// simulator state (not at process attach: decoding playback files needs COM,
// which must not start while the loader holds its lock).
void EnsureStartupConfig();
// Shows, once, the message box about a start-up configuration that could not be used.
void ReportStartupProblem();
// Where the start-up configuration came from.
std::string StartupOrigin();
