#include "support/temp_file.h"

#include <windows.h>

#include <cstdio>

namespace qx {

namespace {

void RemoveTree(const std::string &folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(folder + "\\" + name);
            else DeleteFileA((folder + "\\" + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::string TempFile(const std::string &name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    char prefix[32];
    snprintf(prefix, sizeof prefix, "qx%lu-", GetCurrentProcessId());
    return std::string(folder) + prefix + name;
}

TempFolder::TempFolder(const std::string &name) : path(TempFile(name)) {
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path); }

}  // namespace qx
