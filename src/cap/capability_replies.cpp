// Replies to the reading messages: new containers built from the record's
// value list, default or current value.
#include "cap/capability_messages.h"
#include "cap/containers.h"

namespace {

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
// passed; an enumeration always describes the whole value list. No record
// of the table replies in a range.
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
    // Only for the switch to be total: every record names one of the above.
    default: return TWCC_CAPUNSUPPORTED;
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
