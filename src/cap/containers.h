// TWAIN containers in global memory, built from the values the capability
// records keep in their internal form (cap/item_form.h).
#pragma once

#include <windows.h>

#include <optional>

#include "cap/item_form.h"
#include "twain.h"

// Position of item in a list of count items of size bytes (compared byte for
// byte); count when absent, 0 for an empty list.
TW_INT32 FindItemIndex(TW_INT32 count, const void *list, const void *item, TW_UINT16 size);

// Each builder puts a new GMEM_MOVEABLE block into capability->hContainer
// (null when it cannot be had) and the container kind into ConType, and
// returns TWCC_SUCCESS or TWCC_LOWMEMORY. The block belongs to the caller.
TW_UINT16 BuildOneValue(TW_CAPABILITY *capability, TW_UINT16 itemType, const void *source);
// header: ItemType, NumItems, CurrentIndex, DefaultIndex.
TW_UINT16 BuildEnumeration(TW_CAPABILITY *capability, const TW_ENUMERATION &header,
                           const void *items);
// header: ItemType, NumItems.
TW_UINT16 BuildArray(TW_CAPABILITY *capability, const TW_ARRAY &header, const void *items);

// The TW_ONEVALUE in the application's hContainer, read by ReadOneValueItem
// into destination (room for any type): the ItemType it holds, or none when
// the handle cannot be locked or the block ends before its item.
std::optional<TW_UINT16> ReadOneValue(const TW_CAPABILITY *capability, void *destination);

// A global-memory block locked for the life of the object.
class LockedGlobal {
public:
    explicit LockedGlobal(HGLOBAL handle)
        : handle_(handle), data_(handle ? GlobalLock(handle) : nullptr) {}
    ~LockedGlobal() {
        if (data_) GlobalUnlock(handle_);
    }
    LockedGlobal(const LockedGlobal &) = delete;
    LockedGlobal &operator=(const LockedGlobal &) = delete;

    BYTE *data() const { return static_cast<BYTE *>(data_); }
    explicit operator bool() const { return data_ != nullptr; }

private:
    HGLOBAL handle_;
    void *data_;
};
