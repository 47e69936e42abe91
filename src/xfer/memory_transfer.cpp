// DAT_SETUPMEMXFER and DAT_IMAGEMEMXFER: the frame delivered in strips of
// whole lines, top line first. The first strip snaps, converts the frame once
// and keeps a private copy for the strips that follow.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "cap/containers.h"
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"
#include "pixel_kernels.h"
#include "xfer/frame.h"
#include "xfer/transfer_end.h"
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

struct StripConversion {
    uint8_t *target;
    const FrameView *view;
    StripLineForm form;
};

// Lines [first, end) of the frame, each read through the view and converted
// to its strip line, into their place in the target.
void ConvertLines(uint32_t first, uint32_t end, const void *context) {
    const auto &job = *static_cast<const StripConversion *>(context);
    const FrameView &view = *job.view;
    const StripLineForm &form = job.form;
    const uint32_t width = view.frame().width;
    uint8_t *target = job.target + size_t(first) * form.length();
    for (uint32_t y = first; y < end; ++y, target += form.length()) {
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

void ConvertFrame(uint8_t *target, const FrameView &view, const StripLineForm &form) {
    StripConversion job{target, &view, form};
    ConvertRows(view.frame().height, ConvertLines, &job);
}

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

// Copies as many whole lines from the private copy as the buffer holds.
TW_UINT16 DeliverStrip(TW_IMAGEMEMXFER *strip, uint8_t *destination) {
    uint32_t line = g_source.memXferLineLength;
    uint32_t lines = strip->Memory.Length / line;
    uint32_t remaining = g_source.memXferRows - g_source.memXferRowsDone;
    if (lines > remaining) lines = remaining;
    size_t bytes = size_t(lines) * line;
    memcpy(destination, g_source.memXferCursor, bytes);
    g_source.memXferCursor += bytes;
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
    const StripLineForm form = StripLineFormOf(view);
    uint32_t line = form.length();
    g_source.memXferLineLength = line;
    g_source.memXferColumns = frame.width;
    g_source.memXferRows = frame.height;
    g_source.memXferRowsDone = 0;

    // A buffer that takes the whole frame ends the transfer at once: the
    // frame is converted straight into it and no copy is kept.
    if (strip->Memory.Length / line >= frame.height) {
        ConvertFrame(destination, view, form);
        return CompleteStrip(strip, frame.height);
    }

    g_source.memXferCopy = static_cast<uint8_t *>(malloc(size_t(line) * frame.height));
    if (!g_source.memXferCopy) return Fail(TWCC_LOWMEMORY);
    ConvertFrame(g_source.memXferCopy, view, form);
    g_source.memXferCursor = g_source.memXferCopy;
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
    bool next = g_source.sourceState == STATE_TRANSFERRING && g_source.memXferCopy;
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
