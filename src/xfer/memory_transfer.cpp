// DAT_SETUPMEMXFER and DAT_IMAGEMEMXFER: the frame delivered in strips of
// whole lines, top line first. The first strip snaps; every strip converts
// its own lines from the host buffer straight into the application's buffer.
// The lines not yet delivered are copied aside only when a preview is about
// to snap into the host buffer during the transfer (xfer/memory_transfer.h).
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "cap/containers.h"
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"
#include "pixel_kernels.h"
#include "srw_lock.h"
#include "xfer/frame.h"
#include "xfer/memory_transfer.h"
#include "xfer/transfer_start.h"
#include "xfer/transfer_worker.h"

namespace {

TW_UINT16 Fail(TW_UINT16 code) { return FailOperation(OperationText::ImageMemXfer, code); }

// How a board line becomes a strip line: its first pixelsIn bytes are
// converted into pixelsOut bytes, then the rest of the board line (its
// padding, or for a plain copy the whole line) follows unchanged, except for
// 32-bit colour, whose strip lines are its three-byte pixels alone. Each
// length is the frame view's, or follows from it.
struct StripLineForm {
    StripPixels pixels;
    uint32_t pixelsIn, pixelsOut, carried;
    uint32_t length() const { return pixelsOut + carried; }
};

// Bytes of a board line that the conversion reads: more than the line holds
// for colour pixels that do not fit it.
uint64_t ConvertedBytesIn(const FrameView &view) {
    switch (StripPixelsFor(view.frame().bitDepth)) {
    case StripPixels::MaskedGrey: return view.pixelBytes() & ~1u;  // whole 16-bit samples
    case StripPixels::Swapped: return uint64_t(view.frame().width) * 3;
    case StripPixels::CutAndSwapped: return uint64_t(view.frame().width) * 4;
    case StripPixels::Copy: break;
    }
    return 0;
}

// For a view whose converted bytes fit its lines (CheckFirstStrip).
StripLineForm StripLineFormOf(const FrameView &view) {
    const FrameGeometry &frame = view.frame();
    auto in = static_cast<uint32_t>(ConvertedBytesIn(view));
    StripPixels pixels = StripPixelsFor(frame.bitDepth);
    if (pixels == StripPixels::CutAndSwapped) return {pixels, in, frame.width * 3, 0};
    return {pixels, in, in, frame.lineBytes - in};
}

// The buffer a first strip takes: one board line at least, the image at most.
// DAT_SETUPMEMXFER reports these bounds.
TW_SETUPMEMXFER BufferSizesFor(const FrameGeometry &frame) {
    return {frame.lineBytes, frame.imageBytes, frame.imageBytes};
}

// A view that fits has its lines inside the image and the image inside the
// host buffer; the conversion must fit each line as well.
TW_UINT16 CheckFirstStrip(const FrameView &view, TW_UINT32 bufferLength) {
    if (ConvertedBytesIn(view) > view.frame().lineBytes) return TWCC_OPERATIONERROR;
    TW_SETUPMEMXFER sizes = BufferSizesFor(view.frame());
    bool bufferFits = bufferLength >= sizes.MinBufSize && bufferLength <= sizes.MaxBufSize;
    return bufferFits ? TWCC_SUCCESS : TWCC_BADVALUE;
}

// Lines from `firstLine` on, converted into `target` one after another.
struct StripConversion {
    uint8_t *target;
    const FrameView *view;
    StripLineForm form;
    uint32_t firstLine;
};

// Lines [first, end) of the job, each read through the view and converted to
// its strip line, into their place in the target.
void ConvertLines(uint32_t first, uint32_t end, const void *context) {
    const auto &job = *static_cast<const StripConversion *>(context);
    const FrameView &view = *job.view;
    const StripLineForm &form = job.form;
    const uint32_t width = view.frame().width;
    uint8_t *target = job.target + size_t(first) * form.length();
    for (uint32_t y = job.firstLine + first; y < job.firstLine + end; ++y, target += form.length()) {
        const uint8_t *line = view.line(y);
        switch (form.pixels) {
        case StripPixels::MaskedGrey:
            MaskSamples(target, line, form.pixelsIn / 2, HighByteMaskFor(view.frame().bitDepth));
            break;
        case StripPixels::Swapped: SwapFirstAndThird(target, line, width); break;
        case StripPixels::CutAndSwapped: DropFourthAndSwap(target, line, width); break;
        case StripPixels::Copy: break;
        }
        memcpy(target + form.pixelsOut, line + form.pixelsIn, form.carried);
    }
}

// The transfer's lines from `firstLine` on, to be converted into `target`.
StripConversion StripJob(uint8_t *target, uint32_t firstLine) {
    const FrameView &view = g_source.memXferView;
    return {target, &view, StripLineFormOf(view), firstLine};
}

// Guards the transfer's lines against a preview started on another thread
// than the one the strips are asked on: the lines go either from the host
// buffer or from the copy made aside, never from a buffer being snapped into.
SRWLOCK g_linesLock = SRWLOCK_INIT;

// Describes the strip of `lines` lines that starts at the next line to
// deliver and moves past it; the last line ends the transfer.
TW_UINT16 CompleteStrip(TW_IMAGEMEMXFER *strip, uint32_t lines) {
    strip->Compression = TWCP_NONE;
    strip->BytesPerRow = g_source.memXferLineLength;
    strip->Columns = g_source.memXferColumns;
    strip->XOffset = 0;
    strip->YOffset = g_source.memXferRowsDone;
    strip->BytesWritten = lines * g_source.memXferLineLength;
    strip->Rows = lines;
    g_source.memXferRowsDone += lines;
    g_source.sourceState = STATE_TRANSFERRING;
    if (g_source.memXferRowsDone < g_source.memXferRows) return TWRC_SUCCESS;
    EndTransferInProgress();
    return TWRC_XFERDONE;
}

// As many whole lines as the buffer holds: converted from the host buffer,
// or copied from the lines kept aside once a preview took the host buffer.
TW_UINT16 DeliverStrip(TW_IMAGEMEMXFER *strip, uint8_t *destination) {
    uint32_t line = g_source.memXferLineLength;
    uint32_t lines = strip->Memory.Length / line;
    uint32_t done = g_source.memXferRowsDone;
    uint32_t remaining = g_source.memXferRows - done;
    if (lines > remaining) lines = remaining;
    {
        SrwLocked<false> locked(&g_linesLock);
        if (g_source.memXferKept)
            memcpy(destination, g_source.memXferKept + size_t(done - g_source.memXferKeptFrom) * line,
                   size_t(lines) * line);
        else {
            StripConversion job = StripJob(destination, done);
            ConvertRows(lines, ConvertLines, &job);
        }
    }
    return CompleteStrip(strip, lines);
}

TW_UINT16 FirstStrip(TW_IMAGEMEMXFER *strip, uint8_t *destination) {
    auto check = [strip](const FrameView &view) {
        return CheckFirstStrip(view, strip->Memory.Length);
    };
    FrameView view;
    TW_UINT16 code = StartTransfer(FrameUse::Memory, check, view);
    if (code != TWCC_SUCCESS) return Fail(code);

    const FrameGeometry &frame = view.frame();
    g_source.memXferLineLength = StripLineFormOf(view).length();
    g_source.memXferColumns = frame.width;
    g_source.memXferRows = frame.height;
    g_source.memXferRowsDone = 0;

    {
        SrwLocked<true> locked(&g_linesLock);
        g_source.memXferView = view;
        g_source.memXferInProgress = true;
    }
    return DeliverStrip(strip, destination);
}

}  // namespace

