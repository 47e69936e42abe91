// What follows MSG_XFERREADY: for each frame DAT_IMAGEINFO, the transfer by
// the chosen mechanism, DAT_PENDINGXFERS MSG_ENDXFER; a progress line per
// frame and a summary at the end.
#include <cstdio>
#include <cstring>
#include <vector>

#include "acquire.h"

namespace {

constexpr TW_UINT16 TWFF_PNG = 7;

struct FrameResult {
    uint32_t width = 0, height = 0, bitsPerPixel = 0;
    uint64_t bytes = 0;
    std::string path;
};

// File transfers: the format the source writes in, and whether its file is
// then re-encoded into the asked one.
TW_UINT16 g_fileFormat = TWFF_BMP;
bool g_convertFile = false;

TW_UINT16 TwainFileFormat(qximg::ImageFormat format) {
    switch (format) {
        case qximg::ImageFormat::Bmp: return TWFF_BMP;
        case qximg::ImageFormat::Tiff: return TWFF_TIFF;
        case qximg::ImageFormat::Png: break;
    }
    return TWFF_PNG;
}

const char *MechanismWord() {
    switch (g_app.options.mechanism) {
        case Mechanism::Memory: return "memory";
        case Mechanism::File: return "file";
        case Mechanism::Native: break;
    }
    return "native";
}

bool TransferFailed(TW_UINT16 dataType, TW_UINT16 result) {
    if (result == TWRC_CANCEL) return Fail(ExitCancelled, "the transfer was cancelled");
    return Refused(&g_app.source, DG_IMAGE, dataType, MSG_GET, result,
                   "check the device; --verbose shows every call");
}

bool NativeTransfer(uint32_t index, FrameResult *frame) {
    // Win64: the source hands over a pointer-sized handle.
    TW_HANDLE handle = nullptr;
    TW_UINT16 result = Call(&g_app.source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (result != TWRC_XFERDONE) {
        if (handle) GlobalFree(handle);
        return TransferFailed(DAT_IMAGENATIVEXFER, result);
    }
    if (!handle) return Fail(ExitSourceFailed, "the source handed over no bitmap");
    frame->bytes = GlobalSize(handle);
    frame->path = FramePath(index, g_app.options.format);
    bool written = WriteDib(frame->path, handle);
    GlobalFree(handle);
    return written;
}

uint32_t StripBufferSize(const TW_SETUPMEMXFER &setup) {
    // Several strips rather than one: an eighth of the image, whole minimum buffers.
    uint32_t minimum = setup.MinBufSize ? setup.MinBufSize : 1;
    uint32_t wanted = (setup.Preferred ? setup.Preferred : setup.MaxBufSize) / 8;
    uint32_t size = wanted / minimum * minimum;
    if (size < minimum) size = minimum;
    if (setup.MaxBufSize && size > setup.MaxBufSize) size = setup.MaxBufSize;
    return size;
}

bool MemoryTransfer(uint32_t index, const TW_IMAGEINFO &info, FrameResult *frame) {
    TW_SETUPMEMXFER setup = {};
    TW_UINT16 result = Call(&g_app.source, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    if (result != TWRC_SUCCESS)
        return Refused(&g_app.source, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, result,
                       "try --mech native");
    uint32_t size = StripBufferSize(setup);
    std::vector<uint8_t> buffer(size), image;
    TW_UINT32 bytesPerRow = 0, columns = 0, rows = 0;
    for (;;) {
        TW_IMAGEMEMXFER xfer = {};
        xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, size, buffer.data()};
        result = Call(&g_app.source, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
        if (result != TWRC_SUCCESS && result != TWRC_XFERDONE)
            return TransferFailed(DAT_IMAGEMEMXFER, result);
        if (xfer.BytesWritten > size)
            return Fail(ExitSourceFailed, "the source claims more bytes than the buffer holds");
        bytesPerRow = xfer.BytesPerRow;
        columns = xfer.Columns;
        size_t at = size_t(xfer.YOffset) * bytesPerRow;
        if (image.size() < at + xfer.BytesWritten) image.resize(at + xfer.BytesWritten);
        memcpy(image.data() + at, buffer.data(), xfer.BytesWritten);
        if (xfer.YOffset + xfer.Rows > rows) rows = xfer.YOffset + xfer.Rows;
        frame->bytes += xfer.BytesWritten;
        if (result == TWRC_XFERDONE) break;
    }
    if (!bytesPerRow || !columns || !rows)
        return Fail(ExitSourceFailed, "the strips carried no image");
    frame->path = FramePath(index, g_app.options.format);
    return WriteStrips(frame->path, image, bytesPerRow, columns, rows, info.BitsPerPixel,
                       static_cast<uint32_t>(info.BitsPerSample[0]));
}

bool FileTransfer(uint32_t index, FrameResult *frame) {
    qximg::ImageFormat asked = g_app.options.format;
    qximg::ImageFormat written = g_fileFormat == TWFF_TIFF ? qximg::ImageFormat::Tiff
                                 : g_fileFormat == TWFF_BMP ? qximg::ImageFormat::Bmp
                                                            : asked;
    std::string sourceFile = FramePath(index, written);
    char path[MAX_PATH];
    DWORD n = GetFullPathNameA(sourceFile.c_str(), sizeof path, path, nullptr);
    if (n == 0 || n >= sizeof(TW_SETUPFILEXFER::FileName))
        return Fail(ExitBadCommandLine, "the output path is too long for TWAIN: %s", sourceFile.c_str());
    // A file left from an earlier run must not pass for this one.
    DeleteFileA(path);
    TW_SETUPFILEXFER setup = {};
    memcpy(setup.FileName, path, n + 1);
    setup.Format = g_fileFormat;
    TW_UINT16 result = Call(&g_app.source, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
    if (result != TWRC_SUCCESS)
        return Refused(&g_app.source, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, result,
                       "choose another --out folder or --format");
    result = Call(&g_app.source, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
    if (result != TWRC_XFERDONE) return TransferFailed(DAT_IMAGEFILEXFER, result);
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &attributes))
        return Fail(ExitSourceFailed, "the source reported a file transfer but wrote no %s", path);
    frame->bytes = attributes.nFileSizeLow;
    frame->path = sourceFile;
    if (!g_convertFile) return true;
    frame->path = FramePath(index, asked);
    if (!ConvertFile(sourceFile, frame->path)) return false;
    frame->path += " (from the source's " + sourceFile + ")";
    return true;
}

bool EndTransfer(TW_UINT16 *pending) {
    TW_PENDINGXFERS xfers = {0, 0};
    TW_UINT16 result = Call(&g_app.source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &xfers);
    if (result != TWRC_SUCCESS)
        return Refused(&g_app.source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, result, "");
    *pending = xfers.Count;
    return true;
}

// Stops early: what the source still offers is discarded.
void ResetTransfers() {
    TW_PENDINGXFERS xfers = {0, 0};
    Call(&g_app.source, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &xfers);
}

bool TransferOneFrame(uint32_t index, TW_UINT16 *pending) {
    DWORD start = GetTickCount();
    if (!g_app.firstTransferStart) g_app.firstTransferStart = start ? start : 1;
    TW_IMAGEINFO info = {};
    TW_UINT16 result = Call(&g_app.source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
    if (result != TWRC_SUCCESS)
        return Refused(&g_app.source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, result, "");
    FrameResult frame;
    frame.width = info.ImageWidth;
    frame.height = info.ImageLength;
    frame.bitsPerPixel = info.BitsPerPixel;
    bool done = false;
    switch (g_app.options.mechanism) {
        case Mechanism::Native: done = NativeTransfer(index, &frame); break;
        case Mechanism::Memory: done = MemoryTransfer(index, info, &frame); break;
        case Mechanism::File: done = FileTransfer(index, &frame); break;
    }
    // The transfer is ended whether or not the image could be written.
    bool ended = EndTransfer(pending);
    if (!done || !ended) return false;
    ++g_app.framesWritten;
    g_app.bytesTransferred += frame.bytes;
    printf("frame %u: %ux%u, %u bits, %llu bytes, %lu ms, %s\n", index, frame.width, frame.height,
           frame.bitsPerPixel, static_cast<unsigned long long>(frame.bytes),
           GetTickCount() - start, frame.path.c_str());
    return true;
}

bool MakeFolders(const std::string &folder) {
    for (size_t at = 0; at != std::string::npos;) {
        at = folder.find_first_of("\\/", at + 1);
        std::string part = folder.substr(0, at);
        if (part.empty() || part.back() == ':') continue;
        if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return Fail(ExitBadCommandLine, "cannot create the folder %s", part.c_str());
    }
    return true;
}

bool ChooseFileFormat() {
    TW_UINT16 wanted = TwainFileFormat(g_app.options.format);
    std::vector<TW_UINT32> offered;
    AllowedValues(ICAP_IMAGEFILEFORMAT, &offered);
    g_fileFormat = wanted;
    g_convertFile = false;
    bool offersWanted = offered.empty();
    bool offersBmp = false;
    for (TW_UINT32 format : offered) {
        offersWanted |= format == wanted;
        offersBmp |= format == TWFF_BMP;
    }
    if (!offersWanted) {
        // The source writes what it can; the file is then re-encoded.
        g_fileFormat = offersBmp ? TWFF_BMP : static_cast<TW_UINT16>(offered.front());
        g_convertFile = true;
        if (g_fileFormat != TWFF_BMP && g_fileFormat != TWFF_TIFF)
            return Fail(ExitSourceFailed, "the source writes no format this program can read");
        printf("the source does not write %s files: it writes %s, converted to %s\n",
               CapabilityValueName(ICAP_IMAGEFILEFORMAT, wanted),
               CapabilityValueName(ICAP_IMAGEFILEFORMAT, g_fileFormat),
               qximg::ImageFormatExtension(g_app.options.format));
    }
    return SetCapability(ICAP_IMAGEFILEFORMAT, TWTY_UINT16, g_fileFormat);
}

}  // namespace

bool PrepareTransfers() {
    TW_UINT32 mechanism = g_app.options.mechanism == Mechanism::Memory ? TWSX_MEMORY
                          : g_app.options.mechanism == Mechanism::File ? TWSX_FILE
                                                                       : TWSX_NATIVE;
    if (!SetCapability(ICAP_XFERMECH, TWTY_UINT16, mechanism)) return false;
    // Not every source counts transfers; those that do stop offering frames after N.
    if (!SetCapability(CAP_XFERCOUNT, TWTY_INT16, static_cast<TW_UINT16>(g_app.options.count), true))
        Trace("the source keeps its own CAP_XFERCOUNT");
    if (g_app.options.mechanism == Mechanism::File && !ChooseFileFormat()) return false;
    return MakeFolders(g_app.options.outFolder);
}

std::string FramePath(uint32_t index, qximg::ImageFormat format) {
    char name[64];
    snprintf(name, sizeof name, "%s-%03u.%s", MechanismWord(), index,
             qximg::ImageFormatExtension(format));
    const std::string &folder = g_app.options.outFolder;
    bool slash = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    const char *separator = folder.find('\\') != std::string::npos ? "\\" : "/";
    return folder + (slash ? "" : separator) + name;
}

void TransferFrames() {
    const uint32_t wanted = g_app.options.count;
    TW_UINT16 pending = 1;
    while (g_app.framesWritten < wanted) {
        if (Interrupted()) {
            ResetTransfers();
            g_app.finished = true;
            return;
        }
        if (!TransferOneFrame(g_app.framesWritten + 1, &pending)) {
            if (pending) ResetTransfers();
            g_app.finished = true;
            return;
        }
        if (pending == 0 && g_app.framesWritten < wanted) {
            // The source offers no more: with its dialog the user acquires again;
            // without, enabling again brings the next MSG_XFERREADY.
            if (!g_app.options.ui && (!DisableSource() || !EnableSource())) g_app.finished = true;
            return;
        }
    }
    if (pending) ResetTransfers();
    g_app.finished = true;
}

void PrintSummary() {
    if (!g_app.framesWritten) return;
    DWORD ms = GetTickCount() - g_app.firstTransferStart;
    double seconds = (ms ? ms : 1) / 1000.0;
    printf("%u frame(s) in %.2f s: %.1f frames/s, %.1f MB/s\n", g_app.framesWritten, seconds,
           g_app.framesWritten / seconds, g_app.bytesTransferred / seconds / 1e6);
}
