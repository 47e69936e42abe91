#include "bmp_file.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "bmp_format.h"
#include "packed_image.h"
#include "pixel_kernels.h"

namespace qximg {
namespace {

std::atomic<WriteProgress> g_progress{nullptr};

// The file being written; removed again unless it is closed whole, so that a
// failed write leaves nothing under the name.
class OutFile {
public:
    OutFile(const std::string &path, uint64_t total, std::string *error)
        : path_(path), total_(total), error_(error) {
        if (total > 0xFFFFFFFFu) {
            Say("too large for a BMP file: ");
            return;
        }
        handle_ = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) Say("cannot create ");
    }
    ~OutFile() {
        if (handle_ == INVALID_HANDLE_VALUE) return;
        CloseHandle(handle_);
        DeleteFileA(path_.c_str());
    }
    OutFile(const OutFile &) = delete;
    OutFile &operator=(const OutFile &) = delete;

    bool Open() const { return handle_ != INVALID_HANDLE_VALUE; }

    // WriteFile takes at most a DWORD: large blocks go in pieces, each one told.
    bool Write(const void *bytes, size_t size) {
        const auto *at = static_cast<const uint8_t *>(bytes);
        while (size) {
            DWORD piece = static_cast<DWORD>(std::min<size_t>(size, size_t(8) << 20)), written = 0;
            if (!WriteFile(handle_, at, piece, &written, nullptr) || written != piece)
                return Say("cannot write ");
            at += piece;
            size -= piece;
            done_ += piece;
            if (WriteProgress progress = g_progress.load()) progress(done_, total_);
        }
        return true;
    }

    bool Close() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (CloseHandle(handle)) return true;
        DeleteFileA(path_.c_str());
        return Say("cannot write ");
    }

private:
    bool Say(const char *what) {
        if (error_) *error_ = what + path_;
        return false;
    }
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::string path_;
    uint64_t total_, done_ = 0;
    std::string *error_;
};

// One file row's pixels from one line of the caller's rows.
void FileRow(PixelLayout layout, const uint8_t *in, uint32_t width, uint32_t bits, uint8_t *out) {
    switch (layout) {
    case PixelLayout::Gray8: memcpy(out, in, width); break;
    case PixelLayout::Gray16: ShiftSamplesToBytes(out, in, width, bits - 8); break;
    case PixelLayout::Bgr24: memcpy(out, in, size_t(width) * 3); break;
    case PixelLayout::Bgrx32: DropFourthByte(out, in, width); break;
    }
}

// The headers, then rows of bitCount bits, each made by fill(line, out) from
// a line of the caller's rows (top line first). The rows go out through a
// block of about 1 MB that stays in the cache; its padding is zero once and
// stays so. The lines are read in memory order (the file's bottom-up block
// fills from its end): reading lines backwards stalls on memory.
template <class Fill>
bool WriteBmp(const std::string &path, const std::vector<uint8_t> &headers, uint32_t width, uint32_t height,
              uint32_t bitCount, Fill fill, std::string *error) {
    const size_t rowBytes = size_t(bmp::RowBytesOf(width, bitCount));
    OutFile file(path, headers.size() + uint64_t(rowBytes) * height, error);
    if (!file.Open() || !file.Write(headers.data(), headers.size())) return false;
    const size_t rowsPerBlock = std::max<size_t>(1, (size_t(1) << 20) / rowBytes);
    std::vector<uint8_t> block(std::min<size_t>(rowsPerBlock, height) * rowBytes, 0);
    for (size_t done = 0; done < height;) {
        const size_t count = std::min<size_t>(rowsPerBlock, height - done);
        const size_t firstLine = height - done - count;
        for (size_t i = 0; i < count; ++i)
            fill(uint32_t(firstLine + i), block.data() + (count - 1 - i) * rowBytes);
        if (!file.Write(block.data(), count * rowBytes)) return false;
        done += count;
    }
    return file.Close();
}

}  // namespace

void SetWriteProgress(WriteProgress progress) { g_progress = progress; }

bool WriteDibBmp(const std::string &path, const void *dib, size_t dibBytes, size_t pixelOffset,
                 std::string *error) {
    const uint64_t total = bmp::FileHeaderBytes + uint64_t(dibBytes);
    OutFile file(path, total, error);
    if (!file.Open()) return false;
    std::vector<uint8_t> header;
    bmp::AppendFileHeader(header, total, static_cast<uint32_t>(bmp::FileHeaderBytes + pixelOffset));
    return file.Write(header.data(), header.size()) && file.Write(dib, dibBytes) && file.Close();
}

bool WriteRowsBmp(const std::string &path, PixelLayout layout, uint32_t width, uint32_t height,
                  const uint8_t *rows, size_t stride, uint32_t significantBits, std::string *error) {
    const bool colour = layout == PixelLayout::Bgr24 || layout == PixelLayout::Bgrx32;
    // No resolution: the caller's rows carry none.
    return WriteBmp(path, bmp::Headers(width, height, colour, 0), width, height, bmp::BitCount(colour),
                    [&](uint32_t y, uint8_t *out) { FileRow(layout, rows + y * stride, width, significantBits, out); },
                    error);
}

bool WritePackedBmp(const std::string &path, const PackedImage &image, std::string *error) {
    const uint32_t width = image.width, height = image.height;
    if (image.kind == SampleKind::Grey && image.bits == 16)
        return WriteRowsBmp(path, PixelLayout::Gray16, width, height, image.rows, image.stride,
                            image.significantBits, error);
    if (image.kind == SampleKind::Rgb)  // the top 8 significant bits of each sample, as B, G, R
        return WriteBmp(path, bmp::Headers(width, height, true, 0), width, height, 24,
                        [&](uint32_t y, uint8_t *out) {
                            ShiftSamplesToBytes(out, image.rows + y * image.stride, size_t(width) * 3,
                                                image.significantBits - 8);
                            SwapFirstAndThird(out, out, width);
                        },
                        error);
    std::vector<uint32_t> palette;
    for (const PaletteEntry &entry : FilePalette(image)) palette.push_back(entry.b | entry.g << 8 | entry.r << 16);
    const size_t lineBytes = PackedRowBytes(image);
    return WriteBmp(path, bmp::Headers(width, height, image.bits, palette, 0), width, height, image.bits,
                    [&](uint32_t y, uint8_t *out) { memcpy(out, image.rows + y * image.stride, lineBytes); }, error);
}

}  // namespace qximg
