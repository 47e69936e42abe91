// What follows MSG_XFERREADY: for each frame DAT_IMAGEINFO, the transfer by
// the chosen mechanism, DAT_PENDINGXFERS MSG_ENDXFER; a progress line per
// frame (from the writer thread, once its file is written) and a summary at the end.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "acquire.h"
#include "buffer_pool.h"
#include "frame_writer.h"
#include "image_output.h"
#include "progress.h"

namespace {

// The image formats this program writes, and their TWAIN file format codes
// (which a source may be asked for).
struct FileFormat {
    qximg::ImageFormat format;
    TW_UINT16 code;
};
constexpr FileFormat ImageFormatCodes[] = {
    {qximg::ImageFormat::Png, TWFF_PNG},
    {qximg::ImageFormat::Bmp, TWFF_BMP},
    {qximg::ImageFormat::Tiff, TWFF_TIFF},
};

TW_UINT16 FileFormatCode(qximg::ImageFormat format) {
    for (const FileFormat &entry : ImageFormatCodes)
        if (entry.format == format) return entry.code;
    return TWFF_BMP;
}

// The image format of a TWAIN file format; `otherwise` when there is none.
qximg::ImageFormat ImageFormatOf(TW_UINT16 code, qximg::ImageFormat otherwise) {
    for (const FileFormat &entry : ImageFormatCodes)
        if (entry.code == code) return entry.format;
    return otherwise;
}

// A triplet that hands data over puts the source in state 7, and so does one
// that cancels the transfer: either way it waits for MSG_ENDXFER.
void NoteHandedOver(Session &s, TW_UINT16 result) {
    if (result == TWRC_XFERDONE || result == TWRC_SUCCESS || result == TWRC_CANCEL)
        s.state = TwainState::Transferring;
}

// The mechanism's last triplet: TWRC_XFERDONE delivers, anything else fails.
bool Delivered(Session &s, TW_UINT16 result) {
    NoteHandedOver(s, result);
    if (result == TWRC_XFERDONE) return true;
    if (result == TWRC_CANCEL) return Fail(s, ExitCancelled, "the transfer was cancelled");
    return Refused(s, result);
}

std::string FramePath(const Session &s, uint32_t index, qximg::ImageFormat format) {
    char name[64];
    snprintf(name, sizeof name, "%s-%03u.%s", MechanismWord(s.options.mechanism).c_str(), index,
             qximg::ImageFormatExtension(format));
    const std::string &folder = s.options.outFolder;
    bool slash = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    const char *separator = folder.find('\\') != std::string::npos ? "\\" : "/";
    return folder + (slash ? "" : separator) + name;
}

bool NativeTransfer(Session &s, uint32_t index, const TW_IMAGEINFO &, PendingFrame *frame) {
    // The source hands over a pointer-sized handle (8 bytes on Win64, 4 on Win32).
    TW_HANDLE handle = nullptr;
    TW_UINT16 result = Call(s, ToSource, {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET}, &handle);
    if (!Delivered(s, result)) {
        if (handle) FreeHandedOverBitmap(handle);
        return false;
    }
    if (!handle) return Fail(s, ExitSourceFailed, "the source handed over no bitmap");
    // Owned at once: freed however the transfer ends.
    std::shared_ptr<void> dib(handle, FreeHandedOverBitmap);
    frame->bytes = GlobalSize(handle);
    frame->path = FramePath(s, index, s.options.format);
    frame->write = [dib](Session &w, const std::string &path, std::string *) {
        return WriteDib(w, path, dib.get());
    };
    return true;
}

constexpr uint64_t MaxStripBuffer = 64u << 20;

uint32_t StripBufferSize(const TW_SETUPMEMXFER &setup, uint64_t frameBytes) {
    // The source's Preferred size, whole minimum buffers; a frame whose
    // progress is shown comes in eighths, so that the progress moves.
    uint32_t minimum = setup.MinBufSize ? setup.MinBufSize : 1;
    uint32_t wanted = setup.Preferred ? setup.Preferred : setup.MaxBufSize;
    if (IsLongWork(frameBytes)) wanted /= 8;
    uint32_t size = wanted / minimum * minimum;
    if (size < minimum) size = minimum;
    if (setup.MaxBufSize && size > setup.MaxBufSize) size = setup.MaxBufSize;
    // More than the frame (in whole minimum buffers) would hold nothing more.
    const uint64_t frameBuffers = (frameBytes + minimum - 1) / minimum * minimum;
    return uint32_t(std::max<uint64_t>(minimum, std::min<uint64_t>(size, frameBuffers)));
}

// The colours of lines that need more than TW_IMAGEINFO: the palette of
// TWPT_PALETTE, and whether 0 is black or white in bilevel and grey lines.
bool ReadStripColours(Session &s, StripLayout *layout) {
    const StripSamples samples = layout->samples;
    if (samples == StripSamples::Bilevel || samples == StripSamples::Grey4 || samples == StripSamples::Grey8 ||
        samples == StripSamples::Grey16) {
        TW_UINT32 flavor = TWPF_CHOCOLATE;  // what a source that does not say sends
        CurrentValue(s, ICAP_PIXELFLAVOR, &flavor);
        layout->whiteIsZero = flavor == TWPF_VANILLA;
        return true;
    }
    if (layout->samples != StripSamples::Palette) return true;
    TW_PALETTE8 palette = {};
    if (!Succeeds(s, ToSource, {DG_IMAGE, DAT_PALETTE8, MSG_GET}, &palette)) return false;
    const bool grey = palette.PaletteType == TWPA_GRAY;
    if (!palette.NumColors || palette.NumColors > 256 || (!grey && palette.PaletteType != TWPA_RGB))
        return Fail(s, ExitSourceFailed, "the source's palette (%u colours of type %u) is not written",
                    palette.NumColors, palette.PaletteType);
    // An index past the palette's end takes its first entry.
    for (uint32_t i = 0; i < (1u << layout->bitsPerPixel); ++i) {
        const TW_ELEMENT8 &c = palette.Colors[i < palette.NumColors ? i : 0];
        layout->palette.push_back({c.Channel1, grey ? c.Channel1 : c.Channel2, grey ? c.Channel1 : c.Channel3});
    }
    return true;
}

// Whether a strip's lines lie inside the image and inside the bytes it wrote,
// each whole byte of the image's lines; reported with the strip's fields if not.
bool StripFits(Session &s, const TW_IMAGEMEMXFER &x, const StripLayout &layout, uint32_t bufferBytes) {
    if (!StripsUncompressed(s, x.Compression)) return false;
    const uint32_t bits = layout.bitsPerPixel;
    const uint64_t lineBytes = (uint64_t(x.Columns) * bits + 7) / 8;
    const char *why = nullptr;
    if (x.BytesWritten > bufferBytes) why = "more bytes than the buffer holds";
    else if (!x.Columns || !x.Rows) why = "no pixels";
    else if (uint64_t(x.XOffset) + x.Columns > layout.width || uint64_t(x.YOffset) + x.Rows > layout.height)
        why = "pixels outside the image";
    else if (x.BytesPerRow < lineBytes) why = "lines shorter than their pixels";
    else if (uint64_t(x.BytesPerRow) * (x.Rows - 1) + lineBytes > x.BytesWritten) why = "more lines than bytes";
    else if (uint64_t(x.XOffset) * bits % 8 || (uint64_t(x.XOffset) + x.Columns < layout.width && uint64_t(x.Columns) * bits % 8))
        why = "a tile that does not begin and end on a whole byte";
    if (!why) return true;
    return Fail(s, ExitSourceFailed,
                "the source's strip has %s: BytesPerRow %u, Columns %u, Rows %u, XOffset %u, YOffset %u, "
                "BytesWritten %u (image %u x %u, buffer %u bytes)",
                why, x.BytesPerRow, x.Columns, x.Rows, x.XOffset, x.YOffset, x.BytesWritten, layout.width,
                layout.height, bufferBytes);
}

bool MemoryTransfer(Session &s, uint32_t index, const TW_IMAGEINFO &info, PendingFrame *frame) {
    StripLayout layout;
    if (!StripLayoutOf(s, info, &layout) || !ReadStripColours(s, &layout)) return false;
    TW_SETUPMEMXFER setup = {};
    if (!Succeeds(s, ToSource, {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET}, &setup)) return false;
    const size_t lineBytes = size_t(layout.lineBytes), frameBytes = lineBytes * layout.height;
    // A source may want larger buffers than its frame, not without bound.
    if (setup.MinBufSize > std::max<uint64_t>(frameBytes, MaxStripBuffer))
        return Fail(s, ExitSourceFailed, "the source asks for buffers of at least %u bytes for a frame of %llu",
                    setup.MinBufSize, static_cast<unsigned long long>(frameBytes));
    const uint32_t size = StripBufferSize(setup, frameBytes);
    // The image's lines lie lineBytes apart, without the source's padding.
    // Strips of whole unpadded lines, in order, are received where they belong,
    // behind the lines before them; any other strip (padded, a tile, out of
    // order) behind the image, and its lines copied to their place. The
    // image's memory is that of a frame written before, when there is one.
    // No memory for it ends the run (TransferOneFrameOrFail).
    std::vector<uint8_t> image = s.buffers->Take(frameBytes + size);
    image.resize(frameBytes + size);
    size_t inPlace = 0;  // bytes of the lines received where they belong
    bool inOrder = true;
    std::vector<uint32_t> covered(layout.height, 0);  // pixels of each line received
    for (;;) {
        uint8_t *received = image.data() + (inOrder ? inPlace : frameBytes);
        TW_IMAGEMEMXFER xfer = {};
        xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, size, received};
        TW_UINT16 result = Call(s, ToSource, {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET}, &xfer);
        NoteHandedOver(s, result);
        if (result != TWRC_SUCCESS && !Delivered(s, result)) return false;
        const bool empty = !xfer.BytesWritten && (!xfer.Rows || !xfer.Columns);
        if (!empty) {
            if (!StripFits(s, xfer, layout, size)) return false;
            uint8_t *place = image.data() + size_t(xfer.YOffset) * lineBytes + size_t(xfer.XOffset) * layout.bitsPerPixel / 8;
            const bool whole = xfer.Columns == layout.width && xfer.BytesPerRow == lineBytes;
            if (whole && place == received) {
                inPlace = size_t(xfer.YOffset + xfer.Rows) * lineBytes;
            } else {
                if (inOrder) memmove(image.data() + frameBytes, received, xfer.BytesWritten);
                inOrder = false;
                const uint8_t *from = image.data() + frameBytes;
                const size_t pixelBytes = size_t((uint64_t(xfer.Columns) * layout.bitsPerPixel + 7) / 8);
                for (uint32_t r = 0; r < xfer.Rows; ++r)
                    memcpy(place + size_t(r) * lineBytes, from + size_t(r) * xfer.BytesPerRow, pixelBytes);
            }
            for (uint32_t r = 0; r < xfer.Rows; ++r)
                if ((covered[xfer.YOffset + r] += xfer.Columns) > layout.width)
                    return Fail(s, ExitSourceFailed, "the source's strips overlap on line %u", xfer.YOffset + r);
        }
        frame->bytes += xfer.BytesWritten;
        ShowProgress(Work::Transfer, index, frame->bytes, frameBytes);
        if (result == TWRC_XFERDONE) break;
    }
    for (uint32_t y = 0; y < layout.height; ++y)
        if (covered[y] < layout.width)
            return Fail(s, ExitSourceFailed, "the strips did not cover the image: line %u has %u of %u pixels", y,
                        covered[y], layout.width);
    frame->path = FramePath(s, index, s.options.format);
    frame->write = [image = std::move(image), layout = std::move(layout),
                    buffers = s.buffers](Session &w, const std::string &path, std::string *note) mutable {
        bool written = WriteStrips(w, path, image.data(), layout, note);
        buffers->Give(std::move(image));
        return written;
    };
    return true;
}

