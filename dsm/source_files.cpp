// Finding the sources on this machine: every *.ds beside this library and,
// recursively, under <Windows folder>\twain_64 (twain_32 for a 32-bit Source
// Manager: a process loads only sources of its own architecture), each asked
// for its identity.
#include "dsm_operations.h"

#include <algorithm>
#include <cstring>

namespace {

std::string FolderOf(HMODULE module) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::string folder(path, n);
    size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

std::string SourcesFolder() {
    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::string(windows, n) + (sizeof(void *) == 8 ? "\\twain_64" : "\\twain_32");
}

bool HasSourceExtension(const char *name) {
    size_t length = strlen(name);
    return length > 3 && lstrcmpiA(name + length - 3, ".ds") == 0;
}

// Paths of *.ds files in folder (and below it when recursive), sorted per folder.
void CollectSourcePaths(const std::string &folder, bool recursive,
                        std::vector<std::string> *paths) {
    if (folder.empty()) return;
    std::vector<std::string> files, subfolders;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const char *name = found.cFileName;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            subfolders.push_back(folder + "\\" + name);
        else if (HasSourceExtension(name))
            files.push_back(folder + "\\" + name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());
    std::sort(subfolders.begin(), subfolders.end());
    for (const std::string &file : files) {
        bool seen = std::any_of(paths->begin(), paths->end(), [&](const std::string &p) {
            return lstrcmpiA(p.c_str(), file.c_str()) == 0;
        });
        if (!seen) paths->push_back(file);
    }
    if (recursive)
        for (const std::string &subfolder : subfolders) CollectSourcePaths(subfolder, true, paths);
}

// The identity of a source this Source Manager holds open, if it does.
bool OpenSourceIdentity(const std::string &path, TW_IDENTITY *identity) {
    DsmLock lock;
    const DsmOpenSource *open = FindOpenSourceFile(path);
    if (!open) return false;
    *identity = open->identity;
    identity->Id = 0;
    return true;
}

bool AskIdentity(TW_IDENTITY *application, const std::string &path, TW_IDENTITY *identity) {
    if (OpenSourceIdentity(path, identity)) return true;
    DSENTRYPROC entry;
    HMODULE module = LoadSourceLibrary(path, &entry);
    if (!module) return false;
    *identity = {};
    bool answered = entry(application, DG_CONTROL, DAT_IDENTITY, MSG_GET, identity) == TWRC_SUCCESS;
    FreeLibrary(module);
    identity->Id = 0;
    return answered;
}

}  // namespace

HMODULE LoadSourceLibrary(const std::string &path, DSENTRYPROC *entry) {
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return nullptr;
    *entry =
        reinterpret_cast<DSENTRYPROC>(reinterpret_cast<void *>(GetProcAddress(module, "DS_Entry")));
    if (*entry) return module;
    FreeLibrary(module);
    return nullptr;
}

std::vector<DsmSourceFile> ScanSourceFiles(TW_IDENTITY *application) {
    std::vector<std::string> paths;
    CollectSourcePaths(FolderOf(g_dsm.module), false, &paths);
    CollectSourcePaths(SourcesFolder(), true, &paths);
    std::vector<DsmSourceFile> sources;
    for (const std::string &path : paths) {
        DsmSourceFile source{path, {}};
        if (AskIdentity(application, path, &source.identity)) sources.push_back(source);
    }
    return sources;
}
