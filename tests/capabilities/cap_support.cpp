#include "cap_support.h"

#include <algorithm>

namespace qx {

namespace {

TW_UINT32 IndexOf(const std::vector<TW_UINT32> &list, TW_UINT32 item) {
    return static_cast<TW_UINT32>(std::find(list.begin(), list.end(), item) - list.begin());
}

}  // namespace

std::vector<TW_UINT32> SupportedCodes() {
    return {0x1005, 0x0103, 0x111F, 0x1120, 0x0100, 0x1111, 0x1112, 0x0102, 0x100F,
            0x0101, 0x112B, 0x111C, 0x1118, 0x1119, 0x0001, 0x110C, 0x100E};
}

std::vector<Expected> FreshTable(TW_UINT32 depth, TW_UINT32 width, TW_UINT32 height) {
    const TW_UINT32 ro = 0x0D, rw = 0x1F;
    bool deepGray = depth == 10 || depth == 12 || depth == 14;
    TW_UINT32 pixelType = depth < 24 ? 1 : 2;
    std::vector<TW_UINT32> xferCounts = {0xFFFF};
    for (TW_UINT32 n = 1; n <= 25; ++n) xferCounts.push_back(n);
    std::vector<TW_UINT32> codes = SupportedCodes();
    TW_UINT32 w = Fix(static_cast<TW_INT16>(width)), h = Fix(static_cast<TW_INT16>(height));
    return {
        {0x1005, TWTY_UINT16, TWON_ARRAY, ro, codes, 0, 0},
        {0x111F, TWTY_UINT16, TWON_ENUMERATION, rw, {0}, 0, 0},
        {0x0103, TWTY_UINT16, TWON_ENUMERATION, rw, {0, 1, 2}, 0, 0},
        {0x1120, TWTY_UINT16, TWON_ENUMERATION, ro, {0}, 0, 0},
        {0x0100, TWTY_UINT16, TWON_ENUMERATION, ro, {0}, 0, 0},
        {0x1111, TWTY_FIX32, TWON_ONEVALUE, ro, {w}, w, w},
        {0x1112, TWTY_FIX32, TWON_ONEVALUE, ro, {h}, h, h},
        {0x0102, TWTY_UINT16, TWON_ENUMERATION, rw, {5}, 5, 5},
        {0x100F, TWTY_BOOL, TWON_ONEVALUE, ro, {1, 0}, 1, 1},
        {0x9001, TWTY_UINT16, TWON_ENUMERATION, ro, {8, 16}, 8, deepGray ? 16u : 8u},
        {0x9002, TWTY_UINT16, TWON_ENUMERATION, ro, {24}, 24, 24},
        {0x0101, TWTY_UINT16, TWON_ENUMERATION, rw, {pixelType}, pixelType, pixelType},
        {0x111C, TWTY_UINT16, TWON_ENUMERATION, ro, {1}, 1, 1},
        {0x1118, TWTY_FIX32, TWON_ENUMERATION, rw, {Fix(1)}, Fix(1), Fix(1)},
        {0x1119, TWTY_FIX32, TWON_ENUMERATION, rw, {Fix(1)}, Fix(1), Fix(1)},
        {0x0001, TWTY_INT16, TWON_ONEVALUE, rw, xferCounts, 0xFFFF, 0xFFFF},
        {0x110C, TWTY_UINT16, TWON_ENUMERATION, rw, {2, 0}, 2, 2},
        {0x100E, TWTY_BOOL, TWON_ONEVALUE, ro, {1, 0}, 1, 1},
    };
}

const Expected &Find(const std::vector<Expected> &table, TW_UINT16 code) {
    for (const Expected &e : table)
        if (e.code == code) return e;
    ADD_FAILURE() << "no expected record " << code;
    return table.front();
}

Bytes GetReply(const Expected &e) {
    switch (e.getContainer) {
    case TWON_ARRAY: return Array(e.itemType, e.list);
    case TWON_ENUMERATION:
        return Enumeration(e.itemType, e.list, IndexOf(e.list, e.currentValue),
                           IndexOf(e.list, e.defaultValue));
    default: return OneValue(e.itemType, e.currentValue);
    }
}

Bytes CurrentReply(const Expected &e) {
    if (e.getContainer == TWON_ARRAY) return Array(e.itemType, e.list);
    return OneValue(e.itemType, e.currentValue);
}

Bytes DefaultReply(const Expected &e) {
    if (e.getContainer == TWON_ARRAY) return Array(e.itemType, e.list);
    return OneValue(e.itemType, e.defaultValue);
}

}  // namespace qx
