// DAT_IMAGELAYOUT: a fixed layout (the board's whole frame; document, page
// and frame 1) that cannot be changed.
#include "cap/capability_table.h"
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"
#include "xfer/fix32.h"

TW_UINT16 ImageLayoutMsg(const OperationRequest *request) {
    switch (request->message) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT: {
        auto *layout = static_cast<TW_IMAGELAYOUT *>(request->data);
        if (!layout) return FailMissingData();
        layout->Frame.Top = Fix32From(0.0f);
        layout->Frame.Left = Fix32From(0.0f);
        // In pixels, as the physical size capabilities report them.
        layout->Frame.Right = Fix32From(CurrentPhysicalSize(ICAP_PHYSICALWIDTH));
        layout->Frame.Bottom = Fix32From(CurrentPhysicalSize(ICAP_PHYSICALHEIGHT));
        layout->DocumentNumber = 1;
        layout->PageNumber = 1;
        layout->FrameNumber = 1;
        return TWRC_SUCCESS;
    }
    case MSG_SET:
    case MSG_RESET:
        return TWRC_SUCCESS;
    default:
        return FailOperation(OperationText::ImageLayout, TWCC_BADPROTOCOL);
    }
}
