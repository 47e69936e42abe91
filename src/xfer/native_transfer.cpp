// DAT_IMAGENATIVEXFER: a fresh frame handed over as a bottom-up DIB in global memory.
#include <cstring>

#include "cap/containers.h"
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"
#include "pixel_kernels.h"
#include "xfer/native_bitmap.h"
#include "xfer/transfer_start.h"
#include "xfer/transfer_worker.h"

namespace {

constexpr const char *LockFailedText = "Unable to lock global memory in ImageNativeXfeMsg";

TW_UINT16 Fail(TW_UINT16 code) { return FailOperation(OperationText::ImageNativeXfer, code); }

struct BottomUpConversion {
    uint8_t *pixels;
    const NativeBitmapLayout *layout;
    const FrameView *view;
};

// Frame lines [first, end), converted into their bitmap rows: the row order
// reversed and the pixels converted in one pass, straight from the host buffer
// into the bitmap; the host buffer is left as the board wrote it. Only each
// line's pixels are read, so padding the board adds to them is left behind;
// row padding stays as the zero-initialised block has it.
void ConvertLinesBottomUp(uint32_t first, uint32_t end, const void *context) {
    const auto &job = *static_cast<const BottomUpConversion *>(context);
    const NativeBitmapLayout &layout = *job.layout;
    const FrameView &view = *job.view;
    const FrameGeometry &frame = view.frame();
    uint8_t *row = job.pixels + size_t(frame.height - 1 - first) * layout.rowStride;
    const unsigned shift = ShiftToByteFor(frame.bitDepth);
    for (uint32_t y = first; y < end; ++y, row -= layout.rowStride) {
        const uint8_t *line = view.line(y);
        switch (layout.conversion) {
        case RowConversion::Copy: memcpy(row, line, layout.rowBytes); break;
        case RowConversion::ShiftToByte: ShiftSamplesToBytes(row, line, frame.width, shift); break;
        case RowConversion::DropFourth: DropFourthByte(row, line, frame.width); break;
        }
    }
}

// A frame that fits has its bitmap's block made while the board captures it,
// unless the last transfer had one made ready already.
TW_UINT16 PrepareBlock(const FrameView &view) {
    NativeBitmapLayout layout = NativeBitmapLayoutFor(view);
    PrepareNextBitmapBlock(static_cast<SIZE_T>(layout.blockBytes),
                           static_cast<SIZE_T>(layout.writtenBytes));
    return TWCC_SUCCESS;
}

// Applications pass the address of a pointer-sized TW_HANDLE: 8 bytes on
// Win64, 4 on Win32.
void HandOver(TW_MEMREF data, HGLOBAL bitmap) {
    TW_HANDLE handle = bitmap;
    memcpy(data, &handle, sizeof handle);
}

}  // namespace

TW_UINT16 ImageNativeXfeMsg(const OperationRequest *request) {
    bool ready = g_source.sourceState == STATE_READY;
    if (TW_UINT16 code = CheckTransferRequest(FirstCheck::State, ready, request->message))
        return Fail(code);
    if (!request->data) return FailMissingData();

    FrameView view;
    TW_UINT16 code = StartTransfer(FrameUse::Native, PrepareBlock, view);
    if (code != TWCC_SUCCESS) return Fail(code);

    NativeBitmapLayout layout = NativeBitmapLayoutFor(view);
    HGLOBAL bitmap = BuildNativeBitmap(layout, view.frame());
    if (!bitmap) return Fail(TWCC_LOWMEMORY);
    {
        LockedGlobal block(bitmap);
        if (!block) {
            ShowQuorvexError(LockFailedText);
            GlobalFree(bitmap);
            return Fail(TWCC_OPERATIONERROR);
        }
        // The next block is made while this one is filled: making it costs
        // more than the conversion, which this thread then does alone.
        PrepareFollowingBitmapBlock(static_cast<SIZE_T>(layout.blockBytes),
                                    static_cast<SIZE_T>(layout.writtenBytes));
        BottomUpConversion job{block.data() + layout.pixelOffset, &layout, &view};
        ConvertRows(view.frame().height, ConvertLinesBottomUp, &job);
    }
    HandOver(request->data, bitmap);
    g_source.sourceState = STATE_TRANSFERRING;
    return TWRC_XFERDONE;
}
