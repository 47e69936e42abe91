// Opening and closing the source on the simulated board: version check,
// discovery, selection, open failures and the stored application identity.
#include <cstring>

#include "support/harness.h"
#include "support/sentences.h"

using namespace qx;

namespace {

constexpr const char *OpenFailure = "General failure in response to MSG_OPENDS.  ";
constexpr const char *VersionText =
    "The Quorvex Twain driver is not compatable with the current SDK. For this Twain driver, "
    "use SDK 6.201";

class OpenCloseTest : public SourceTest {};

// A transcript on purpose: the board calls of an open, in the order the board's
// own logs show them.
TEST_F(OpenCloseTest, TheOnlyBoardOpensWithoutADialog) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    std::vector<std::string> expected = {
        "KvDVersion -> 0",       "KvSysBrdEnum 16 -> 0", "KvSysBrdEnum 32 -> 0",
        "KvSysBrdEnum 64 -> 0",  "KvSysBrdFind 32 0 -> 0", "KvBrdOpen 1 -> 0",
    };
    auto log = BoardLog();
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + expected.size()), expected);
    EXPECT_TRUE(BoardLogMatching("DoBrdOpenDialog").empty());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
    EXPECT_EQ(source->PendingCount(), 1);  // state 400

    // The identity is now the one the Source Manager passed in.
    TW_IDENTITY identity = {};
    ASSERT_EQ(source->Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_EQ(memcmp(&identity, &source->opened, sizeof identity), 0);
    EXPECT_EQ(identity.Id, 9u);

    ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    EXPECT_EQ(BoardLog().back(), "KvBrdClose -> 0");
    EXPECT_EQ(source->PendingCount(), -1);  // state 300
    // The identity stays as it was opened.
    ASSERT_EQ(source->Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_EQ(identity.Id, 9u);
}

class TwoFamiliesTest : public SourceTest {
    std::string BoardConfig() override { return "boards = 0x10:1,0x40:1\nselect = 0x40:0\n"; }
};

TEST_F(TwoFamiliesTest, BoardsOfTwoFamiliesGoThroughTheSelection) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    EXPECT_TRUE(Logged("DoBrdOpenDialog 1 208 -> 0"));
    EXPECT_TRUE(Logged("KvSysBrdFind 64 0 -> 0"));
}

class NoBoardTest : public SourceTest {
    std::string BoardConfig() override { return "boards = none\nselect = cancel\n"; }
};

TEST_F(NoBoardTest, CancellingTheSelectionIsACancel) {
    EXPECT_EQ(source->Open(), TWRC_CANCEL);
    EXPECT_TRUE(Logged("DoBrdOpenDialog 1 208 -> 2"));
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Twain Driver Error",
               std::string(OpenFailure) + NoBoardSentence);
    EXPECT_EQ(source->Status(), TWCC_NODS);
    EXPECT_TRUE(BoardLogMatching("KvBrdOpen").empty());
}

class SelectionDialogTest : public SourceTest {
    std::string BoardConfig() override { return "boards = 0x20:2\n"; }
};

TEST_F(SelectionDialogTest, TheUserChoosesOrCancelsInARealDialog) {
    SetDialogAction("Select Quorvex Board", IDCANCEL);
    EXPECT_EQ(source->Open(), TWRC_CANCEL);
    EXPECT_EQ(source->Status(), TWCC_NODS);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Select Quorvex Board");
    EXPECT_EQ(boxes[1].title, "Twain Driver Error");

    // The failed open kept the identity: the next open is refused, close clears it.
    EXPECT_EQ(source->Open(), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_MAXCONNECTIONS);
    ASSERT_EQ(source->Close(), TWRC_SUCCESS);

    ClearBoxes();
    SetDialogAction("Select Quorvex Board", IDOK, 1);
    EXPECT_EQ(source->Open(), TWRC_SUCCESS);
    EXPECT_TRUE(Logged("KvSysBrdFind 32 1 -> 0"));
    ASSERT_EQ(Boxes().size(), 1u);
    SetDialogAction("Select Quorvex Board", IDOK, -1);
}

class MissingBoardTest : public SourceTest {
    std::string BoardConfig() override { return "boards = 0x10:1,0x20:1\nselect = 0x40:3\n"; }
};

