#include "image_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "pixel_kernels.h"

uint32_t SampleBytes(uint32_t depth) {
    if (depth == 8) return 1;
    if (depth >= 10 && depth <= 16) return 2;
    if (depth == 24) return 3;
    if (depth == 32) return 4;
    return 0;
}

namespace {

void ConvertRow(const FileLayout &layout, const PackedImage &image, const uint8_t *in, uint8_t *out) {
    switch (layout.form) {
    case RowForm::TopEightBits: ShiftSamplesToBytes(out, in, image.width, image.depth - 8); break;
    case RowForm::DropFourth: DropFourthByte(out, in, image.width); break;
    case RowForm::AsDelivered: memcpy(out, in, layout.pixelBytes); break;
    }
}

std::string FolderOf(const char *name) {
    std::string path(name);
    size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    if (slash == 0 || path[slash - 1] == ':') return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

bool WriteAll(HANDLE file, const uint8_t *bytes, size_t size) {
    DWORD written = 0;
    return size == 0 ||
           (WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) && written == size);
}

// The header, then the rows: straight from the caller's lines when the file
// keeps them as they are, top line first; otherwise converted into a block of
// 1 MB, which stays in the cache, written whenever it fills. The block is
// kept for the next image: fresh pages cost as much as the conversion.
bool WriteImage(HANDLE file, const FileLayout &layout, const PackedImage &image) {
    if (!WriteAll(file, layout.header.data(), layout.header.size())) return false;
    if (!layout.bottomUp && layout.form == RowForm::AsDelivered)
        return WriteAll(file, image.pixels, layout.rowBytes * image.height);
    constexpr size_t BlockBytes = 1u << 20;
    static std::mutex blockLock;
    static std::vector<uint8_t> block;
    std::lock_guard<std::mutex> lock(blockLock);
    const size_t rowsPerBlock = std::max<size_t>(1, BlockBytes / layout.rowBytes);
    block.resize(std::min<size_t>(rowsPerBlock, image.height) * layout.rowBytes);
    const size_t lineBytes = size_t(image.width) * SampleBytes(image.depth);
    for (size_t done = 0; done < image.height;) {
        const size_t rows = std::min<size_t>(rowsPerBlock, image.height - done);
        // The block's lines are read in memory order (a bottom-up file fills
        // the block from its end): reading lines backwards stalls on memory.
        const size_t firstLine = layout.bottomUp ? image.height - done - rows : done;
        for (size_t i = 0; i < rows; ++i) {
            uint8_t *out = block.data() + (layout.bottomUp ? rows - 1 - i : i) * layout.rowBytes;
            ConvertRow(layout, image, image.pixels + (firstLine + i) * lineBytes, out);
            memset(out + layout.pixelBytes, 0, layout.rowBytes - layout.pixelBytes);
        }
        if (!WriteAll(file, block.data(), rows * layout.rowBytes)) return false;
        done += rows;
    }
    return true;
}

}  // namespace

uint32_t WriteFileSafely(const char *name, const FileLayout &layout, const PackedImage &image) {
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(FolderOf(name).c_str(), "qxi", 0, temporary)) return QXIO_CANNOT_CREATE;
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileA(temporary);
        return QXIO_CANNOT_CREATE;
    }
    bool written = WriteImage(file, layout, image);
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
