// TWAIN containers in global memory and the conversions between the values
// the capability records keep and what travels to and from the application.
//
// Internal item form: integers and TWTY_BOOL at their TWAIN width, TWTY_FIX32
// as a float, TWTY_FRAME as four floats Top, Left, Right, Bottom, strings as
// their TW_STRnn record.
#pragma once

#include <windows.h>

#include "twain.h"

// ItemSize (twain.h) gives the bytes of one item of a type.

// TW_FIX32 as one word: Whole in the low 16 bits, Frac in the high 16 bits.
TW_UINT32 FloatToFix32(float value);
float Fix32ToFloat(TW_UINT32 fix);

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

// The Item of the application's TW_ONEVALUE, in internal form, into
// destination (ItemSize of the container's ItemType bytes). Nothing is read,
// and false returned, when the handle cannot be locked.
bool ReadOneValue(const TW_CAPABILITY *capability, void *destination);

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
