// The containers a source answers capability requests with, read: any kind
// (TWON_*), any ItemType, any NumItems, each checked against the block's size
// before an item of it is read. Windows-free: locking the container and
// asking its size (GlobalLock, GlobalSize) stay with capabilities.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "twain.h"

// One item: the scalar types widened into raw (little-endian, as they lie),
// strings and frames as text.
struct ItemValue {
    TW_UINT16 itemType = 0;
    TW_UINT32 raw = 0;
    std::string text;
};

// What a container says: its items, current and default where it holds them.
struct ContainerReply {
    TW_UINT16 conType = 0;
    TW_UINT16 itemType = 0;
    std::vector<ItemValue> items;  // an enumeration's or an array's
    bool hasCurrent = false, hasDefault = false;
    ItemValue current, defaultValue;
    bool isRange = false;
    ItemValue minimum, maximum, step;
};

// The container of kind conType in the `size` bytes at block. False, *why
// saying what is wrong and *reply untouched, for a kind or item type TWAIN
// does not have or a container whose items do not lie within the block.
bool ReadContainer(TW_UINT16 conType, const uint8_t *block, uint64_t size, ContainerReply *reply,
                   std::string *why);
