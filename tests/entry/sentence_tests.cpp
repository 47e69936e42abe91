// The sentences that follow an operation text, by condition code.
#include <gtest/gtest.h>

#include "ds/errors.h"
#include "support/sentences.h"

using namespace qx;

namespace {

// A transcript on purpose: users and application logs quote these texts.
TEST(ConditionSentence, EveryCodeHasItsSentence) {
    EXPECT_STREQ(ConditionSentence(0), SuccessSentence);
    EXPECT_STREQ(ConditionSentence(1), BummerSentence);
    EXPECT_STREQ(ConditionSentence(2), LowMemorySentence);
    EXPECT_STREQ(ConditionSentence(3), NoBoardSentence);
    EXPECT_STREQ(ConditionSentence(4), MaxConnectionsSentence);
    EXPECT_STREQ(ConditionSentence(5), OperationErrorSentence);
    EXPECT_STREQ(ConditionSentence(6), BadCapSentence);
    EXPECT_STREQ(ConditionSentence(9), BadProtocolSentence);
    EXPECT_STREQ(ConditionSentence(10), BadValueSentence);
    EXPECT_STREQ(ConditionSentence(11), SeqErrorSentence);
}

TEST(ConditionSentence, CodesWithoutASentenceShareTheUnknownOne) {
    for (TW_UINT16 code : {7, 8, 12, 13, 14, 255, 0xFFFF})
        EXPECT_STREQ(ConditionSentence(code), UnknownSentence) << code;
}

TEST(OperationText, LongestReportFitsTheMessageBuffer) {
    const char *texts[] = {OperationText::SetupFileXfer, OperationText::SetupMemXfer,
                           OperationText::XferGroup, OperationText::ImageNativeXfer};
    for (const char *t : texts)
        EXPECT_LE(strlen(t) + strlen(ConditionSentence(TWCC_LOWMEMORY)), 191u) << t;
}

}  // namespace
