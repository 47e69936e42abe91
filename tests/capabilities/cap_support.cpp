#include "cap_support.h"

#include <algorithm>
#include <cstring>

namespace qx {

namespace {

// A handle of ours placed in hContainer before the call.
constexpr TW_UINT16 SentinelCon = 0x7777;

// An item in its list form: 2 bytes for the 16-bit types, 4 otherwise.
void PutItem(Bytes &b, TW_UINT16 itemType, TW_UINT32 item) {
    if (itemType == TWTY_FIX32 || itemType == TWTY_UINT32 || itemType == TWTY_INT32)
        Put32(b, item);
    else
        Put16(b, static_cast<TW_UINT16>(item));
}

size_t ItemBytes(TW_UINT16 itemType) {
    Bytes b;
    PutItem(b, itemType, 0);
    return b.size();
}

TW_UINT32 IndexOf(const std::vector<TW_UINT32> &list, TW_UINT32 item) {
    return static_cast<TW_UINT32>(std::find(list.begin(), list.end(), item) - list.begin());
}

}  // namespace

TW_UINT32 Fix(TW_INT16 whole, TW_UINT16 frac) {
    return static_cast<TW_UINT16>(whole) | (static_cast<TW_UINT32>(frac) << 16);
}

Reply Ask(LoadedSource &source, TW_UINT16 msg, TW_UINT16 code) {
    Reply reply;
    HGLOBAL ours = GlobalAlloc(GMEM_MOVEABLE, 4);
    reply.cap = {code, SentinelCon, ours};
    reply.rc = source.Capability(msg, &reply.cap);
    if (reply.cap.hContainer != ours) {
        reply.gotBlock = reply.cap.hContainer != nullptr;
        if (reply.gotBlock) {
            SIZE_T size = GlobalSize(reply.cap.hContainer);
            if (auto *data = static_cast<BYTE *>(GlobalLock(reply.cap.hContainer))) {
                reply.bytes.assign(data, data + size);
                GlobalUnlock(reply.cap.hContainer);
            }
            EXPECT_EQ(GlobalFree(reply.cap.hContainer), nullptr);
        }
    }
    // Ours was overwritten, not freed: it is still ours to free.
    EXPECT_NE(GlobalSize(ours), 0u) << "the source freed the application's handle";
    GlobalFree(ours);
    return reply;
}

TW_UINT16 SetOneValue(LoadedSource &source, TW_UINT16 code, TW_UINT16 itemType,
                      TW_UINT32 item) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(TW_ONEVALUE));
    auto *value = static_cast<TW_ONEVALUE *>(GlobalLock(block));
    value->ItemType = itemType;
    value->Item = item;
    GlobalUnlock(block);
    TW_CAPABILITY cap = {code, TWON_ONEVALUE, block};
    TW_UINT16 rc = source.Capability(MSG_SET, &cap);
    // The application's container comes back as it was sent.
    EXPECT_EQ(cap.Cap, code);
    EXPECT_EQ(cap.ConType, TWON_ONEVALUE);
    EXPECT_EQ(cap.hContainer, block);
    value = static_cast<TW_ONEVALUE *>(GlobalLock(block));
    EXPECT_NE(value, nullptr);
    if (value) {
        EXPECT_EQ(value->ItemType, itemType);
        EXPECT_EQ(value->Item, item);
        GlobalUnlock(block);
    }
    GlobalFree(block);
    return rc;
}

Bytes OneValue(TW_UINT16 itemType, TW_UINT32 item) {
    Bytes b;
    Put16(b, itemType);
    Put32(b, item);
    b.resize(6 + ItemBytes(itemType), 0);  // the block is ItemSize + 6
    return b;
}

Bytes Enumeration(TW_UINT16 itemType, const std::vector<TW_UINT32> &items,
                  TW_UINT32 currentIndex, TW_UINT32 defaultIndex) {
    Bytes b;
    Put16(b, itemType);
    Put32(b, static_cast<TW_UINT32>(items.size()));
    Put32(b, currentIndex);
    Put32(b, defaultIndex);
    for (TW_UINT32 item : items) PutItem(b, itemType, item);
    b.push_back(0);
    return b;
}

Bytes Array(TW_UINT16 itemType, const std::vector<TW_UINT32> &items) {
    Bytes b;
    Put16(b, itemType);
    Put32(b, static_cast<TW_UINT32>(items.size()));
    for (TW_UINT32 item : items) PutItem(b, itemType, item);
    b.push_back(0);
    return b;
}

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

void ExpectReply(const Reply &reply, TW_UINT16 conType, const Bytes &bytes) {
    EXPECT_EQ(reply.rc, TWRC_SUCCESS);
    EXPECT_TRUE(reply.gotBlock) << "no new block in hContainer";
    EXPECT_EQ(reply.cap.ConType, conType);
    EXPECT_EQ(reply.bytes, bytes);
}

void ExpectFailure(LoadedSource &source, const Reply &reply, TW_UINT16 code) {
    EXPECT_EQ(reply.rc, TWRC_FAILURE);
    EXPECT_FALSE(reply.gotBlock) << "a failure handed over a block";
    EXPECT_EQ(reply.cap.ConType, SentinelCon);
    EXPECT_EQ(source.Status(), code);
}

}  // namespace qx
