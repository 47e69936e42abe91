#include "image_file.h"

#include <windows.h>

#include <algorithm>
#include <string>

uint32_t SampleBytes(uint32_t depth) {
    if (depth == 8) return 1;
    if (depth >= 10 && depth <= 16) return 2;
    if (depth == 24) return 3;
    if (depth == 32) return 4;
    return 0;
}

namespace {

std::string FolderOf(const char *name) {
    std::string path(name);
    size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    if (slash == 0 || path[slash - 1] == ':') return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

bool WriteAll(HANDLE file, const std::vector<uint8_t> &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written != chunk)
            return false;
        done += written;
    }
    return true;
}

}  // namespace

uint32_t WriteFileSafely(const char *name, const std::vector<uint8_t> &bytes) {
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(FolderOf(name).c_str(), "qxi", 0, temporary)) return QXIO_CANNOT_CREATE;
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileA(temporary);
        return QXIO_CANNOT_CREATE;
    }
    bool written = WriteAll(file, bytes);
    written = CloseHandle(file) && written;
    if (!written) {
        DeleteFileA(temporary);
        return QXIO_CANNOT_WRITE;
    }
    if (!MoveFileExA(temporary, name, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(temporary);
        return QXIO_CANNOT_REPLACE;
    }
    return 0;
}
