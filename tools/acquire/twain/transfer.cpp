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
#include "readers/strip_assembler.h"
#include "writers/buffer_pool.h"
#include "writers/frame_writer.h"
#include "writers/image_output.h"
#include "writers/progress.h"
#include "writers/strip_file.h"
#include "writers/strip_stream.h"

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

bool NativeTransfer(Session &s, uint32_t index, const TW_IMAGEINFO &info, PendingFrame *frame) {
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
    frame->holds = frame->bytes ? frame->bytes : FrameBytes(info);
    frame->write = [dib](Session &w, PendingFrame &f) { return WriteDib(w, f.path, dib.get()); };
    return true;
}

// The colours of lines that need more than TW_IMAGEINFO: the palette of
// TWPT_PALETTE, and whether 0 is black or white in bilevel and grey lines.
bool ReadStripColours(Session &s, StripLayout *layout) {
    if (HasFlavor(*layout)) {
        TW_UINT32 flavor = TWPF_CHOCOLATE;  // what a source that does not say sends
        CurrentValue(s, ICAP_PIXELFLAVOR, &flavor);
        layout->whiteIsZero = flavor == TWPF_VANILLA;
        return true;
    }
    if (layout->samples != StripSamples::Palette) return true;
    TW_PALETTE8 palette = {};
    std::string why;
    if (!Succeeds(s, ToSource, {DG_IMAGE, DAT_PALETTE8, MSG_GET}, &palette)) return false;
    return TakePalette(palette, layout, &why) || Fail(s, ExitSourceFailed, "%s", why.c_str());
}

// The lines complete and next to go on, put together into bands for the
// file; false once the writer reads no more.
bool HandOnReadyLines(StripStream &stream, StripAssembly &strips) {
    const size_t lineBytes = size_t(strips.layout.lineBytes);
    while (const uint32_t ready = LinesReady(strips)) {
        const uint32_t rows = std::min(BandRows(strips), ready);
        StripBuffer band;
        if (!stream.Borrow(rows * lineBytes, &band)) return false;
        GatherLines(&strips, rows, band.bytes.get());  // all `rows`: they are ready
        stream.Hand(std::move(band), lineBytes, rows);
    }
    return true;
}

// The strips go to the file as they come: each is asked into a buffer
// borrowed from the frame's stream, which the writer thread writes while the
// next strip transfers; strips out of order or in tiles are kept until
// their lines are complete and next. The frame goes to the writer as soon
// as lines of it wait there while more strips come (a frame in one strip,
// or kept whole, goes once it is ended, as other frames do).
bool MemoryTransfer(Session &s, uint32_t index, const TW_IMAGEINFO &info, PendingFrame *frame) {
    StripLayout layout;
    std::string why;
    uint32_t greyBits = 0;
    if (!StripLayoutOf(info, &layout, &why)) return Fail(s, ExitSourceFailed, "%s", why.c_str());
    if (!ReadStripColours(s, &layout)) return false;
    if (!DeepGreyBits(layout, s.options, &greyBits, &why)) return Fail(s, ExitSourceFailed, "%s", why.c_str());
    TW_SETUPMEMXFER setup = {};
    if (!Succeeds(s, ToSource, {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET}, &setup)) return false;
    StripAssembly strips;
    if (!PlanStrips(layout, setup, &strips, &why)) return Fail(s, ExitSourceFailed, "%s", why.c_str());
    strips.holdAll = !greyBits;
    auto stream = std::make_shared<StripStream>(*s.buffers, strips.layout);
    // However the transfer ends, the writer learns that it did.
    struct Abandon {
        StripStream &stream;
        ~Abandon() { stream.Abandon(); }
    } abandon{*stream};
    frame->path = FramePath(s, index, s.options.format);
    frame->strips = stream;
    frame->write = [stream, greyBits](Session &w, PendingFrame &f) {
        const bool written = WriteStripFrame(w, f.path, *stream, greyBits, &f.note);
        f.bytes = stream->Bytes();
        return written;
    };
    for (;;) {
        StripBuffer buffer;
        // No buffer: the writer failed, and said why.
        if (!stream->Borrow(strips.bufferBytes, &buffer)) return EndWith(s, ExitSourceFailed);
        TW_IMAGEMEMXFER xfer = {};
        xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, strips.bufferBytes, buffer.bytes.get()};
        TW_UINT16 result = Call(s, ToSource, {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET}, &xfer);
        NoteHandedOver(s, result);
        if (result != TWRC_SUCCESS && !Delivered(s, result)) return false;
        bool goesOn = false;
        if (!TakeStrip(&strips, xfer, buffer.bytes.get(), &goesOn, &why))
            return Fail(s, ExitSourceFailed, "%s", why.c_str());
        if (goesOn) stream->Hand(std::move(buffer), xfer.BytesPerRow, xfer.Rows);
        else stream->GiveBack(std::move(buffer));
        frame->bytes += xfer.BytesWritten;
        ShowProgress(Work::Transfer, index, frame->bytes, strips.layout.frameBytes);
        // The lines still kept at the end are put together by the writer.
        if (result == TWRC_XFERDONE) break;
        // Lines waiting for the writer while more strips come: before the
        // stream's buffers run out, the writer must have the frame.
        if ((goesOn || LinesReady(strips)) && !frame->queued) {
            if (!s.writer->Queue(s, *frame)) return false;
            frame->queued = true;
        }
        if (!HandOnReadyLines(*stream, strips)) return EndWith(s, ExitSourceFailed);
        // Ctrl+C, or a failure on another thread, between strips: the frame
        // is ended, and the source stepped down.
        if (EndAsked(s)) return false;
    }
    if (!StripsCoverImage(strips, &why)) return Fail(s, ExitSourceFailed, "%s", why.c_str());
    stream->End(std::move(strips), frame->bytes);
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
    frame->write = [sourceFile](Session &w, PendingFrame &f) {
        f.note = " (from the source's " + sourceFile + ")";
        return ConvertFile(w, sourceFile, f.path);
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
    return frame.queued || s.writer->Queue(s, std::move(frame));
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
        if (EndAsked(s) || !TransferOneFrameOrFail(s, s.framesTransferred + 1)) {
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