TW_UINT16 SetupMemXferMsg(const OperationRequest *request) {
    if (!SourceOpenBetweenTransfers())
        return FailOperation(OperationText::SetupMemXfer, TWCC_SEQERROR);
    if (request->message != MSG_GET)
        return FailOperation(OperationText::SetupMemXfer, TWCC_BADPROTOCOL);
    auto *setup = static_cast<TW_SETUPMEMXFER *>(request->data);
    if (!setup) return FailMissingData();
    *setup = BufferSizesFor(ReadBoardFrame());
    return TWRC_SUCCESS;
}

TW_UINT16 ImageMemXferMsg(const OperationRequest *request) {
    bool first = g_source.sourceState == STATE_READY;
    bool next = g_source.sourceState == STATE_TRANSFERRING && g_source.memXferInProgress;
    if (TW_UINT16 code = CheckTransferRequest(FirstCheck::Message, first || next, request->message))
        return Fail(code);
    auto *strip = static_cast<TW_IMAGEMEMXFER *>(request->data);
    if (!strip) return FailMissingData();

    // TheMem is a pointer unless the application says it gave a global-memory
    // handle; that stays locked while the strip is written, and its block
    // must hold the length the application claims.
    bool givenHandle = (strip->Memory.Flags & TWMF_HANDLE) != 0;
    auto handle = static_cast<HGLOBAL>(strip->Memory.TheMem);
    LockedGlobal locked(givenHandle ? handle : nullptr);
    auto *destination =
        givenHandle ? locked.data() : static_cast<uint8_t *>(strip->Memory.TheMem);
    if (!destination || (givenHandle && GlobalSize(handle) < strip->Memory.Length))
        return Fail(TWCC_BADVALUE);

    if (next) return DeliverStrip(strip, destination);
    // Whatever an earlier transfer left behind goes before a new one starts.
    EndTransferInProgress();
    return FirstStrip(strip, destination);
}

bool KeepMemoryTransferLines() {
    SrwLocked<true> locked(&g_linesLock);
    if (!g_source.memXferInProgress || g_source.memXferKept) return true;
    uint32_t from = g_source.memXferRowsDone;
    uint32_t lines = g_source.memXferRows - from;
    auto *kept = static_cast<uint8_t *>(malloc(size_t(lines) * g_source.memXferLineLength));
    if (!kept) return false;
    // On the thread that starts the preview, which need not be the one that
    // owns the transfer worker: converted here alone.
    StripConversion job = StripJob(kept, from);
    ConvertLines(0, lines, &job);
    g_source.memXferKept = kept;
    g_source.memXferKeptFrom = from;
    return true;
}

void EndTransferInProgress() {
    SrwLocked<true> locked(&g_linesLock);
    free(g_source.memXferKept);
    g_source.memXferKept = nullptr;
    g_source.memXferInProgress = false;
    g_source.memXferView = FrameView();
}
