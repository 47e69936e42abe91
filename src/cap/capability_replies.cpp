// Replies to the reading messages: new containers built from the record's
// value list, default or current value.
#include <cstring>

#include "cap/capability_messages.h"
#include "cap/containers.h"

namespace {

const BYTE *Items(const void *cells) { return static_cast<const BYTE *>(cells); }

// One TW_RANGE field from an internal item; 0 for item types a range does
// not carry.
TW_UINT32 RangeField(TW_UINT16 itemType, const BYTE *item) {
    switch (itemType) {
    case TWTY_INT16:
    case TWTY_UINT16: {
        TW_UINT16 value;
        memcpy(&value, item, sizeof value);
        return value;
    }
    case TWTY_INT32:
    case TWTY_UINT32: {
        TW_UINT32 value;
        memcpy(&value, item, sizeof value);
        return value;
    }
    case TWTY_FIX32: {
        float value;
        memcpy(&value, item, sizeof value);
        return FloatToFix32(value);
    }
    default: return 0;
    }
}

// Minimum, maximum and step are the first three items of the value list; a
// shorter list leaves the rest 0 rather than reading past it.
TW_RANGE RangeOf(const CapabilityRecord &record) {
    TW_RANGE range = {};
    range.ItemType = record.itemType;
    TW_UINT16 stride = ItemSize(record.itemType);
    const BYTE *list = Items(record.valueList);
    TW_UINT32 *limits[] = {&range.MinValue, &range.MaxValue, &range.StepSize};
    for (int i = 0; i < 3 && i < record.valueCount; ++i)
        *limits[i] = RangeField(record.itemType, list + i * stride);
    range.DefaultValue = RangeField(record.itemType, Items(record.defaultValue));
    range.CurrentValue = RangeField(record.itemType, Items(record.currentValue));
    return range;
}

// The value list, with the positions of the current and default values in it.
TW_ENUMERATION EnumerationHeaderOf(const CapabilityRecord &record) {
    TW_UINT16 size = ItemSize(record.itemType);
    TW_ENUMERATION header = {};
    header.ItemType = record.itemType;
    header.NumItems = static_cast<TW_UINT32>(record.valueCount);
    header.CurrentIndex = static_cast<TW_UINT32>(
        FindItemIndex(record.valueCount, record.valueList, record.currentValue, size));
    header.DefaultIndex = static_cast<TW_UINT32>(
        FindItemIndex(record.valueCount, record.valueList, record.defaultValue, size));
    return header;
}

// A reply in the given container: a one-value or an array carries the items
// passed; an enumeration or a range always describes the whole value list.
TW_UINT16 Reply(const CapabilityRecord &record, TW_CAPABILITY &capability, TW_UINT16 container,
                TW_INT32 count, const void *items) {
    switch (container) {
    case TWON_ONEVALUE: return BuildOneValue(&capability, record.itemType, items);
    case TWON_ARRAY: {
        TW_ARRAY header = {};
        header.ItemType = record.itemType;
        header.NumItems = static_cast<TW_UINT32>(count);
        return BuildArray(&capability, header, items);
    }
    case TWON_ENUMERATION:
        return BuildEnumeration(&capability, EnumerationHeaderOf(record), record.valueList);
    case TWON_RANGE: return BuildRange(&capability, RangeOf(record));
    default: return TWCC_CAPUNSUPPORTED;  // a record that names no container
    }
}

}  // namespace

TW_UINT16 CapGet(CapabilityRecord &record, TW_CAPABILITY &capability) {
    // A one-value answer to MSG_GET is the current value, not the list.
    if (record.getContainer == TWON_ONEVALUE)
        return Reply(record, capability, TWON_ONEVALUE, record.currentCount, record.currentValue);
    return Reply(record, capability, record.getContainer, record.valueCount, record.valueList);
}

TW_UINT16 CapGetCurrent(CapabilityRecord &record, TW_CAPABILITY &capability) {
    return Reply(record, capability, record.currentContainer, record.currentCount,
                 record.currentValue);
}

TW_UINT16 CapGetDefault(CapabilityRecord &record, TW_CAPABILITY &capability) {
    return Reply(record, capability, record.currentContainer, record.defaultCount,
                 record.defaultValue);
}

TW_UINT16 CapQuerySupport(CapabilityRecord &record, TW_CAPABILITY &capability) {
    TW_UINT32 messages = record.supportedMessages;
    return BuildOneValue(&capability, TWTY_UINT32, &messages);
}
