// The writing messages: MSG_SET stores the application's value as the
// current one if the capability offers it, MSG_RESET puts the default back.
#include <array>
#include <cstddef>
#include <cstring>

#include "cap/capability_messages.h"
#include "cap/containers.h"
#include "cap/item_reader.h"

namespace {

// Room for the largest internal item (TWTY_STR255).
using ScratchItem = std::array<BYTE, sizeof(TW_STR255)>;

}  // namespace

TW_UINT16 CapSet(CapabilityRecord &record, TW_CAPABILITY &capability) {
    switch (SetContainerFor(capability.ConType)) {
    case SetContainer::AcceptUnread: return TWCC_SUCCESS;
    case SetContainer::Refuse: return TWCC_BADVALUE;
    case SetContainer::ReadOneValue: break;
    }
    ScratchItem value = {};
    // No widening: the item type must be the record's own.
    if (ReadOneValue(&capability, value.data()) != record.itemType) return TWCC_BADVALUE;
    return StoreCurrentValue(record, value.data()) ? TWCC_SUCCESS : TWCC_BADVALUE;
}

bool StoreCurrentValue(CapabilityRecord &record, const void *item) {
    TW_UINT16 size = ItemSize(record.itemType);
    // An application reads the current value as an index into the list it
    // was offered, so a value outside that list cannot be current.
    if (record.getContainer == TWON_ENUMERATION &&
        FindItemIndex(record.valueCount, record.valueList, item, size) >= record.valueCount)
        return false;
    memcpy(record.currentValue, item, size);
    return true;
}

TW_UINT16 CapReset(CapabilityRecord &record, TW_CAPABILITY &capability) {
    size_t bytes = static_cast<size_t>(ItemSize(record.itemType)) * record.currentCount;
    // memmove: a record may use one cell as both default and current.
    memmove(record.currentValue, record.defaultValue, bytes);
    return CapGetDefault(record, capability);
}
