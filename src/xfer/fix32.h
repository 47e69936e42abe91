// TW_FIX32 fields filled from a float.
#pragma once

#include <cstring>

#include "cap/containers.h"
#include "twain.h"

// FloatToFix32's word (Whole low, Frac high) is the record's own byte layout.
inline TW_FIX32 Fix32From(float value) {
    TW_UINT32 word = FloatToFix32(value);
    TW_FIX32 fix;
    static_assert(sizeof fix == sizeof word);
    memcpy(&fix, &word, sizeof fix);
    return fix;
}