bool FileTransfer(Session &s, uint32_t index, const TW_IMAGEINFO &, PendingFrame *frame) {
    qximg::ImageFormat asked = s.options.format;
    std::string sourceFile = FramePath(s, index, ImageFormatOf(s.fileFormat, asked));
    char path[MAX_PATH];
    DWORD n = GetFullPathNameA(sourceFile.c_str(), sizeof path, path, nullptr);
    if (n == 0 || n >= sizeof(TW_SETUPFILEXFER::FileName))
        return Fail(s, ExitBadCommandLine, "the output path is too long for TWAIN: %s", sourceFile.c_str());
    // A file left from an earlier run must not pass for this one.
    DeleteFileA(path);
    TW_SETUPFILEXFER setup = {};
    memcpy(setup.FileName, path, n + 1);
    setup.Format = s.fileFormat;
    if (!Succeeds(s, ToSource, {DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET}, &setup)) return false;
    TW_UINT16 result = Call(s, ToSource, {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET}, nullptr);
    if (!Delivered(s, result)) return false;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &attributes))
        return Fail(s, ExitSourceFailed, "the source reported a file transfer but wrote no %s", path);
    frame->bytes = attributes.nFileSizeLow;
    frame->path = sourceFile;
    if (!s.convertFile) return true;
    frame->path = FramePath(s, index, asked);
    frame->write = [sourceFile](Session &w, const std::string &path, std::string *note) {
        *note = " (from the source's " + sourceFile + ")";
        return ConvertFile(w, sourceFile, path);
    };
    return true;
}

