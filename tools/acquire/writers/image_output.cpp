// Images as files, through the imaging library: the native bitmap and files
// re-encoded (a memory transfer's lines: strip_file.cpp). Every layout is read by what the
// source said it is; one this program does not write ends the run with an
// error naming it, never with a wrong picture.
#include "writers/image_output.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "bmp_file.h"
#include "bmp_format.h"
#include "image_file.h"
#include "packed_image.h"
#include "pixel_kernels.h"
#include "readers/checked_size.h"
#include "readers/dib_reader.h"

namespace {

// ---- bitmaps, a band of rows at a time

// `count` of a bitmap's rows as it stores them (dib.stride apart, the bottom
// line first when it is bottom-up), from stored row `first` on; null, the
// failure reported, when they cannot be had. What is handed out is read
// before the next call.
using StoredRows = std::function<const uint8_t *(uint64_t first, uint32_t count)>;

// What a bitmap's pixels are to the writers: up to 8 bits, packed samples at
// their own depth, grey when the colour table is the depth's ramp of levels,
// otherwise the table as counted with every index past it as its first entry.
qximg::PackedImage PackedOf(const uint8_t *headers, const dib::Layout &dib) {
    qximg::PackedImage packed;
    packed.width = dib.width, packed.height = dib.height, packed.bits = dib.bits;
    if (dib.bits > 8) return packed;
    const bool grey = dib::GreyRamp(headers, dib, false), reversed = dib::GreyRamp(headers, dib, true);
    packed.kind = grey || reversed ? qximg::SampleKind::Grey : qximg::SampleKind::Indexed;
    packed.whiteIsZero = reversed;
    for (uint32_t i = 0; !grey && !reversed && i < (1u << dib.bits); ++i) {
        const dib::Colour c = dib::PaletteColour(headers, dib, i);
        packed.palette.push_back({c.r, c.g, c.b});
    }
    return packed;
}

// The file a bitmap's rows go into: packed samples as PackedOf says, but
// 8-bit grey as it is; deeper pixels as colour.
std::unique_ptr<qximg::ImageFileWriter> OpenBitmapFile(Session &s, const std::string &path,
                                                       const qximg::PackedImage &packed) {
    const uint32_t bits = packed.bits;
    std::string error;
    std::unique_ptr<qximg::ImageFileWriter> file;
    if (bits > 8 || (bits == 8 && packed.kind == qximg::SampleKind::Grey && !packed.whiteIsZero))
        file = qximg::OpenImageFile(path, s.options.format,
                                    bits == 8    ? qximg::PixelLayout::Gray8
                                    : bits == 32 ? qximg::PixelLayout::Bgrx32
                                                 : qximg::PixelLayout::Bgr24,
                                    packed.width, packed.height, 16, &error);
    else
        file = qximg::OpenPackedImageFile(path, s.options.format, packed, &error);
    if (!file) Fail(s, ExitSourceFailed, "%s", error.c_str());
    return file;
}

// A bitmap whose header and colour table lie at `headers`, its rows from
// `stored`, into a file a band at a time: top-down rows the writers take as
// they are go straight from where they lie, others through a band of lines,
// top line first.
bool WriteBitmap(Session &s, const std::string &path, const uint8_t *headers, const dib::Layout &dib,
                 const StoredRows &stored) {
    std::unique_ptr<qximg::ImageFileWriter> file = OpenBitmapFile(s, path, PackedOf(headers, dib));
    if (!file) return false;
    const std::vector<uint8_t> words = dib.bits == 16 ? dib::Rgb16Table(dib) : std::vector<uint8_t>();
    const bool asStored = !dib.bottomUp && dib.bits != 16;
    const size_t rowBytes = size_t(dib::RowBytesOut(dib));
    const uint32_t bandRows = qximg::BandRows(dib.stride, dib.height);
    std::vector<uint8_t> band(asStored ? 0 : size_t(bandRows) * rowBytes);
    std::string error;
    for (uint32_t y = 0; y < dib.height;) {
        const uint32_t count = std::min(bandRows, dib.height - y);
        const uint8_t *rows = stored(dib::StoredRow(dib, y, count), count);
        if (!rows) return false;
        if (!asStored) dib::CopyRows(rows, dib, count, reinterpret_cast<const uint8_t(*)[4]>(words.data()), band.data());
        if (!file->WriteRows(asStored ? rows : band.data(), asStored ? size_t(dib.stride) : rowBytes, count, &error))
            return Fail(s, ExitSourceFailed, "%s", error.c_str());
        y += count;
    }
    return file->Finish(&error) || Fail(s, ExitSourceFailed, "%s", error.c_str());
}

// The packed bitmap of `size` bytes at `block`, as a file. Into BMP, rows of
// a depth BMP keeps that lie bottom-up, as a BMP file holds them, go out
// straight from the block, behind a header of our own.
bool WriteDibBlock(Session &s, const std::string &path, const uint8_t *block, uint64_t size) {
    dib::Layout dib;
    std::string error;
    if (!dib::Read(block, size, &dib, &error)) return Fail(s, ExitSourceFailed, "%s", error.c_str());
    const uint8_t *pixels = block + dib.pixelOffset;
    if (s.options.format == qximg::ImageFormat::Bmp && dib.bottomUp && dib.bits != 16 && dib.bits != 32)
        return qximg::WriteStoredBmp(path, dib.width, dib.height, dib.bits, qximg::FilePalette(PackedOf(block, dib)),
                                     pixels, &error) ||
               Fail(s, ExitSourceFailed, "%s", error.c_str());
    return WriteBitmap(s, path, block, dib,
                       [&](uint64_t first, uint32_t) { return pixels + size_t(first * dib.stride); });
}

// A DIB section's rows through GDI, a band at a time: GetDIBits copies scan
// lines, counted from the bottom, into a bottom-up bitmap of our own (GetObject
// reports a positive height whatever the section's row order, so that sign is
// never used), up to 8 bits at the section's depth with its colours, deeper
// as 32 bits.
bool WriteDibSection(Session &s, const std::string &path, HBITMAP bitmap, const DIBSECTION &section) {
    const uint32_t bits = section.dsBmih.biBitCount <= 8 ? section.dsBmih.biBitCount : 32;
    const LONG width = section.dsBm.bmWidth, height = section.dsBm.bmHeight;
    if (width <= 0 || height <= 0)
        return Fail(s, ExitSourceFailed, "the source's DIB section is %ld x %ld pixels", long(width), long(height));
    const uint32_t entries = bits <= 8 ? 1u << bits : 0;
    const BITMAPINFOHEADER header = {sizeof(BITMAPINFOHEADER), width, height, 1, WORD(bits), BI_RGB, 0, 0, 0,
                                     entries, 0};
    // Ours, and GDI's copy, which it fills with the colours and may rewrite.
    std::vector<uint8_t> headers(sizeof header + entries * sizeof(RGBQUAD)), info(headers.size());
    const uint64_t stride = bmp::RowBytesOf(uint32_t(width), bits);
    std::vector<uint8_t> band;
    struct Dc {
        HDC dc = CreateCompatibleDC(nullptr);
        ~Dc() { DeleteDC(dc); }
    } memory;
    const StoredRows scan = [&](uint64_t first, uint32_t count) -> const uint8_t * {
        memcpy(info.data(), &header, sizeof header);
        band.resize(size_t(stride) * count);
        const int lines = GetDIBits(memory.dc, bitmap, UINT(first), count, band.data(),
                                    reinterpret_cast<BITMAPINFO *>(info.data()), DIB_RGB_COLORS);
        if (lines == int(count)) return band.data();
        Fail(s, ExitSourceFailed, "GDI read %d of %u lines of the source's DIB section", lines, count);
        return nullptr;
    };
    // The colours come with the first line.
    if (!scan(0, 1)) return false;
    memcpy(headers.data(), &header, sizeof header);
    memcpy(headers.data() + sizeof header, info.data() + sizeof header, headers.size() - sizeof header);
    uint64_t bytes = UINT64_MAX;  // stays past any block when the sum overflows
    checked::MultiplyAdd(stride, uint64_t(height), headers.size(), &bytes);
    dib::Layout dib;
    std::string error;
    if (!dib::ReadHeaders(headers.data(), headers.size(), bytes, &dib, &error))
        return Fail(s, ExitSourceFailed, "%s", error.c_str());
    return WriteBitmap(s, path, headers.data(), dib, scan);
}

// ---- files

// A file open for reading, closed when it goes out of scope.
struct ReadOnlyFile {
    HANDLE handle;
    explicit ReadOnlyFile(const std::string &path)
        : handle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~ReadOnlyFile() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;
    // `bytes` bytes from `offset` on; false when the file does not hold them.
    bool ReadAt(uint64_t offset, void *out, size_t bytes) const {
        OVERLAPPED position = {};
        position.Offset = DWORD(offset);
        position.OffsetHigh = DWORD(offset >> 32);
        DWORD read = 0;
        return bytes <= MAXDWORD && ReadFile(handle, out, DWORD(bytes), &read, &position) && read == bytes;
    }
};

// Headers and colours of a BMP file past this many bytes are not read.
constexpr uint64_t MostHeaderBytes = uint64_t(1) << 20;

// A BMP file the source wrote, converted a band of rows at a time: its
// headers and colours through the bitmap reader, its rows read band by band
// from where the file header says they begin. WIC's BMP decoder would take
// bands too, but under Wine it reads the whole image into memory at the
// first one; it is left the files the bitmap reader does not take (*taken
// false, nothing reported): compressed bitmaps, other headers.
bool ConvertBmpFile(Session &s, const ReadOnlyFile &file, uint64_t fileBytes, const std::string &from,
                    const std::string &to, bool *taken) {
    *taken = true;
    uint8_t head[bmp::FileHeaderBytes];
    if (!file.ReadAt(0, head, sizeof head)) return Fail(s, ExitSourceFailed, "cannot read %s", from.c_str());
    const uint32_t rowsAt = head[10] | head[11] << 8 | head[12] << 16 | uint32_t(head[13]) << 24;
    const uint64_t headersEnd = std::min({uint64_t(rowsAt), fileBytes, bmp::FileHeaderBytes + MostHeaderBytes});
    std::vector<uint8_t> headers(size_t(headersEnd > sizeof head ? headersEnd - sizeof head : 0));
    if (!file.ReadAt(sizeof head, headers.data(), headers.size()))
        return Fail(s, ExitSourceFailed, "cannot read %s", from.c_str());
    dib::Layout dib;
    std::string error;
    *taken = dib::ReadHeaders(headers.data(), headers.size(), fileBytes - sizeof head, &dib, &error);
    if (!*taken) return false;
    // The reader found the rows to fit behind the colours; they must fit behind rowsAt as well.
    if (rowsAt + (dib.bytes - dib.pixelOffset) > fileBytes)
        return Fail(s, ExitSourceFailed, "%s ends before the rows its header tells of", from.c_str());
    std::vector<uint8_t> band;
    return WriteBitmap(s, to, headers.data(), dib, [&](uint64_t first, uint32_t count) -> const uint8_t * {
        band.resize(size_t(dib.stride) * count);
        if (file.ReadAt(rowsAt + first * dib.stride, band.data(), band.size())) return band.data();
        Fail(s, ExitSourceFailed, "cannot read %s", from.c_str());
        return nullptr;
    });
}

}  // namespace

