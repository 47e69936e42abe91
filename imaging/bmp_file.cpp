#include "bmp_file.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <vector>

#include "bmp_format.h"
#include "file_writers.h"
#include "pixel_kernels.h"

namespace qximg {
namespace {

std::atomic<WriteProgress> g_progress{nullptr};

// The file being written, made its final size at once, each block written at
// its own offset; removed again unless it is closed whole, so that a failed
// write leaves nothing under the name.
class OutFile {
public:
    OutFile(const std::string &path, uint64_t total) : path_(path), total_(total) {
        if (total > 0xFFFFFFFFu) {
            Say("too large for a BMP file: ");
            return;
        }
        handle_ = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            Say("cannot create ");
            return;
        }
        // Rows that arrive top line first go in from the file's end: on a
        // file system that fills everything before a write past the data
        // with zeros first (NTFS), a sparse file is written only once. Where
        // there are no sparse files the writes still land, later.
        DWORD returned = 0;
        DeviceIoControl(handle_, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = LONGLONG(total);
        if (!SetFilePointerEx(handle_, end, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_)) {
            Say("cannot write ");
            Discard();
        }
    }
    ~OutFile() { Discard(); }
    OutFile(const OutFile &) = delete;
    OutFile &operator=(const OutFile &) = delete;

    bool Open() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Why the file could not be made or written.
    const std::string &Failure() const { return failure_; }

