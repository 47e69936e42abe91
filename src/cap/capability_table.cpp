// The eighteen capability records, built at every open over the value cells
// and emptied at close.
#include "board/board.h"
#include "cap/capability_table.h"
#include "ds/source_context.h"
#include "xfer/frame.h"

namespace {

constexpr TW_UINT32 READ_ONLY = TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT;
constexpr TW_UINT32 NEGOTIABLE = READ_ONLY | TWQC_SET | TWQC_RESET;

// A record with a value list and one default and one current value, whose
// current-type replies are TW_ONEVALUEs.
template <class T, size_t N>
CapabilityRecord Record(TW_UINT16 capId, TW_UINT16 itemType, TW_UINT16 getContainer,
                        TW_UINT32 messages, CapabilityCells<T, N> &cells) {
    return {capId, itemType, getContainer, TWON_ONEVALUE, messages,
            static_cast<TW_INT32>(N), cells.list.data(), 1, &cells.defaultValue,
            1, &cells.currentValue};
}

// A read-only record whose one cell is its list, default and current.
CapabilityRecord OneCellRecord(TW_UINT16 capId, float &cell) {
    return {capId, TWTY_FIX32, TWON_ONEVALUE, TWON_ONEVALUE, READ_ONLY, 1, &cell, 1, &cell,
            1, &cell};
}

CapabilityRecord SupportedCapsRecord(ValueCells &cells) {
    constexpr auto count = static_cast<TW_INT32>(SUPPORTED_CAPABILITY_COUNT);
    TW_UINT16 *codes = cells.supportedCaps.data();
    return {CAP_SUPPORTEDCAPS, TWTY_UINT16, TWON_ARRAY, TWON_ARRAY, READ_ONLY, count, codes,
            count, codes, count, codes};
}

// Slots 1 to 18 in order; slot 19 stays empty.
CapabilityTable TableOver(ValueCells &c) {
    return {{
        SupportedCapsRecord(c),
        Record(ICAP_PIXELFLAVOR, TWTY_UINT16, TWON_ENUMERATION, NEGOTIABLE, c.pixelFlavor),
        Record(ICAP_XFERMECH, TWTY_UINT16, TWON_ENUMERATION, NEGOTIABLE, c.xferMech),
        Record(ICAP_PLANARCHUNKY, TWTY_UINT16, TWON_ENUMERATION, READ_ONLY, c.planarChunky),
        Record(ICAP_COMPRESSION, TWTY_UINT16, TWON_ENUMERATION, READ_ONLY, c.compression),
        OneCellRecord(ICAP_PHYSICALWIDTH, c.physicalWidth),
        OneCellRecord(ICAP_PHYSICALHEIGHT, c.physicalHeight),
        Record(ICAP_UNITS, TWTY_UINT16, TWON_ENUMERATION, NEGOTIABLE, c.units),
        Record(CAP_DEVICEONLINE, TWTY_BOOL, TWON_ONEVALUE, READ_ONLY, c.deviceOnline),
        Record(BITDEPTH_RECORD_BASE + TWPT_GRAY, TWTY_UINT16, TWON_ENUMERATION, READ_ONLY,
               c.grayBitDepth),
        Record(BITDEPTH_RECORD_BASE + TWPT_RGB, TWTY_UINT16, TWON_ENUMERATION, READ_ONLY,
               c.rgbBitDepth),
        Record(ICAP_PIXELTYPE, TWTY_UINT16, TWON_ENUMERATION, NEGOTIABLE, c.pixelType),
        Record(ICAP_BITORDER, TWTY_UINT16, TWON_ENUMERATION, READ_ONLY, c.bitOrder),
        Record(ICAP_XRESOLUTION, TWTY_FIX32, TWON_ENUMERATION, NEGOTIABLE, c.resolution),
        Record(ICAP_YRESOLUTION, TWTY_FIX32, TWON_ENUMERATION, NEGOTIABLE, c.resolution),
        Record(CAP_XFERCOUNT, TWTY_INT16, TWON_ONEVALUE, NEGOTIABLE, c.xferCount),
        Record(ICAP_IMAGEFILEFORMAT, TWTY_UINT16, TWON_ENUMERATION, NEGOTIABLE,
               c.imageFileFormat),
        Record(CAP_UICONTROLLABLE, TWTY_BOOL, TWON_ONEVALUE, READ_ONLY, c.uiControllable),
    }};
}

}  // namespace

void BuildCapabilityTable() {
    // Only the board-derived cells are written: whatever the application set
    // before an earlier close stays in force. Without an open board every
    // inquiry answers 0.
    ValueCells &cells = g_source.capabilityCells;
    cells.physicalWidth = static_cast<float>(BoardInquire(KV_IMAGE_WIDTH));
    cells.physicalHeight = static_cast<float>(BoardInquire(KV_IMAGE_HEIGHT));
    if (IsDeepGrey(BoardInquire(KV_BITS_PER_PIXEL))) cells.grayBitDepth.currentValue = 16;
    TW_UINT16 pixelType = IsGreyDepth(BoardInquire(KV_BITS_PER_PIXEL)) ? TWPT_GRAY : TWPT_RGB;
    cells.pixelType = {{pixelType}, pixelType, pixelType};
    g_source.capabilities = TableOver(cells);
}

void ClearCapabilityTable() {
    for (CapabilityRecord &record : g_source.capabilities) record = {};
}

CapabilityRecord *FindCapability(TW_UINT16 capId) {
    for (CapabilityRecord &record : g_source.capabilities)
        if (record.capId == capId) return &record;
    return nullptr;
}
