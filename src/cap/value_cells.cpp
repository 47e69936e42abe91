// Single values the image-information and file-transfer operations read or
// write without going through DAT_CAPABILITY.
#include "cap/capability_table.h"
#include "ds/source_context.h"

TW_UINT16 CurrentPixelType() { return g_source.capabilityCells.pixelType.currentValue; }

TW_UINT16 CurrentBitDepthFor(TW_UINT16 pixelType) {
    const ValueCells &cells = g_source.capabilityCells;
    switch (pixelType) {
    case TWPT_GRAY: return cells.grayBitDepth.currentValue;
    case TWPT_RGB: return cells.rgbBitDepth.currentValue;
    default: return 0;
    }
}

void SetCurrentFileFormat(TW_UINT16 format) {
    g_source.capabilityCells.imageFileFormat.currentValue = format;
}
