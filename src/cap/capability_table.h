// The capability table: one record per capability the source answers, with
// its value cells kept for the life of the module.
#pragma once

#include <array>

#include "cap/value_cells.h"
#include "twain.h"

// One capability: its code and item type, the containers of its replies, the
// messages it accepts (TWQC_* mask) and where its values are (in ValueCells).
struct CapabilityRecord {
    TW_UINT16 capId;
    TW_UINT16 itemType;
    TW_UINT16 getContainer;
    TW_UINT16 currentContainer;
    TW_UINT32 supportedMessages;
    TW_INT32 valueCount;
    void *valueList;
    TW_INT32 defaultCount;
    void *defaultValue;
    TW_INT32 currentCount;
    void *currentValue;
};

constexpr int CAPABILITY_SLOTS = 19;
using CapabilityTable = std::array<CapabilityRecord, CAPABILITY_SLOTS>;

// Bit-depth records, one per pixel type: 0x9000 + pixel type.
constexpr TW_UINT16 BITDEPTH_RECORD_BASE = 0x9000;

// Fills the table from constants and the open board (at MSG_OPENDS).
void BuildCapabilityTable();
// Empties the table (at MSG_CLOSEDS); the value cells keep their contents.
void ClearCapabilityTable();
// First slot whose capId matches, or nullptr.
CapabilityRecord *FindCapability(TW_UINT16 capId);

// Makes item (internal form) the record's current value, unless the record
// is enumerated and its list does not offer the item: then false, nothing stored.
bool StoreCurrentValue(CapabilityRecord &record, const void *item);

TW_UINT16 CurrentPixelType();
TW_UINT16 CurrentBitDepthFor(TW_UINT16 pixelType);
// False, and nothing stored, for a format the source does not write.
bool SetCurrentFileFormat(TW_UINT16 format);
TW_UINT16 CurrentFileFormat();
TW_UINT16 DefaultFileFormat();
// ICAP_PHYSICALWIDTH or ICAP_PHYSICALHEIGHT as the table reports it; 0 while
// the source is closed.
float CurrentPhysicalSize(TW_UINT16 capId);