    // WriteFile takes at most a DWORD: large blocks go in pieces, each one told.
    bool WriteAt(uint64_t offset, const void *bytes, size_t size) {
        const auto *at = static_cast<const uint8_t *>(bytes);
        while (size) {
            DWORD piece = static_cast<DWORD>(std::min<size_t>(size, size_t(8) << 20)), written = 0;
            OVERLAPPED position = {};
            position.Offset = DWORD(offset);
            position.OffsetHigh = DWORD(offset >> 32);
            if (!WriteFile(handle_, at, piece, &written, &position) || written != piece) return Say("cannot write ");
            at += piece;
            offset += piece;
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
    void Discard() {
        if (handle_ == INVALID_HANDLE_VALUE) return;
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        DeleteFileA(path_.c_str());
    }
    bool Say(const char *what) { return qximg::Say(&failure_, what + path_); }
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::string path_, failure_;
    uint64_t total_, done_ = 0;
};

// Headers and rows, past any BMP file's 4 GiB when the product would overflow.
uint64_t FileBytes(uint64_t headerBytes, uint64_t rowBytes, uint32_t height) {
    return rowBytes >> 32 ? UINT64_MAX : headerBytes + rowBytes * height;
}

std::vector<uint32_t> TableOf(const std::vector<PaletteEntry> &palette) {
    std::vector<uint32_t> table;
    for (const PaletteEntry &entry : palette) table.push_back(entry.b | entry.g << 8 | entry.r << 16);
    return table;
}

// One file row's pixels from one line of the caller's rows.
using RowFill = std::function<void(const uint8_t *line, uint8_t *out)>;

// The headers, then the rows of bitCount bits, each made by `fill` from a
// line of the caller's (top line first). A band goes out through a block of
// about 1 MB that stays in the cache, from the band's bottom line up, so that
// a file written in one band is written in order; the block's padding is zero
// once and stays so. The lines are read in memory order (the block fills
// from its end): reading lines backwards stalls on memory.
class BmpFile final : public ImageFileWriter {
public:
    BmpFile(const std::string &path, const std::vector<uint8_t> &headers, uint32_t height, uint32_t bitCount,
            size_t lineBytes, uint32_t width, RowFill fill, std::string *error)
        : rows_(path, height),
          rowBytes_(size_t(bmp::RowBytesOf(width, bitCount))),
          lineBytes_(lineBytes),
          pixelOffset_(headers.size()),
          fill_(std::move(fill)),
          file_(path, FileBytes(headers.size(), bmp::RowBytesOf(width, bitCount), height)) {
        if (!file_.Open() || !file_.WriteAt(0, headers.data(), headers.size())) {
            Say(error, file_.Failure());
            return;
        }
        rowsPerBlock_ = uint32_t(std::min<size_t>(std::max<size_t>(1, (size_t(1) << 20) / rowBytes_), height));
        block_.assign(rowsPerBlock_ * rowBytes_, 0);
    }

    bool Open() const { return !block_.empty(); }

    bool WriteRows(const uint8_t *rows, size_t stride, uint32_t count, std::string *error) override {
        if (!rows_.Take(rows, stride, lineBytes_, count, error)) return false;
        const uint32_t first = rows_.Done() - count, height = rows_.Height();
        for (uint32_t end = count; end > 0;) {
            const uint32_t lines = std::min(rowsPerBlock_, end), top = end - lines;
            for (uint32_t i = 0; i < lines; ++i)
                fill_(rows + (top + i) * stride, block_.data() + (lines - 1 - i) * rowBytes_);
            // The band's line `end - 1` is the file's row height - first - end, counted from the bottom.
            const uint64_t at = pixelOffset_ + uint64_t(height - first - end) * rowBytes_;
            if (!file_.WriteAt(at, block_.data(), lines * rowBytes_)) return Say(error, file_.Failure());
            end = top;
        }
        return true;
    }

    bool Finish(std::string *error) override {
        return rows_.Complete(error) && (file_.Close() || Say(error, file_.Failure()));
    }

private:
    RowCount rows_;
    size_t rowBytes_, lineBytes_;
    uint64_t pixelOffset_;
    RowFill fill_;
    OutFile file_;
    uint32_t rowsPerBlock_ = 0;
    std::vector<uint8_t> block_;
};

std::unique_ptr<ImageFileWriter> OpenBmp(const std::string &path, const std::vector<uint8_t> &headers,
                                         uint32_t width, uint32_t height, uint32_t bitCount, size_t lineBytes,
                                         RowFill fill, std::string *error) {
    std::unique_ptr<BmpFile> file(new BmpFile(path, headers, height, bitCount, lineBytes, width, std::move(fill), error));
    if (!file->Open()) return nullptr;
    return file;
}

RowFill Copy(size_t bytes) {
    return [bytes](const uint8_t *in, uint8_t *out) { memcpy(out, in, bytes); };
}

}  // namespace

void SetWriteProgress(WriteProgress progress) { g_progress = progress; }

bool WriteStoredBmp(const std::string &path, uint32_t width, uint32_t height, uint32_t bitCount,
                    const std::vector<PaletteEntry> &palette, const uint8_t *fileRows, std::string *error) {
    const std::vector<uint8_t> headers = bmp::Headers(width, height, bitCount, TableOf(palette), 0);
    const uint64_t total = FileBytes(headers.size(), bmp::RowBytesOf(width, bitCount), height);
    OutFile file(path, total);
    return (file.Open() && file.WriteAt(0, headers.data(), headers.size()) &&
            file.WriteAt(headers.size(), fileRows, size_t(total - headers.size())) && file.Close()) ||
           Say(error, file.Failure());
}

std::unique_ptr<ImageFileWriter> OpenRowsBmp(const std::string &path, PixelLayout layout, uint32_t width,
                                             uint32_t height, uint32_t significantBits, std::string *error) {
    const bool colour = layout == PixelLayout::Bgr24 || layout == PixelLayout::Bgrx32;
    const size_t lineBytes = size_t(width) * BytesPerPixel(layout);
    RowFill fill = Copy(lineBytes);  // 8-bit grey and 24-bit colour as they are
    if (layout == PixelLayout::Gray16)
        fill = [width, shift = significantBits - 8](const uint8_t *in, uint8_t *out) {
            ShiftSamplesToBytes(out, in, width, shift);
        };
    if (layout == PixelLayout::Bgrx32)
        fill = [width](const uint8_t *in, uint8_t *out) { DropFourthByte(out, in, width); };
    // No resolution: the caller's rows carry none.
    return OpenBmp(path, bmp::Headers(width, height, colour, 0), width, height, bmp::BitCount(colour), lineBytes,
                   std::move(fill), error);
}

std::unique_ptr<ImageFileWriter> OpenPackedBmp(const std::string &path, const PackedImage &image, std::string *error) {
    const uint32_t width = image.width, height = image.height;
    if (image.kind == SampleKind::Grey && image.bits == 16)
        return OpenRowsBmp(path, PixelLayout::Gray16, width, height, image.significantBits, error);
    const size_t lineBytes = PackedRowBytes(image);
    if (image.kind == SampleKind::Rgb)  // the top 8 significant bits of each sample, as B, G, R
        return OpenBmp(path, bmp::Headers(width, height, true, 0), width, height, 24, lineBytes,
                       [width, shift = image.significantBits - 8](const uint8_t *in, uint8_t *out) {
                           ShiftSamplesToBytes(out, in, size_t(width) * 3, shift);
                           SwapFirstAndThird(out, out, width);
                       },
                       error);
    return OpenBmp(path, bmp::Headers(width, height, image.bits, TableOf(FilePalette(image)), 0), width, height,
                   image.bits, lineBytes, Copy(lineBytes), error);
}

}  // namespace qximg
