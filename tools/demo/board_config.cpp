// The simulated board reads its settings when its library loads, which is
// when the source loads: the file named by QXSIM_CONFIG, or qxsim.ini beside
// the binaries. An explicit QXSIM_CONFIG is where we write; otherwise qxsim.ini.
#include <cstdio>

#include "demo.h"

namespace {

std::string ConfigPath() {
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("QXSIM_CONFIG", path, sizeof path);
    if (n > 0 && n < sizeof path) return path;
    n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    size_t slash = folder.find_last_of("\\/");
    folder.erase(slash == std::string::npos ? 0 : slash + 1);
    return folder + "qxsim.ini";
}

}  // namespace

bool WriteBoardConfig(const DemoOptions &options) {
    std::string path = ConfigPath();
    FILE *file = fopen(path.c_str(), "w");
    if (!file) return Fail("cannot write the board configuration %s", path.c_str());
    fprintf(file,
            "# Written by qxdemo: the simulated board for this run.\n"
            "width = %u\nheight = %u\ndepth = %u\n",
            options.width, options.height, options.depth);
    bool written = fclose(file) == 0;
    if (!written) return Fail("cannot write the board configuration %s", path.c_str());
    Step("simulated board: %ux%u, depth %u (%s)", options.width, options.height, options.depth,
         path.c_str());
    return true;
}
