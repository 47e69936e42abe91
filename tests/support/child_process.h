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

// A child started as StartWithOutputTo starts it, owned: the destructor ends
// it if it still runs (a failed assertion leaves no child behind) and closes
// its handles.
class ChildProcess {
public:
    ChildProcess(const std::string &command, const std::string &outputPath);
    ChildProcess(ChildProcess &&other) noexcept;
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess();
    bool Started() const { return started_; }
    DWORD Id() const { return process_.dwProcessId; }
    // Whether it still runs after waiting up to ms for its end.
    bool Running(DWORD ms);
    // Waits up to ms for its end, ending it otherwise; its exit code, or
    // NotRun when it did not start or did not end in time.
    DWORD Finish(DWORD ms);

private:
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
};

// Runs command to its end (waiting at most ms) with its standard output and
// error in *output; returns its exit code.
DWORD RunProgram(const std::string &command, std::string *output, DWORD ms = 120000);

}  // namespace qx
