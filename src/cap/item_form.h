// The internal form of capability items, shared by the container builders
// and the reader of what an application sets. Internal item form: integers
// and TWTY_BOOL at their TWAIN width, TWTY_FIX32 as a float, TWTY_FRAME as
// four floats Top, Left, Right, Bottom, strings as their TW_STRnn record.
// No Windows header: the reader is fuzzed natively.
#pragma once

#include <cstddef>

#include "twain.h"

// ItemSize (twain.h) gives the bytes of one item of a type.

// TW_FIX32 as one word: Whole in the low 16 bits, Frac in the high 16 bits.
TW_UINT32 FloatToFix32(float value);
float Fix32ToFloat(TW_UINT32 fix);

constexpr bool IsStringItem(TW_UINT16 itemType) {
    return itemType >= TWTY_STR32 && itemType <= TWTY_STR255;
}

// Characters a string item carries at most.
constexpr size_t StringItemLimit(TW_UINT16 itemType) {
    switch (itemType) {
    case TWTY_STR32: return 32;
    case TWTY_STR64: return 64;
    case TWTY_STR128: return 128;
    default: return 255;
    }
}

// TW_FRAME stores Left, Top, Right, Bottom: field i of TW_FRAME is internal
// float FrameOrder[i]. The mapping is its own inverse.
constexpr int FrameOrder[4] = {1, 0, 2, 3};
