#include "support/child_process.h"

#include <fstream>
#include <iterator>

#include "support/temp_file.h"

namespace qx {

bool StartWithOutputTo(std::string command, const std::string &outputPath,
                       PROCESS_INFORMATION *process) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = output;
    *process = {};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, process);
    CloseHandle(output);
    return started != FALSE;
}

bool StartHostProgram(const std::string &command, const std::string &outputPath) {
    PROCESS_INFORMATION undefined;  // neither waited on nor closed: see the declaration
    return StartWithOutputTo(command, outputPath, &undefined);
}

ChildProcess::ChildProcess(const std::string &command, const std::string &outputPath)
    : started_(StartWithOutputTo(command, outputPath, &process_)) {}

ChildProcess::~ChildProcess() { Release(); }

ChildProcess::ChildProcess(ChildProcess &&other) noexcept
    : process_(other.process_), started_(other.started_) {
    other.process_ = {};
    other.started_ = false;
}

ChildProcess &ChildProcess::operator=(ChildProcess &&other) noexcept {
    if (this != &other) {
        Release();
        process_ = other.process_;
        started_ = other.started_;
        other.process_ = {};
        other.started_ = false;
    }
    return *this;
}

bool ChildProcess::Running(DWORD ms) const {
    return Started() && WaitForSingleObject(process_.hProcess, ms) == WAIT_TIMEOUT;
}

DWORD ChildProcess::Finish(DWORD ms) {
    DWORD code = NotRun;
    if (Started() && !Running(ms)) GetExitCodeProcess(process_.hProcess, &code);
    Release();
    return code;
}

void ChildProcess::Release() {
    if (!Started()) return;
    // Ended and waited for, so that the files it held are free again.
    if (Running()) {
        TerminateProcess(process_.hProcess, NotRun);
        WaitForSingleObject(process_.hProcess, 10000);
    }
    if (process_.hThread) CloseHandle(process_.hThread);
    if (process_.hProcess) CloseHandle(process_.hProcess);
    process_ = {};
    started_ = false;
}

DWORD RunProgram(const std::string &command, std::string *output, DWORD ms) {
    static int runs = 0;
    const std::string outputPath = TempFile("child-output-" + std::to_string(++runs) + ".txt");
    DWORD code = ChildProcess(command, outputPath).Finish(ms);
    std::ifstream in(outputPath);
    output->assign(std::istreambuf_iterator<char>(in), {});
    in.close();
    DeleteFileA(outputPath.c_str());
    return code;
}

}  // namespace qx
