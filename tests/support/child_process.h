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

}  // namespace qx
