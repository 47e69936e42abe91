#include "cap/containers.h"

#include <cstddef>
#include <cstring>

#include "cap/item_reader.h"

namespace {

// A one-value block is the item plus 6 bytes; a list block is its header,
// the items and one byte more.
constexpr size_t OneValueExtra = 6;
constexpr size_t ListExtra = 1;
constexpr size_t OneValueItem = offsetof(TW_ONEVALUE, Item);

void CopyString(BYTE *to, const BYTE *from, TW_UINT16 itemType) {
    strncpy(reinterpret_cast<char *>(to), reinterpret_cast<const char *>(from),
            StringItemLimit(itemType));
}

float LoadFloat(const BYTE *from) {
    float value;
    memcpy(&value, from, sizeof value);
    return value;
}

void StoreWord(BYTE *to, TW_UINT32 word) { memcpy(to, &word, sizeof word); }

void StoreFix32(BYTE *to, const BYTE *internalFloat) {
    StoreWord(to, FloatToFix32(LoadFloat(internalFloat)));
}

void FrameToTwain(BYTE *to, const BYTE *internal) {
    for (int i = 0; i < 4; ++i) StoreFix32(to + 4 * i, internal + 4 * FrameOrder[i]);
}

// One list item from internal to TWAIN form (enumerations and arrays).
void WriteListItem(BYTE *to, const BYTE *from, TW_UINT16 itemType) {
    if (itemType == TWTY_FIX32)
        StoreFix32(to, from);
    else if (itemType == TWTY_FRAME)
        FrameToTwain(to, from);
    else if (IsStringItem(itemType))
        CopyString(to, from, itemType);
    else
        memcpy(to, from, ItemSize(itemType));
}

// Hands the application a fresh movable block of size bytes in hContainer
// (null when there is no memory) and lets fill write it. The block is zeroed
// first so that bytes no field covers never carry stale heap contents. A
// block that cannot be locked cannot be filled: it goes, and the reply fails
// as one without memory rather than hand over a container of garbage.
template <class Fill>
TW_UINT16 NewContainer(TW_CAPABILITY *capability, TW_UINT16 conType, size_t size, Fill fill) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    capability->hContainer = nullptr;
    if (!block) return TWCC_LOWMEMORY;
    {
        LockedGlobal locked(block);
        if (!locked) {
            GlobalFree(block);
            return TWCC_LOWMEMORY;
        }
        memset(locked.data(), 0, size);
        fill(locked.data());
    }
    capability->hContainer = block;
    capability->ConType = conType;
    return TWCC_SUCCESS;
}

// A list container: header bytes, then the items at their stride, then one
// byte more.
TW_UINT16 BuildList(TW_CAPABILITY *capability, TW_UINT16 conType, const void *header,
                    size_t headerBytes, TW_UINT16 itemType, TW_UINT32 numItems,
                    const void *items) {
    TW_INT32 count = static_cast<TW_INT32>(numItems);
    if (count < 0) count = 0;
    TW_UINT16 stride = ItemSize(itemType);
    size_t size = headerBytes + static_cast<size_t>(stride) * count + ListExtra;
    return NewContainer(capability, conType, size, [&](BYTE *block) {
        memcpy(block, header, headerBytes);
        const BYTE *from = static_cast<const BYTE *>(items);
        for (TW_INT32 i = 0; i < count; ++i)
            WriteListItem(block + headerBytes + i * stride, from + i * stride, itemType);
    });
}

}  // namespace

TW_INT32 FindItemIndex(TW_INT32 count, const void *list, const void *item, TW_UINT16 size) {
    if (count <= 0) return 0;
    const BYTE *entry = static_cast<const BYTE *>(list);
    for (TW_INT32 i = 0; i < count; ++i, entry += size)
        if (memcmp(entry, item, size) == 0) return i;
    return count;
}

namespace {

// Integers and TWTY_BOOL are zero-extended into the 32-bit Item (TWTY_INT16
// -1 travels as 0x0000FFFF); frames and strings start where Item begins.
void WriteOneValueItem(BYTE *item, const BYTE *from, TW_UINT16 itemType) {
    switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8: StoreWord(item, *from); break;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL: {
        TW_UINT16 value;
        memcpy(&value, from, sizeof value);
        StoreWord(item, value);
        break;
    }
    case TWTY_INT32:
    case TWTY_UINT32: memcpy(item, from, 4); break;
    case TWTY_FIX32: StoreFix32(item, from); break;
    case TWTY_FRAME: FrameToTwain(item, from); break;
    default:
        if (IsStringItem(itemType)) memcpy(item, from, ItemSize(itemType));
        break;
    }
}

}  // namespace

TW_UINT16 BuildOneValue(TW_CAPABILITY *capability, TW_UINT16 itemType, const void *source) {
    size_t size = ItemSize(itemType) + OneValueExtra;
    return NewContainer(capability, TWON_ONEVALUE, size, [&](BYTE *block) {
        memcpy(block, &itemType, sizeof itemType);
        WriteOneValueItem(block + OneValueItem, static_cast<const BYTE *>(source), itemType);
    });
}

TW_UINT16 BuildEnumeration(TW_CAPABILITY *capability, const TW_ENUMERATION &header,
                           const void *items) {
    return BuildList(capability, TWON_ENUMERATION, &header, offsetof(TW_ENUMERATION, ItemList),
                     header.ItemType, header.NumItems, items);
}

TW_UINT16 BuildArray(TW_CAPABILITY *capability, const TW_ARRAY &header, const void *items) {
    return BuildList(capability, TWON_ARRAY, &header, offsetof(TW_ARRAY, ItemList),
                     header.ItemType, header.NumItems, items);
}

std::optional<TW_UINT16> ReadOneValue(const TW_CAPABILITY *capability, void *destination) {
    LockedGlobal locked(capability->hContainer);
    TW_UINT16 itemType;
    if (!locked || !ReadOneValueItem(locked.data(), GlobalSize(capability->hContainer), &itemType,
                                     static_cast<uint8_t *>(destination)))
        return std::nullopt;
    return itemType;
}
