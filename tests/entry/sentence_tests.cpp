// The sentences that follow an operation text, by condition code.
#include <gtest/gtest.h>

#include "ds/errors.h"

namespace {

TEST(ConditionSentence, EveryCodeHasItsSentence) {
    EXPECT_STREQ(ConditionSentence(0), "Success message from detailed error request ??");
    EXPECT_STREQ(ConditionSentence(1), "Bummer error.");
    EXPECT_STREQ(ConditionSentence(2),
                 "Low Memory Condition encountered, free up some memory and try again.");
    EXPECT_STREQ(ConditionSentence(3), "Quorvex board(s) not found.");
    EXPECT_STREQ(ConditionSentence(4), "Source is connected to max possible apps.");
    EXPECT_STREQ(ConditionSentence(5), "An operation error just occurred.");
    EXPECT_STREQ(ConditionSentence(6), "Bad capabilities error.");
    EXPECT_STREQ(ConditionSentence(9), "Bad protocol error.");
    EXPECT_STREQ(ConditionSentence(10), "Bad value error.");
    EXPECT_STREQ(ConditionSentence(11), "DG DAT MSG is out of expected sequence.");
}

TEST(ConditionSentence, CodesWithoutASentenceShareTheUnknownOne) {
    for (TW_UINT16 code : {7, 8, 12, 13, 14, 255, 0xFFFF})
        EXPECT_STREQ(ConditionSentence(code), "Unknown Error value in condition code.") << code;
}

TEST(OperationText, LongestReportFitsTheMessageBuffer) {
    const char *texts[] = {OperationText::SetupFileXfer, OperationText::SetupMemXfer,
                           OperationText::XferGroup, OperationText::ImageNativeXfer};
    for (const char *t : texts)
        EXPECT_LE(strlen(t) + strlen(ConditionSentence(TWCC_LOWMEMORY)), 191u) << t;
}

}  // namespace
