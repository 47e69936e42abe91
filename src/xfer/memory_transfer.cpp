// DAT_SETUPMEMXFER and DAT_IMAGEMEMXFER: the frame delivered in strips of
// whole lines, top line first. The first strip snaps, converts the frame once
// and keeps a private copy for the strips that follow.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "board/board.h"
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

// Bytes of a board line that the conversion reads pixel by pixel.
uint64_t ConvertedPixelBytes(const FrameGeometry &frame) {
    switch (StripPixelsFor(frame.bitDepth)) {
    case StripPixels::Swapped: return uint64_t(frame.width) * 3;
    case StripPixels::CutAndSwapped: return uint64_t(frame.width) * 4;
    default: return 0;
    }
}

// The strips are made of the board's lines, which lie inside the image and the
// image inside the host buffer when the view fits; a strip line is never
// longer than a board line. Colour converted pixel by pixel must fit its line
// as well.
TW_UINT16 CheckFirstStrip(const FrameView &view, TW_UINT32 bufferLength) {
    const FrameGeometry &frame = view.frame();
    if (ConvertedPixelBytes(frame) > frame.lineBytes) return TWCC_OPERATIONERROR;
    bool bufferFits = bufferLength <= frame.imageBytes && bufferLength >= frame.lineBytes;
    return bufferFits ? TWCC_SUCCESS : TWCC_BADVALUE;
}

struct StripConversion {
    uint8_t *target;
    const FrameView *view;
};

// Lines [first, end) of the frame, converted to the form strips carry, into
// their place in the target (lines of StripLineLength bytes). Where strip
// lines are the board's whole lines, lines [first, end) go as one run.
void ConvertLines(uint32_t first, uint32_t end, const void *context) {
    const auto &job = *static_cast<const StripConversion *>(context);
    const FrameView &view = *job.view;
    const FrameGeometry &frame = view.frame();
    uint32_t line = StripLineLength(frame);
    const uint8_t *run = view.line(first);
    uint8_t *target = job.target + size_t(first) * line;
    size_t bytes = size_t(line) * (end - first);
    switch (StripPixelsFor(frame.bitDepth)) {
    case StripPixels::MaskedGrey:
        MaskSamples(target, run, bytes / 2, HighByteMaskFor(frame.bitDepth));
        if (bytes % 2) target[bytes - 1] = run[bytes - 1];
        break;
    case StripPixels::Swapped:
        // Padding at the end of a board line travels unchanged.
        for (uint32_t y = first; y < end; ++y, target += line) {
            const uint8_t *source = view.line(y);
            SwapFirstAndThird(target, source, frame.width);
            memcpy(target + frame.width * 3, source + frame.width * 3, line - frame.width * 3);
        }
        break;
    case StripPixels::CutAndSwapped:
        for (uint32_t y = first; y < end; ++y, target += line)
            DropFourthAndSwap(target, view.line(y), frame.width);
        break;
    case StripPixels::Copy:
        memcpy(target, run, bytes);
        break;
    }
}

void ConvertFrame(uint8_t *target, const FrameView &view) {
    StripConversion job{target, &view};
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
    uint32_t line = StripLineLength(frame);
    g_source.memXferLineLength = line;
    g_source.memXferColumns = frame.width;
    g_source.memXferRows = frame.height;
    g_source.memXferRowsDone = 0;

    // A buffer that takes the whole frame ends the transfer at once: the
    // frame is converted straight into it and no copy is kept.
    if (strip->Memory.Length / line >= frame.height) {
        ConvertFrame(destination, view);
        return CompleteStrip(strip, frame.height);
    }

    g_source.memXferCopy = static_cast<uint8_t *>(malloc(size_t(line) * frame.height));
    if (!g_source.memXferCopy) return Fail(TWCC_LOWMEMORY);
    ConvertFrame(g_source.memXferCopy, view);
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
    FrameGeometry frame = ReadFrameGeometry({KV_IMAGE_BYTES, KV_LINE_BYTES});
    setup->MinBufSize = frame.lineBytes;
    setup->MaxBufSize = frame.imageBytes;
    setup->Preferred = frame.imageBytes;
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