// The transfer by the chosen mechanism, one of those IsMechanism names.
bool TransferByMechanism(Session &s, uint32_t index, const TW_IMAGEINFO &info, PendingFrame *frame) {
    switch (s.options.mechanism) {
        case TWSX_MEMORY: return MemoryTransfer(s, index, info, frame);
        case TWSX_FILE: return FileTransfer(s, index, info, frame);
        default: return NativeTransfer(s, index, info, frame);
    }
}

bool TransferOneFrame(Session &s, uint32_t index) {
    PendingFrame frame;
    frame.index = index;
    frame.start = GetTickCount();
    if (!s.firstTransferStart) s.firstTransferStart = frame.start ? frame.start : 1;
    const TW_IMAGEINFO &info = frame.info;
    if (!Succeeds(s, ToSource, {DG_IMAGE, DAT_IMAGEINFO, MSG_GET}, &frame.info)) return false;
    if (!s.writer->WaitForRoom(s, FrameBytes(info))) return false;
    s.writer->TransferBegins(index);
    ShowProgress(Work::Transfer, index, 0, FrameBytes(info));
    bool done = TransferByMechanism(s, index, info, &frame);
    EndProgress(Work::Transfer);
    // A frame handed over is ended whether or not its image could be written;
    // one that never came is still offered, and the caller resets.
    if (s.state != TwainState::Transferring) return false;
    bool ended = EndTransfer(s);
    if (!done || !ended) return false;
    ++s.framesTransferred;
    return s.writer->Queue(s, std::move(frame));
}

