// Reading what an application hands over with DAT_CAPABILITY / MSG_SET, from
// bytes alone: the caller locks the container and passes its block and size.
// No Windows header: the reader is fuzzed natively.
#pragma once

#include <cstddef>
#include <cstdint>

#include "twain.h"

// What MSG_SET does with a container kind (TW_CAPABILITY.ConType).
enum class SetContainer { AcceptUnread, ReadOneValue, Refuse };
SetContainer SetContainerFor(TW_UINT16 conType);

// The TW_ONEVALUE in block (size bytes): its ItemType into *itemType and its
// Item, in internal form (item_form.h), into value, which has room for any
// type (sizeof(TW_STR255)). Writes ItemSize(*itemType) bytes, but for a
// string only its characters, zero-padded to its limit; nothing for a type
// it does not know. False, and nothing written to value, when the block ends
// before the item does (or before a string's terminator or limit).
bool ReadOneValueItem(const uint8_t *block, size_t size, TW_UINT16 *itemType, uint8_t *value);
