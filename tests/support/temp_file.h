// Temporary files and folders of a test process, named so that test programs
// running side by side never share one.
#pragma once

#include <string>

namespace qx {

// A path in the temporary folder: <temp>\qx<process id>-<name>.
std::string TempFile(const std::string &name);

// A fresh temporary folder, removed with everything in it on destruction.
class TempFolder {
public:
    explicit TempFolder(const std::string &name);
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    // A path inside the folder.
    std::string Path(const std::string &name) const { return path + "\\" + name; }
    const std::string path;
};

}  // namespace qx
