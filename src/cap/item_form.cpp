#include "cap/item_form.h"

TW_UINT32 FloatToFix32(float value) {
    double scaled = static_cast<double>(value) * 65536.0 + 0.5;
    // Out of the 32-bit range (NaN included) the conversion gives the
    // integer indefinite 0x80000000, as the processor's truncation does.
    bool fits = scaled > -2147483649.0 && scaled < 2147483648.0;
    TW_UINT32 v = fits ? static_cast<TW_UINT32>(static_cast<TW_INT32>(scaled)) : 0x80000000u;
    TW_UINT32 whole = v >> 16;    // bits of v's signed shift that Whole keeps
    TW_UINT32 frac = v & 0xFFFF;
    return whole | (frac << 16);
}

float Fix32ToFloat(TW_UINT32 fix) {
    float fraction = static_cast<float>(static_cast<double>(fix >> 16) * 0.0000152587890625);
    float whole = static_cast<float>(static_cast<TW_INT16>(fix & 0xFFFF));
    return whole + fraction;
}
