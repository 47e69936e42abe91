#include "cap/item_reader.h"

#include <algorithm>
#include <cstring>

#include "cap/item_form.h"

namespace {

TW_UINT32 LoadWord(const uint8_t *from) {
    TW_UINT32 word;
    memcpy(&word, from, sizeof word);
    return word;
}

void StoreFloat(uint8_t *to, float value) { memcpy(to, &value, sizeof value); }

}  // namespace

SetContainer SetContainerFor(TW_UINT16 conType) {
    // An enumeration is accepted as it is and changes nothing.
    if (conType == TWON_ENUMERATION) return SetContainer::AcceptUnread;
    return conType == TWON_ONEVALUE ? SetContainer::ReadOneValue : SetContainer::Refuse;
}

bool ReadOneValueItem(const uint8_t *block, size_t size, TW_UINT16 *itemType, uint8_t *value) {
    constexpr size_t head = offsetof(TW_ONEVALUE, Item);
    if (size < head) return false;
    memcpy(itemType, block, sizeof *itemType);
    const TW_UINT16 type = *itemType;
    const uint8_t *item = block + head;
    const size_t room = size - head;
    if (IsStringItem(type)) {
        // At most the type's characters, as far as the block goes.
        const size_t limit = StringItemLimit(type);
        const size_t length = strnlen(reinterpret_cast<const char *>(item), std::min(limit, room));
        if (length == room && length < limit) return false;
        memcpy(value, item, length);
        memset(value + length, 0, limit - length);
        return true;
    }
    if (room < ItemSize(type)) return false;
    if (type == TWTY_FIX32) {
        StoreFloat(value, Fix32ToFloat(LoadWord(item)));
    } else if (type == TWTY_FRAME) {
        for (int i = 0; i < 4; ++i)
            StoreFloat(value + 4 * FrameOrder[i], Fix32ToFloat(LoadWord(item + 4 * i)));
    } else {
        // Integers and TWTY_BOOL: little-endian, the low bytes of Item come first.
        memcpy(value, item, ItemSize(type));
    }
    return true;
}
