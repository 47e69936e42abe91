// Programs of the project run as child processes, as a user would run them.
#pragma once

#include <windows.h>

#include <string>

namespace qx {

// Starts command with its standard output and error written to outputPath
// (replaced); false when it could not start. The caller waits for the
// process and closes both handles in *process.
bool StartWithOutputTo(std::string command, const std::string &outputPath,
                       PROCESS_INFORMATION *process);

// The exit code of a run that did not start or did not end in time.
constexpr DWORD NotRun = 999;

// Runs command to its end (waiting at most ms) with its standard output and
// error in *output; returns its exit code.
DWORD RunProgram(const std::string &command, std::string *output, DWORD ms = 120000);

}  // namespace qx
