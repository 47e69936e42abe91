// Capability containers read from the bytes of their block: the fixed fields
// first, then as many items as the block holds, never one past its end.
#include "readers/container_reader.h"

#include <cstdio>
#include <cstring>

#include "readers/checked_size.h"
#include "twain/names.h"
#include "readers/text_format.h"

namespace {

// Far more values than any capability has: a list this long is not read.
constexpr uint32_t MaxItems = 1u << 16;

ItemValue ReadItem(TW_UINT16 type, const uint8_t *at) {
    ItemValue value;
    value.itemType = type;
    const size_t size = ItemSize(type);
    if (type == TWTY_FRAME) {
        TW_FIX32 sides[4];
        memcpy(sides, at, sizeof sides);
        char text[96];
        snprintf(text, sizeof text, "%g,%g,%g,%g", sides[0].Whole + sides[0].Frac / 65536.0,
                 sides[1].Whole + sides[1].Frac / 65536.0, sides[2].Whole + sides[2].Frac / 65536.0,
                 sides[3].Whole + sides[3].Frac / 65536.0);
        value.text = text;
    } else if (size > sizeof value.raw) {
        const char *chars = reinterpret_cast<const char *>(at);
        value.text.assign(chars, strnlen(chars, size));
    } else {
        memcpy(&value.raw, at, size);
    }
    return value;
}

// The bytes of the kind's fixed fields, before its items.
uint64_t FieldBytes(TW_UINT16 conType) {
    switch (conType) {
        case TWON_ONEVALUE: return offsetof(TW_ONEVALUE, Item);
        case TWON_ENUMERATION: return offsetof(TW_ENUMERATION, ItemList);
        case TWON_ARRAY: return offsetof(TW_ARRAY, ItemList);
        case TWON_RANGE: return sizeof(TW_RANGE);
        default: return 0;
    }
}

}  // namespace

bool ReadContainer(TW_UINT16 conType, const uint8_t *block, uint64_t size, ContainerReply *reply,
                   std::string *why) {
    const uint64_t fields = FieldBytes(conType);
    if (!fields) return Refuse(why, "the source's container is of kind %u, which TWAIN does not have", conType);
    const char *kind = ContainerName(conType);
    if (size < fields)
        return Refuse(why, "the source's %s is %llu bytes: no room for its fields", kind,
                      static_cast<unsigned long long>(size));
    ContainerReply r;
    r.conType = conType;
    memcpy(&r.itemType, block, sizeof r.itemType);  // the first field of every kind
    const uint32_t itemBytes = ItemSize(r.itemType);
    if (!itemBytes) return Refuse(why, "the source's %s holds items of type %u, which TWAIN does not have", kind, r.itemType);
    // A range's values lie in its 32-bit fields.
    if (conType == TWON_RANGE && itemBytes > sizeof(TW_UINT32))
        return Refuse(why, "the source's %s is of %s, which a range cannot hold", kind, ItemTypeName(r.itemType));
    TW_UINT32 count = 1;
    if (conType == TWON_ENUMERATION || conType == TWON_ARRAY) memcpy(&count, block + offsetof(TW_ARRAY, NumItems), 4);
    if (count > MaxItems)
        return Refuse(why, "the source's %s lists %u items, more than the %u qxacquire reads", kind, count, MaxItems);
    uint64_t needed = 0;
    if (conType != TWON_RANGE && (!checked::MultiplyAdd(count, itemBytes, fields, &needed) || needed > size))
        return Refuse(why, "the source's %s of %u item(s) of %s does not fit its %llu bytes", kind, count,
                      ItemTypeName(r.itemType), static_cast<unsigned long long>(size));
    const uint8_t *items = block + fields;
    switch (conType) {
        case TWON_ONEVALUE:
            r.current = ReadItem(r.itemType, items);
            r.hasCurrent = true;
            break;
        case TWON_ENUMERATION:
        case TWON_ARRAY: {
            r.items.reserve(count);
            for (TW_UINT32 i = 0; i < count; ++i) r.items.push_back(ReadItem(r.itemType, items + size_t(i) * itemBytes));
            if (conType == TWON_ARRAY) break;
            TW_UINT32 current = 0, byDefault = 0;
            memcpy(&current, block + offsetof(TW_ENUMERATION, CurrentIndex), sizeof current);
            memcpy(&byDefault, block + offsetof(TW_ENUMERATION, DefaultIndex), sizeof byDefault);
            r.hasCurrent = current < count;
            if (r.hasCurrent) r.current = r.items[current];
            r.hasDefault = byDefault < count;
            if (r.hasDefault) r.defaultValue = r.items[byDefault];
            break;
        }
        case TWON_RANGE:
            r.isRange = r.hasCurrent = r.hasDefault = true;
            r.minimum = ReadItem(r.itemType, block + offsetof(TW_RANGE, MinValue));
            r.maximum = ReadItem(r.itemType, block + offsetof(TW_RANGE, MaxValue));
            r.step = ReadItem(r.itemType, block + offsetof(TW_RANGE, StepSize));
            r.current = ReadItem(r.itemType, block + offsetof(TW_RANGE, CurrentValue));
            r.defaultValue = ReadItem(r.itemType, block + offsetof(TW_RANGE, DefaultValue));
            break;
        default: break;
    }
    *reply = std::move(r);
    return true;
}
