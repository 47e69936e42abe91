// TW_FIX32 conversions and the item search, at their edges.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "cap/containers.h"

namespace {

// The word as TW_FIX32 lays it out in memory.
TW_FIX32 AsFix(TW_UINT32 word) {
    TW_FIX32 fix;
    memcpy(&fix, &word, sizeof fix);
    return fix;
}

TW_UINT32 Word(TW_INT16 whole, TW_UINT16 frac) {
    TW_FIX32 fix = {whole, frac};
    TW_UINT32 word;
    memcpy(&word, &fix, sizeof word);
    return word;
}

#define EXPECT_FIX(value, whole, frac)                        \
    do {                                                      \
        TW_FIX32 got = AsFix(FloatToFix32(value));            \
        EXPECT_EQ(got.Whole, whole) << "for " << (value);     \
        EXPECT_EQ(got.Frac, frac) << "for " << (value);       \
    } while (0)

TEST(FloatToFix32, WholeAndHalfValues) {
    EXPECT_FIX(1.0f, 1, 0);
    EXPECT_FIX(0.5f, 0, 32768);
    EXPECT_FIX(640.0f, 640, 0);
    EXPECT_FIX(0.0f, 0, 0);
    EXPECT_FIX(32767.5f, 32767, 32768);
}

TEST(FloatToFix32, WordKeepsWholeLowAndFracHigh) {
    EXPECT_EQ(FloatToFix32(1.0f), 0x00000001u);
    EXPECT_EQ(FloatToFix32(0.5f), 0x80000000u);
    EXPECT_EQ(FloatToFix32(2.25f), 0x40000002u);
}

TEST(FloatToFix32, NegativeValuesTruncateTowardZeroAfterTheHalfIsAdded) {
    EXPECT_FIX(-1.0f, -1, 1);       // v = -65535
    EXPECT_FIX(-0.5f, -1, 32769);   // v = -32767
    EXPECT_FIX(-2.0f, -2, 1);
    // -0.5/65536 scales to exactly -0.5; plus the half is 0.
    EXPECT_FIX(-std::ldexp(1.0f, -17), 0, 0);
    // -1.5/65536 scales to -1.0: v = -1.
    EXPECT_FIX(-3 * std::ldexp(1.0f, -17), -1, 65535);
}

TEST(FloatToFix32, RoundsHalfOfTheLastStepUp) {
    EXPECT_FIX(1e-6f, 0, 0);
    EXPECT_FIX(std::ldexp(1.0f, -17), 0, 1);            // exactly half a step
    EXPECT_FIX(0.99f * std::ldexp(1.0f, -17), 0, 0);    // just below half
}

TEST(FloatToFix32, LargestValueBelow32768StillFits) {
    float largest = std::nextafter(32768.0f, 0.0f);  // 32767.998046875
    EXPECT_FIX(largest, 32767, 65408);
    EXPECT_FIX(-32768.0f, -32768, 1);  // v = -2147483647 still fits
}

TEST(FloatToFix32, OutOfRangeGivesMinus32768) {
    EXPECT_FIX(32768.0f, -32768, 0);
    EXPECT_FIX(40000.0f, -32768, 0);
    EXPECT_FIX(1e30f, -32768, 0);
    EXPECT_FIX(-40000.0f, -32768, 0);
    EXPECT_FIX(std::numeric_limits<float>::infinity(), -32768, 0);
    EXPECT_FIX(-std::numeric_limits<float>::infinity(), -32768, 0);
    EXPECT_FIX(std::numeric_limits<float>::quiet_NaN(), -32768, 0);
}

TEST(Fix32ToFloat, AddsTheFractionToTheSignedWhole) {
    EXPECT_EQ(Fix32ToFloat(Word(1, 0)), 1.0f);
    EXPECT_EQ(Fix32ToFloat(Word(640, 0)), 640.0f);
    EXPECT_EQ(Fix32ToFloat(Word(-1, 32768)), -0.5f);
    EXPECT_EQ(Fix32ToFloat(Word(-1, 1)), -0.9999847412109375f);
    EXPECT_EQ(Fix32ToFloat(Word(0, 65535)), 0.9999847412109375f);
    EXPECT_EQ(Fix32ToFloat(Word(-32768, 0)), -32768.0f);
    EXPECT_EQ(Fix32ToFloat(Word(0, 1)), 1.52587890625e-05f);
}

TEST(Fix32ToFloat, SumIsRoundedToSinglePrecision) {
    // 32767 + 65535/65536 has no float of its own; it rounds up to 32768.
    EXPECT_EQ(Fix32ToFloat(Word(32767, 65535)), 32768.0f);
    EXPECT_EQ(Fix32ToFloat(Word(16384, 1)), 16384.0f);
}

TEST(Fix32ToFloat, MinusOneDoesNotSurviveARoundTrip) {
    // -1.0 is sent as (-1, 1); read back that is -0.99998..., which is sent
    // as (-1, 2): the half added before truncation works against negatives.
    float back = Fix32ToFloat(FloatToFix32(-1.0f));
    EXPECT_EQ(back, -0.9999847412109375f);
    EXPECT_FIX(back, -1, 2);
}

TEST(Fix32ToFloat, PositiveValuesSurviveARoundTrip) {
    for (float value : {0.0f, 0.5f, 1.0f, 2.25f, 640.0f, 1234.5f, 32767.5f}) {
        TW_UINT32 word = FloatToFix32(value);
        EXPECT_EQ(Fix32ToFloat(word), value);
        EXPECT_EQ(FloatToFix32(Fix32ToFloat(word)), word);
    }
}

TEST(FindItemIndex, FindsTheFirstEqualItem) {
    const TW_UINT16 list[] = {0, 1, 2, 1};
    TW_UINT16 item = 0;
    EXPECT_EQ(FindItemIndex(4, list, &item, 2), 0);
    item = 1;
    EXPECT_EQ(FindItemIndex(4, list, &item, 2), 1);
    item = 2;
    EXPECT_EQ(FindItemIndex(4, list, &item, 2), 2);
}

TEST(FindItemIndex, AbsentItemGivesTheCount) {
    const TW_UINT16 list[] = {0, 1, 2};
    TW_UINT16 item = 7;
    EXPECT_EQ(FindItemIndex(3, list, &item, 2), 3);
    // Only the first count items are searched.
    item = 2;
    EXPECT_EQ(FindItemIndex(2, list, &item, 2), 2);
}

TEST(FindItemIndex, EmptyOrNegativeCountGivesZero) {
    TW_UINT16 item = 5;
    EXPECT_EQ(FindItemIndex(0, nullptr, &item, 2), 0);
    EXPECT_EQ(FindItemIndex(-3, nullptr, &item, 2), 0);
}

TEST(FindItemIndex, ComparesBytesNotValues) {
    const float list[] = {1.0f, 0.0f};
    float negativeZero = -0.0f;
    EXPECT_EQ(FindItemIndex(2, list, &negativeZero, 4), 2);
    float zero = 0.0f;
    EXPECT_EQ(FindItemIndex(2, list, &zero, 4), 1);
    // Only size bytes take part: 0x0102 and 0x0302 agree in their low byte.
    const TW_UINT16 words[] = {0x0302};
    TW_UINT16 other = 0x0102;
    EXPECT_EQ(FindItemIndex(1, words, &other, 1), 0);
    EXPECT_EQ(FindItemIndex(1, words, &other, 2), 1);
}

TEST(ItemSize, EveryItemType) {
    // Each type's size in a container; an unknown type has none.
    const struct {
        TW_UINT16 type;
        int bytes;
    } Sizes[] = {
        {TWTY_INT8, 1},   {TWTY_UINT8, 1},   {TWTY_INT16, 2},   {TWTY_UINT16, 2},
        {TWTY_BOOL, 2},   {TWTY_INT32, 4},   {TWTY_UINT32, 4},  {TWTY_FIX32, 4},
        {TWTY_FRAME, 16}, {TWTY_STR32, 34},  {TWTY_STR64, 66},  {TWTY_STR128, 130},
        {TWTY_STR255, 256}, {13, 0},         {0xFFFF, 0},
    };
    for (const auto &size : Sizes) EXPECT_EQ(ItemSize(size.type), size.bytes) << "type " << size.type;
}

}  // namespace
