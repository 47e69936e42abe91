// Single values the image-information, image-layout and file-transfer
// operations read or write without going through DAT_CAPABILITY.
#include <cstring>

#include "cap/capability_table.h"
#include "ds/source_context.h"

TW_UINT16 CurrentPixelType() { return g_source.capabilityCells.pixelType.currentValue; }

TW_UINT16 CurrentBitDepthFor(TW_UINT16 pixelType) {
    const ValueCells &cells = g_source.capabilityCells;
    switch (pixelType) {
    case TWPT_GRAY: return cells.grayBitDepth.currentValue;
    case TWPT_RGB: return cells.rgbBitDepth.currentValue;
    // Only for the switch to be total: the pixel type offered is grey or colour alone.
    default: return 0;
    }
}

// The formats written are the ones ICAP_IMAGEFILEFORMAT offers.
bool SetCurrentFileFormat(TW_UINT16 format) {
    CapabilityRecord *record = FindCapability(ICAP_IMAGEFILEFORMAT);
    return record && StoreCurrentValue(*record, &format);
}

TW_UINT16 CurrentFileFormat() { return g_source.capabilityCells.imageFileFormat.currentValue; }

TW_UINT16 DefaultFileFormat() { return g_source.capabilityCells.imageFileFormat.defaultValue; }

float CurrentPhysicalSize(TW_UINT16 capId) {
    const CapabilityRecord *record = FindCapability(capId);
    float size = 0.0f;
    if (record && record->itemType == TWTY_FIX32) memcpy(&size, record->currentValue, sizeof size);
    return size;
}
