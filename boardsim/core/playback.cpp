// Playback files: the `frames` value is a folder (every PNG, BMP, TIFF and
// JPEG in it) or a path with a wildcard; the files play in name order.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "frame_plan.h"
#include "wic_image.h"

namespace {

bool IsFolder(const std::string &path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool HasImageExtension(const char *name) {
    const char *dot = strrchr(name, '.');
    if (!dot) return false;
    for (const char *ext : {".png", ".bmp", ".tif", ".tiff", ".jpg", ".jpeg"})
        if (_stricmp(dot, ext) == 0) return true;
    return false;
}

// Full paths of the matching files, in name order.
std::vector<std::string> MatchingFiles(std::string pattern) {
    bool folder = IsFolder(pattern);
    if (folder) pattern += pattern.back() == '\\' || pattern.back() == '/' ? "*" : "\\*";
    size_t slash = pattern.find_last_of("\\/");
    std::string prefix = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (folder && !HasImageExtension(found.cFileName)) continue;
        names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(),
              [](const std::string &a, const std::string &b) { return _stricmp(a.c_str(), b.c_str()) < 0; });
    for (std::string &name : names) name = prefix + name;
    return names;
}

}  // namespace

bool DecodePlaybackFiles(const char *frames, std::vector<qximg::DecodedImage> *pictures,
                         std::string *why) {
    std::vector<std::string> files = MatchingFiles(frames);
    if (files.empty()) {
        *why = std::string("no image file matches ") + frames;
        return false;
    }
    for (const std::string &file : files) {
        qximg::DecodedImage image;
        std::string error;
        if (!qximg::ReadImage(file, &image, &error)) {
            *why = file + " cannot be decoded: " + error;
            return false;
        }
        pictures->push_back(std::move(image));
    }
    return true;
}