// A frame whose transfer throws (no memory for it, or anything else) ends the
// run as a failure; the caller steps the source down from wherever the
// transfer stopped.
bool TransferOneFrameOrFail(Session &s, uint32_t index) {
    try {
        return TransferOneFrame(s, index);
    } catch (...) {
        EndProgress(Work::Transfer);
        return FailOnException(s, "transfer frame " + std::to_string(index));
    }
}

bool MakeFolders(Session &s, const std::string &folder) {
    for (size_t at = 0; at != std::string::npos;) {
        at = folder.find_first_of("\\/", at + 1);
        std::string part = folder.substr(0, at);
        if (part.empty() || part.back() == ':') continue;
        if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return Fail(s, ExitBadCommandLine, "cannot create the folder %s", part.c_str());
    }
    return true;
}

bool ChooseFileFormat(Session &s) {
    TW_UINT16 wanted = FileFormatCode(s.options.format);
    std::vector<TW_UINT32> offered;
    AllowedValues(s, ICAP_IMAGEFILEFORMAT, &offered);
    s.fileFormat = wanted;
    s.convertFile = false;
    bool offersWanted = offered.empty();
    bool offersBmp = false;
    for (TW_UINT32 format : offered) {
        offersWanted |= format == wanted;
        offersBmp |= format == TWFF_BMP;
    }
    if (!offersWanted) {
        // The source writes what it can; the file is then re-encoded.
        s.fileFormat = offersBmp ? TWFF_BMP : static_cast<TW_UINT16>(offered.front());
        s.convertFile = true;
        if (s.fileFormat != TWFF_BMP && s.fileFormat != TWFF_TIFF)
            return Fail(s, ExitSourceFailed, "the source writes no format this program can read");
        printf("the source does not write %s files: it writes %s, converted to %s\n",
               CapabilityValueName(ICAP_IMAGEFILEFORMAT, wanted),
               CapabilityValueName(ICAP_IMAGEFILEFORMAT, s.fileFormat),
               qximg::ImageFormatExtension(s.options.format));
    }
    return SetCapability(s, ICAP_IMAGEFILEFORMAT, TWTY_UINT16, s.fileFormat);
}

}  // namespace

