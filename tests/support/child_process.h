// Programs of the project run as child processes, as a user would run them.
#pragma once

#include <windows.h>

#include <string>

namespace qx {

// Starts command with its standard output and error written to outputPath
// (replaced); false when it could not start. The caller waits for the
// process and closes both handles in *process (ChildProcess does both).
bool StartWithOutputTo(std::string command, const std::string &outputPath,
                       PROCESS_INFORMATION *process);

// Starts a program of the host (under Wine, a Unix program such as a shell
// script) with its output written to outputPath; false when it could not
// start. Wine starts such a program without a process to wait on and leaves
// the handles and ids it reports undefined, so none is kept: the caller
// learns of its end from what it writes.
bool StartHostProgram(const std::string &command, const std::string &outputPath);

// The exit code of a run that did not start or did not end in time.
constexpr DWORD NotRun = 999;

// A child process owned by a test. However the test leaves (a failed
// assertion returns early), the destructor ends the process if it still runs
// and closes its handles: no child outlives the test that started it.
class ChildProcess {
public:
    ChildProcess() = default;
    // Starts command as StartWithOutputTo does; Started() tells whether it did.
    ChildProcess(const std::string &command, const std::string &outputPath);
    ~ChildProcess();
    ChildProcess(ChildProcess &&other) noexcept;
    ChildProcess &operator=(ChildProcess &&other) noexcept;
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool Started() const { return started_; }
    DWORD Id() const { return process_.dwProcessId; }
    // True while the process runs, after waiting at most ms for its end.
    bool Running(DWORD ms = 0) const;
    // Waits at most ms for its end and releases it (ended if still running);
    // its exit code, or NotRun when it did not start or did not end in time.
    DWORD Finish(DWORD ms);

private:
    void Release();
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
};

// Runs command to its end (waiting at most ms) with its standard output and
// error in *output; returns its exit code.
DWORD RunProgram(const std::string &command, std::string *output, DWORD ms = 120000);

}  // namespace qx