void FreeHandedOverBitmap(HANDLE bitmap) {
    if (GlobalSize(bitmap)) GlobalFree(bitmap);
    else if (GetObjectType(bitmap) == OBJ_BITMAP) DeleteObject(bitmap);
}

bool WriteDib(Session &s, const std::string &path, HANDLE bitmap) {
    const SIZE_T size = GlobalSize(bitmap);
    const auto *block = size ? static_cast<const uint8_t *>(GlobalLock(bitmap)) : nullptr;
    if (block) {
        struct Unlock {
            HANDLE block;
            ~Unlock() { GlobalUnlock(block); }
        } unlock{bitmap};
        return WriteDibBlock(s, path, block, size);
    }
    DIBSECTION section = {};
    if (GetObjectType(bitmap) == OBJ_BITMAP && GetObjectA(bitmap, sizeof section, &section) == sizeof section &&
        section.dsBm.bmBits)
        return WriteDibSection(s, path, static_cast<HBITMAP>(bitmap), section);
    if (GetObjectType(bitmap) == OBJ_BITMAP)
        return Fail(s, ExitSourceFailed, "the source handed over a device-dependent bitmap (HBITMAP), not a DIB");
    return Fail(s, ExitSourceFailed, "the source handed over a handle that is neither global memory nor a bitmap");
}

bool ConvertFile(Session &s, const std::string &from, const std::string &to) {
    {
        ReadOnlyFile file(from);
        LARGE_INTEGER size = {};
        uint8_t signature[2] = {};
        if (file.handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.handle, &size))
            return Fail(s, ExitSourceFailed, "cannot read %s", from.c_str());
        bool taken = false;
        if (file.ReadAt(0, signature, sizeof signature) && signature[0] == 'B' && signature[1] == 'M') {
            const bool converted = ConvertBmpFile(s, file, uint64_t(size.QuadPart), from, to, &taken);
            if (taken) return converted;
        }
    }
    std::string error;
    return qximg::ConvertImage(from, to, s.options.format, &error) || Fail(s, ExitSourceFailed, "%s", error.c_str());
}
