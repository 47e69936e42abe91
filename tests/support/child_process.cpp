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

DWORD RunProgram(const std::string &command, std::string *output, DWORD ms) {
    static int runs = 0;
    const std::string outputPath = TempFile("child-output-" + std::to_string(++runs) + ".txt");
    PROCESS_INFORMATION process;
    DWORD code = NotRun;
    if (StartWithOutputTo(command, outputPath, &process)) {
        if (WaitForSingleObject(process.hProcess, ms) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    std::ifstream in(outputPath);
    output->assign(std::istreambuf_iterator<char>(in), {});
    in.close();
    DeleteFileA(outputPath.c_str());
    return code;
}

}  // namespace qx