TEST_F(MissingBoardTest, AChosenBoardThatCannotBeFoundIsNoSource) {
    EXPECT_EQ(source->Open(), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_NODS);
    EXPECT_TRUE(BoardLogMatching("KvBrdOpen").empty());
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Twain Driver Error",
               std::string(OpenFailure) + NoBoardSentence);
}

class UnopenableBoardTest : public SourceTest {
    std::string BoardConfig() override { return "open_result = 5\n"; }
};

TEST_F(UnopenableBoardTest, FailedOpenThenMaxConnectionsThenCloseThenReopen) {
    EXPECT_EQ(source->Open(), TWRC_FAILURE);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_BOX(boxes[0], "Quorvex Error", "Error opening Quorvex board.");
    EXPECT_BOX(boxes[1], "Twain Driver Error",
               std::string(OpenFailure) + OperationErrorSentence);
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    EXPECT_EQ(source->PendingCount(), -1);  // still 300

    // The identity of the failed open is still stored.
    ClearBoxes();
    size_t before = BoardLog().size();
    EXPECT_EQ(source->Open(), TWRC_FAILURE);
    boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Twain Driver Error",
               std::string(OpenFailure) + MaxConnectionsSentence);
    EXPECT_EQ(source->Status(), TWCC_MAXCONNECTIONS);
    EXPECT_EQ(source->PendingCount(), 1);  // 400
    // No board is open, so none is asked or closed.
    auto log = BoardLog();
    ASSERT_EQ(log.size(), before + 1);
    EXPECT_EQ(log.back(), "KvDVersion -> 0");
    EXPECT_EQ(source->Close(), TWRC_SUCCESS);
    EXPECT_EQ(BoardLog().size(), before + 1);

    ConfigureBoard("");
    EXPECT_EQ(source->Open(), TWRC_SUCCESS);
    EXPECT_TRUE(Logged("KvBrdOpen 1 -> 0"));
}

TEST_F(OpenCloseTest, OpeningTwiceOrClosingUnopenedIsOutOfSequence) {
    EXPECT_EQ(source->Close(), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Twain Driver Error",
               std::string("General failure in response to MSG_CLOSEDS.  ") + SeqErrorSentence);

    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ClearBoxes();
    EXPECT_EQ(source->Open(), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text,
              std::string(OpenFailure) + SeqErrorSentence);
    EXPECT_EQ(BoardLogMatching("KvBrdOpen").size(), 1u);
    EXPECT_EQ(source->PendingCount(), 1);

    ClearBoxes();
    TW_IDENTITY identity = {};
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_IDENTITY, MSG_SET, &identity), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text,
              std::string("General failure in response to DAT_IDENTITY.  ") + BadProtocolSentence);
}

struct VersionCase {
    const char *config;
    bool passes;
};

class VersionCheckTest : public SourceTest, public ::testing::WithParamInterface<VersionCase> {
    std::string BoardConfig() override { return GetParam().config; }
};

TEST_P(VersionCheckTest, OnlyTheRequiredLibraryVersionOpens) {
    TW_UINT16 result = source->Open();
    if (GetParam().passes) {
        EXPECT_EQ(result, TWRC_SUCCESS);
        EXPECT_TRUE(Boxes().empty());
        return;
    }
    EXPECT_EQ(result, TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_BOX(boxes[0], "Quorvex Error", VersionText);
    EXPECT_BOX(boxes[1], "Twain Driver Error",
               std::string(OpenFailure) + OperationErrorSentence);
    EXPECT_EQ(BoardLog(), std::vector<std::string>{"KvDVersion -> 0"});
    // Nothing was stored: with the right library the same application opens.
    ConfigureBoard("");
    EXPECT_EQ(source->Open(), TWRC_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionCheckTest,
    ::testing::Values(VersionCase{"version_major = 0x80000006\nversion_minor = 0x20F\n", true},
                      VersionCase{"version_minor = 0x200\n", true},
                      VersionCase{"version_minor = 0x210\n", false},
                      VersionCase{"version_minor = 0x1FF\n", false},
                      VersionCase{"version_major = 5\n", false},
                      VersionCase{"version_major = 0x40000006\n", false}));

TEST_F(OpenCloseTest, TheVersionIsCheckedInEveryState) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ConfigureBoard("version_major = 7\n");
    EXPECT_EQ(source->Open(), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);  // not a sequence error
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, VersionText);
    EXPECT_EQ(source->PendingCount(), 1);  // still open
}

}  // namespace
