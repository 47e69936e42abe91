// The container builders and the one-value reader, on their own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cap/containers.h"
#include "support/bytes.h"

using namespace qx;

namespace {

// The reply's bytes; frees the block.
Bytes TakeBlock(TW_CAPABILITY &cap) {
    Bytes bytes;
    HGLOBAL block = cap.hContainer;
    EXPECT_NE(block, nullptr);
    if (!block) return bytes;
    SIZE_T size = GlobalSize(block);
    void *data = GlobalLock(block);
    EXPECT_NE(data, nullptr);
    // A movable block: the handle is not the address of the memory.
    EXPECT_NE(data, static_cast<void *>(block));
    bytes.assign(static_cast<BYTE *>(data), static_cast<BYTE *>(data) + size);
    GlobalUnlock(block);
    GlobalFree(block);
    cap.hContainer = nullptr;
    return bytes;
}

Bytes OneValueBytes(TW_UINT16 itemType, TW_UINT32 item, size_t blockSize) {
    Bytes b;
    Put16(b, itemType);
    Put32(b, item);
    b.resize(blockSize, 0);
    return b;
}

TW_CAPABILITY FreshCapability() {
    TW_CAPABILITY cap = {};
    cap.Cap = 0x1234;
    cap.ConType = 0xBEEF;
    return cap;
}

// Internal frame: Top, Left, Right, Bottom.
struct InternalFrame {
    float top, left, right, bottom;
};

TEST(BuildOneValue, IntegersAreZeroExtendedIntoAnItemSizePlusSixBlock) {
    struct Case {
        TW_UINT16 type;
        TW_UINT32 raw;  // internal bytes (little-endian, ItemSize of them)
        TW_UINT32 item;
    };
    const Case cases[] = {
        {TWTY_INT8, 0xFF, 0x000000FF},           {TWTY_UINT8, 0x7F, 0x0000007F},
        {TWTY_INT16, 0xFFFF, 0x0000FFFF},        {TWTY_UINT16, 5, 5},
        {TWTY_BOOL, 1, 1},                       {TWTY_INT32, 0xFFFFFFFE, 0xFFFFFFFE},
        {TWTY_UINT32, 0x1F, 0x1F},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        TW_CAPABILITY cap = FreshCapability();
        ASSERT_EQ(BuildOneValue(&cap, c.type, &c.raw), TWCC_SUCCESS);
        EXPECT_EQ(cap.ConType, TWON_ONEVALUE);
        EXPECT_EQ(cap.Cap, 0x1234);
        EXPECT_EQ(TakeBlock(cap), OneValueBytes(c.type, c.item, ItemSize(c.type) + 6u));
    }
}

TEST(BuildOneValue, FloatsAreSentAsFix32) {
    TW_CAPABILITY cap = FreshCapability();
    float value = 640.0f;
    ASSERT_EQ(BuildOneValue(&cap, TWTY_FIX32, &value), TWCC_SUCCESS);
    EXPECT_EQ(TakeBlock(cap), OneValueBytes(TWTY_FIX32, 640, 10));
    value = -0.5f;
    ASSERT_EQ(BuildOneValue(&cap, TWTY_FIX32, &value), TWCC_SUCCESS);
    EXPECT_EQ(TakeBlock(cap), OneValueBytes(TWTY_FIX32, 0x8001FFFF, 10));
}

TEST(BuildOneValue, FrameIsWrittenLeftTopRightBottomFromWhereItemBegins) {
    TW_CAPABILITY cap = FreshCapability();
    InternalFrame frame = {1.0f, 2.0f, 3.0f, 4.0f};
    ASSERT_EQ(BuildOneValue(&cap, TWTY_FRAME, &frame), TWCC_SUCCESS);
    Bytes expected;
    Put16(expected, TWTY_FRAME);
    for (TW_UINT32 whole : {2u, 1u, 3u, 4u}) Put32(expected, whole);
    expected.resize(22, 0);
    EXPECT_EQ(TakeBlock(cap), expected);
}

TEST(BuildOneValue, StringRecordIsCopiedWhole) {
    TW_CAPABILITY cap = FreshCapability();
    TW_STR32 text;
    memset(text, 'x', sizeof text);  // no terminator: all 34 bytes go
    ASSERT_EQ(BuildOneValue(&cap, TWTY_STR32, text), TWCC_SUCCESS);
    Bytes expected;
    Put16(expected, TWTY_STR32);
    expected.insert(expected.end(), 34, 'x');
    expected.resize(40, 0);
    EXPECT_EQ(TakeBlock(cap), expected);
}

TEST(BuildOneValue, EveryCallHandsOverANewBlock) {
    TW_CAPABILITY first = FreshCapability(), second = FreshCapability();
    TW_UINT16 value = 3;
    ASSERT_EQ(BuildOneValue(&first, TWTY_UINT16, &value), TWCC_SUCCESS);
    ASSERT_EQ(BuildOneValue(&second, TWTY_UINT16, &value), TWCC_SUCCESS);
    EXPECT_NE(first.hContainer, second.hContainer);
    EXPECT_EQ(TakeBlock(first), TakeBlock(second));
}

TEST(BuildEnumeration, HeaderThenItemsInAnItemsPlusFifteenBlock) {
    TW_CAPABILITY cap = FreshCapability();
    const TW_UINT16 items[] = {0, 1, 2};
    TW_ENUMERATION header = {};
    header.ItemType = TWTY_UINT16;
    header.NumItems = 3;
    header.CurrentIndex = 2;
    header.DefaultIndex = 0;
    ASSERT_EQ(BuildEnumeration(&cap, header, items), TWCC_SUCCESS);
    EXPECT_EQ(cap.ConType, TWON_ENUMERATION);
    Bytes expected;
    Put16(expected, TWTY_UINT16);
    Put32(expected, 3);
    Put32(expected, 2);
    Put32(expected, 0);
    for (TW_UINT16 v : items) Put16(expected, v);
    expected.push_back(0);
    EXPECT_EQ(TakeBlock(cap), expected);
}

TEST(BuildEnumeration, Fix32ItemsAreConverted) {
    TW_CAPABILITY cap = FreshCapability();
    const float items[] = {1.0f};
    TW_ENUMERATION header = {};
    header.ItemType = TWTY_FIX32;
    header.NumItems = 1;
    ASSERT_EQ(BuildEnumeration(&cap, header, items), TWCC_SUCCESS);
    Bytes expected;
    Put16(expected, TWTY_FIX32);
    Put32(expected, 1);
    Put32(expected, 0);
    Put32(expected, 0);
    Put32(expected, 0x00000001);  // Whole 1, Frac 0
    expected.push_back(0);
    EXPECT_EQ(TakeBlock(cap), expected);
}

TEST(BuildEnumeration, StringsAreCutAtTheirLimitAndPaddedWithZeros) {
    TW_CAPABILITY cap = FreshCapability();
    TW_STR32 items[2];
    memset(items[0], 'a', sizeof items[0]);  // 34 characters, no terminator
    memset(items[1], 0, sizeof items[1]);
    strcpy(items[1], "short");
    TW_ENUMERATION header = {};
    header.ItemType = TWTY_STR32;
    header.NumItems = 2;
    ASSERT_EQ(BuildEnumeration(&cap, header, items), TWCC_SUCCESS);
    Bytes got = TakeBlock(cap);
    ASSERT_EQ(got.size(), 2 * 34 + 15u);
    Bytes first(got.begin() + 14, got.begin() + 14 + 34);
    Bytes expectedFirst(32, 'a');
    expectedFirst.resize(34, 0);
    EXPECT_EQ(first, expectedFirst);
    Bytes second(got.begin() + 48, got.begin() + 48 + 34);
    Bytes expectedSecond = {'s', 'h', 'o', 'r', 't'};
    expectedSecond.resize(34, 0);
    EXPECT_EQ(second, expectedSecond);
}

TEST(BuildEnumeration, NoItemsWhenNumItemsIsZeroOrNegative) {
    for (TW_UINT32 numItems : {0u, 0xFFFFFFFFu}) {
        TW_CAPABILITY cap = FreshCapability();
        TW_ENUMERATION header = {};
        header.ItemType = TWTY_UINT16;
        header.NumItems = numItems;
        ASSERT_EQ(BuildEnumeration(&cap, header, nullptr), TWCC_SUCCESS);
        Bytes got = TakeBlock(cap);
        ASSERT_EQ(got.size(), 15u);
        TW_UINT32 stored;
        memcpy(&stored, &got[2], 4);
        EXPECT_EQ(stored, numItems);
    }
}

TEST(BuildArray, SeventeenCodesMakeAFortyOneByteBlock) {
    TW_CAPABILITY cap = FreshCapability();
    TW_UINT16 codes[17];
    for (int i = 0; i < 17; ++i) codes[i] = static_cast<TW_UINT16>(0x1000 + i);
    TW_ARRAY header = {};
    header.ItemType = TWTY_UINT16;
    header.NumItems = 17;
    ASSERT_EQ(BuildArray(&cap, header, codes), TWCC_SUCCESS);
    EXPECT_EQ(cap.ConType, TWON_ARRAY);
    Bytes expected;
    Put16(expected, TWTY_UINT16);
    Put32(expected, 17);
    for (TW_UINT16 code : codes) Put16(expected, code);
    expected.push_back(0);
    Bytes got = TakeBlock(cap);
    EXPECT_EQ(got.size(), 41u);
    EXPECT_EQ(got, expected);
}

TEST(BuildArray, FramesAreReorderedAndConverted) {
    TW_CAPABILITY cap = FreshCapability();
    InternalFrame frame = {0.5f, 1.0f, 2.0f, 3.0f};
    TW_ARRAY header = {};
    header.ItemType = TWTY_FRAME;
    header.NumItems = 1;
    ASSERT_EQ(BuildArray(&cap, header, &frame), TWCC_SUCCESS);
    Bytes expected;
    Put16(expected, TWTY_FRAME);
    Put32(expected, 1);
    for (TW_UINT32 word : {0x00000001u, 0x80000000u, 0x00000002u, 0x00000003u})
        Put32(expected, word);
    expected.push_back(0);
    EXPECT_EQ(TakeBlock(cap), expected);
}

// An application's TW_ONEVALUE: ItemType, then payload from where Item begins.
HGLOBAL AppOneValue(TW_UINT16 itemType, const void *payload, size_t payloadBytes) {
    size_t size = 2 + (payloadBytes < 4 ? 4 : payloadBytes);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    BYTE *data = static_cast<BYTE *>(GlobalLock(block));
    memcpy(data, &itemType, 2);
    memcpy(data + 2, payload, payloadBytes);
    GlobalUnlock(block);
    return block;
}

template <class T> T Read(TW_UINT16 itemType, TW_UINT32 item, T initial) {
    TW_CAPABILITY cap = {0, TWON_ONEVALUE, AppOneValue(itemType, &item, 4)};
    T value = initial;
    ReadOneValue(&cap, &value);
    GlobalFree(cap.hContainer);
    return value;
}

TEST(ReadOneValue, TakesTheLowBytesOfItemForIntegers) {
    EXPECT_EQ(Read<TW_UINT32>(TWTY_UINT8, 0xAABBCC12, 0xEEEEEEEE), 0xEEEEEE12u);
    EXPECT_EQ(Read<TW_UINT32>(TWTY_INT8, 0xAABBCCFE, 0xEEEEEEEE), 0xEEEEEEFEu);
    EXPECT_EQ(Read<TW_UINT32>(TWTY_UINT16, 0xAABB0002, 0xEEEEEEEE), 0xEEEE0002u);
    EXPECT_EQ(Read<TW_UINT32>(TWTY_INT16, 0x0000FFFF, 0xEEEEEEEE), 0xEEEEFFFFu);
    EXPECT_EQ(Read<TW_UINT32>(TWTY_BOOL, 0x00010001, 0xEEEEEEEE), 0xEEEE0001u);
    EXPECT_EQ(Read<TW_UINT32>(TWTY_UINT32, 0xAABBCCDD, 0), 0xAABBCCDDu);
    EXPECT_EQ(Read<TW_UINT32>(TWTY_INT32, 0x80000000, 0), 0x80000000u);
}

TEST(ReadOneValue, Fix32BecomesAFloat) {
    EXPECT_EQ(Read<float>(TWTY_FIX32, 0x80000001, 0.0f), 1.5f);
    EXPECT_EQ(Read<float>(TWTY_FIX32, 0x8000FFFF, 0.0f), -0.5f);
    EXPECT_EQ(Read<float>(TWTY_FIX32, 0x00010000, 0.0f), 1.52587890625e-05f);
    EXPECT_EQ(Read<float>(TWTY_FIX32, 0x00008000, 0.0f), -32768.0f);
}

TEST(ReadOneValue, UnknownItemTypeReadsNothing) {
    EXPECT_EQ(Read<TW_UINT32>(13, 0x12345678, 0xEEEEEEEE), 0xEEEEEEEEu);
    EXPECT_EQ(Read<TW_UINT32>(0x7777, 0x12345678, 0xEEEEEEEE), 0xEEEEEEEEu);
}

TEST(ReadOneValue, UnlockableHandleReadsNothing) {
    TW_CAPABILITY cap = {0, TWON_ONEVALUE, nullptr};
    TW_UINT32 value = 0xEEEEEEEE;
    ReadOneValue(&cap, &value);
    EXPECT_EQ(value, 0xEEEEEEEEu);
}

TEST(ReadOneValue, FrameSentAndReadBackIsUnchanged) {
    InternalFrame frame = {1.0f, 2.0f, 3.0f, 4.0f};
    TW_CAPABILITY sent = FreshCapability();
    ASSERT_EQ(BuildOneValue(&sent, TWTY_FRAME, &frame), TWCC_SUCCESS);
    {
        LockedGlobal locked(sent.hContainer);
        ASSERT_TRUE(locked);
        TW_FRAME twain;
        memcpy(&twain, locked.data() + 2, sizeof twain);
        EXPECT_EQ(twain.Left.Whole, 2);
        EXPECT_EQ(twain.Top.Whole, 1);
        EXPECT_EQ(twain.Right.Whole, 3);
        EXPECT_EQ(twain.Bottom.Whole, 4);
    }
    InternalFrame back = {};
    ReadOneValue(&sent, &back);
    GlobalFree(sent.hContainer);
    EXPECT_EQ(back.top, 1.0f);
    EXPECT_EQ(back.left, 2.0f);
    EXPECT_EQ(back.right, 3.0f);
    EXPECT_EQ(back.bottom, 4.0f);
}

TEST(ReadOneValue, StringsCopyAtMostTheirLimit) {
    std::string longText(40, 'q');
    TW_CAPABILITY cap = {0, TWON_ONEVALUE, AppOneValue(TWTY_STR32, longText.c_str(), 41)};
    TW_STR32 value;
    memset(value, 'E', sizeof value);
    ReadOneValue(&cap, value);
    GlobalFree(cap.hContainer);
    EXPECT_EQ(std::string(value, 32), std::string(32, 'q'));
    EXPECT_EQ(value[32], 'E');  // nothing past the 32 characters
    EXPECT_EQ(value[33], 'E');

    const char text[] = "Quorvex";
    cap.hContainer = AppOneValue(TWTY_STR64, text, sizeof text);
    TW_STR64 shortValue;
    memset(shortValue, 'E', sizeof shortValue);
    ReadOneValue(&cap, shortValue);
    GlobalFree(cap.hContainer);
    EXPECT_STREQ(shortValue, "Quorvex");
    EXPECT_EQ(shortValue[63], 0);  // padded with zeros up to the limit
    EXPECT_EQ(shortValue[64], 'E');

    std::string longest(300, 'q');
    using Limit = std::pair<TW_UINT16, size_t>;
    for (auto [itemType, limit] : {Limit{TWTY_STR128, 128}, Limit{TWTY_STR255, 255}}) {
        cap.hContainer = AppOneValue(itemType, longest.c_str(), longest.size() + 1);
        char read[300];
        memset(read, 'E', sizeof read);
        ReadOneValue(&cap, read);
        GlobalFree(cap.hContainer);
        EXPECT_EQ(std::string(read, limit + 1), std::string(limit, 'q') + 'E') << itemType;
    }
}

}  // namespace