bool EndTransfer(Session &s) {
    TW_PENDINGXFERS xfers = {0, 0};
    s.state = TwainState::TransferReady;
    if (!Succeeds(s, ToSource, {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER}, &xfers)) return false;
    if (xfers.Count == 0) s.state = TwainState::SourceEnabled;
    return true;
}

void ResetTransfers(Session &s) {
    TW_PENDINGXFERS xfers = {0, 0};
    s.state = TwainState::SourceEnabled;
    Call(s, ToSource, {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET}, &xfers);
}

bool PrepareTransfers(Session &s) {
    if (!IsMechanism(s.options.mechanism))
        return Fail(s, ExitBadCommandLine, "%s",
                    NotAMechanism(std::to_string(s.options.mechanism)).c_str());
    if (!SetCapability(s, ICAP_XFERMECH, TWTY_UINT16, s.options.mechanism)) return false;
    // Not every source counts transfers; those that do stop offering frames after N.
    if (!SetCapability(s, CAP_XFERCOUNT, TWTY_INT16, static_cast<TW_UINT16>(s.options.count), Quiet))
        Trace(s, "the source keeps its own CAP_XFERCOUNT");
    if (s.options.mechanism == TWSX_FILE && !ChooseFileFormat(s)) return false;
    return MakeFolders(s, s.options.outFolder);
}

void TransferFrames(Session &s) {
    const uint32_t wanted = s.options.count;
    while (s.framesTransferred < wanted) {
        if (s.interrupted || !TransferOneFrameOrFail(s, s.framesTransferred + 1)) {
            // What the source still offers is discarded.
            StepDown(s, TwainState::SourceEnabled);
            s.finished = true;
            return;
        }
        if (s.state == TwainState::SourceEnabled && s.framesTransferred < wanted) {
            // The source offers no more: with its dialog the user acquires again;
            // without, enabling again brings the next MSG_XFERREADY.
            if (!s.options.ui && (!DisableSource(s) || !EnableSource(s))) s.finished = true;
            return;
        }
    }
    StepDown(s, TwainState::SourceEnabled);
    s.finished = true;
}

void PrintSummary(const Session &s) {
    if (!s.framesWritten) return;
    DWORD ms = GetTickCount() - s.firstTransferStart;
    double seconds = (ms ? ms : 1) / 1000.0;
    printf("%u frame(s) in %.2f s: %.1f frames/s, %.1f MB/s\n", s.framesWritten, seconds,
           s.framesWritten / seconds, s.bytesWritten / seconds / 1e6);
}
