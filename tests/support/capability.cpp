#include "support/capability.h"

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

}  // namespace

TW_UINT32 Fix(TW_INT16 whole, TW_UINT16 frac) {
    return static_cast<TW_UINT16>(whole) | (static_cast<TW_UINT32>(frac) << 16);
}

HGLOBAL BlockOf(const Bytes &bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

Bytes BlockBytes(HGLOBAL block) {
    Bytes bytes;
    SIZE_T size = GlobalSize(block);
    if (auto *data = static_cast<BYTE *>(GlobalLock(block))) {
        bytes.assign(data, data + size);
        GlobalUnlock(block);
    }
    return bytes;
}

Reply Ask(LoadedSource &source, TW_UINT16 msg, TW_UINT16 code) {
    Reply reply;
    HGLOBAL ours = GlobalAlloc(GMEM_MOVEABLE, 4);
    reply.cap = {code, SentinelCon, ours};
    reply.rc = source.Capability(msg, &reply.cap);
    if (reply.cap.hContainer != ours) {
        reply.gotBlock = reply.cap.hContainer != nullptr;
        if (reply.gotBlock) {
            reply.bytes = BlockBytes(reply.cap.hContainer);
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
    Bytes sent;
    Put16(sent, itemType);
    Put32(sent, item);
    HGLOBAL block = BlockOf(sent);
    TW_CAPABILITY cap = {code, TWON_ONEVALUE, block};
    TW_UINT16 rc = source.Capability(MSG_SET, &cap);
    // The application's container comes back as it was sent.
    EXPECT_EQ(cap.Cap, code);
    EXPECT_EQ(cap.ConType, TWON_ONEVALUE);
    EXPECT_EQ(cap.hContainer, block);
    EXPECT_EQ(BlockBytes(block), sent);
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
