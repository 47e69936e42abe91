// DAT_CAPABILITY: finds the capability's record, checks that it accepts the
// message and runs the message's operation. Never shows a box; the condition
// code is always left set, to TWCC_SUCCESS on success.
#include "cap/capability_messages.h"
#include "ds/operations.h"
#include "ds/source_context.h"

namespace {

typedef TW_UINT16 (*MessageOperation)(CapabilityRecord &record, TW_CAPABILITY &capability);

struct MessageRow {
    TW_UINT16 message;
    TW_UINT32 requiredBit;  // 0: accepted by every record
    MessageOperation operation;
};

constexpr MessageRow MessageTable[] = {
    {MSG_GET, TWQC_GET, CapGet},
    {MSG_GETCURRENT, TWQC_GETCURRENT, CapGetCurrent},
    {MSG_GETDEFAULT, TWQC_GETDEFAULT, CapGetDefault},
    {MSG_SET, TWQC_SET, CapSet},
    {MSG_RESET, TWQC_RESET, CapReset},
    {MSG_QUERYSUPPORT, 0, CapQuerySupport},
};

const MessageRow *RowFor(TW_UINT16 message) {
    for (const MessageRow &row : MessageTable)
        if (row.message == message) return &row;
    return nullptr;
}

// ICAP_BITDEPTH has one record per pixel type; the current pixel type picks it.
TW_UINT16 RecordIdFor(TW_UINT16 cap) {
    if (cap != ICAP_BITDEPTH) return cap;
    return static_cast<TW_UINT16>(BITDEPTH_RECORD_BASE + CurrentPixelType());
}

// The condition code of one request, before the protocol adjustment.
TW_UINT16 Serve(TW_UINT16 message, TW_CAPABILITY *capability) {
    if (!capability) return TWCC_BADVALUE;
    CapabilityRecord *record = FindCapability(RecordIdFor(capability->Cap));
    const MessageRow *row = RowFor(message);
    if (!record || !row) return TWCC_CAPUNSUPPORTED;
    if (row->requiredBit && !(record->supportedMessages & row->requiredBit))
        return TWCC_CAPBADOPERATION;
    return row->operation(*record, *capability);
}

// The highest condition code that protocol 1.5 defines.
constexpr TW_UINT16 LAST_PROTOCOL_15_CODE = 12;

// Older applications see TWCC_BADCAP in place of the newer capability codes.
TW_UINT16 ForApplicationProtocol(TW_UINT16 code) {
    const TW_IDENTITY &app = g_source.appIdentity;
    bool oldProtocol = app.ProtocolMajor <= 1 && app.ProtocolMinor <= 5;
    return oldProtocol && code > LAST_PROTOCOL_15_CODE ? TWCC_BADCAP : code;
}

}  // namespace

TW_UINT16 HandleCapability(const OperationRequest *request) {
    TW_UINT16 code = Serve(request->message, static_cast<TW_CAPABILITY *>(request->data));
    g_source.conditionCode = ForApplicationProtocol(code);
    return code == TWCC_SUCCESS ? TWRC_SUCCESS : TWRC_FAILURE;
}
