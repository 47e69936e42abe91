// Opening and closing QXTwain through the Source Manager, and the triplets it
// passes on to the open source.
#include "dsm/dsm_support.h"

namespace {

using namespace qx;

class OpenClose : public DsmTest {};

TEST_F(OpenClose, OpenAssignsAnIdThatTheSourceThenReports) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY source = NamedSource(QuorvexProduct);
    ASSERT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    EXPECT_NE(source.Id, 0u);
    EXPECT_NE(source.Id, app.Id);
    // The application's record is filled in whole.
    EXPECT_TRUE(SameName(source.Manufacturer, "Quorvex, Inc"));
    EXPECT_TRUE(QuorvexLoaded());
    // The source kept the identity it was opened with, Id included.
    TW_IDENTITY reported = {};
    ASSERT_EQ(Dsm(&app, &source, DG_CONTROL, DAT_IDENTITY, MSG_GET, &reported), TWRC_SUCCESS);
    EXPECT_EQ(memcmp(&reported, &source, sizeof source), 0);
    // It really opened the board.
    EXPECT_EQ(BoardLogMatching("KvBrdOpen").size(), 1u);

    ASSERT_EQ(CloseSource(&app, &source), TWRC_SUCCESS);
    EXPECT_EQ(BoardLogMatching("KvBrdClose").size(), 1u);
    EXPECT_FALSE(QuorvexLoaded()) << "MSG_CLOSEDS unloads the source";
    // Gone for the Source Manager too.
    EXPECT_EQ(Dsm(&app, &source, DG_CONTROL, DAT_IDENTITY, MSG_GET, &reported), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADDEST);
}

TEST_F(OpenClose, EveryOpenGetsANewId) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY first = OpenQuorvex(&app);
    ASSERT_EQ(CloseSource(&app, &first), TWRC_SUCCESS);
    TW_IDENTITY second = OpenQuorvex(&app);
    EXPECT_NE(second.Id, 0u);
    EXPECT_NE(second.Id, first.Id);
    // The old Id no longer reaches anything.
    TW_STATUS status = {};
    EXPECT_EQ(Dsm(&app, &first, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADDEST);
}

TEST_F(OpenClose, AnEmptyProductNameOpensTheDefaultSource) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY source = {};
    ASSERT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    EXPECT_TRUE(SameName(source.ProductName, QuorvexProduct));
    EXPECT_EQ(CloseSource(&app, &source), TWRC_SUCCESS);
}

TEST_F(OpenClose, TripletsReachTheSourceAndItsAnswersComeBack) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY source = OpenQuorvex(&app);
    ASSERT_NE(source.Id, 0u);
    // A palette the source does not keep: its own refusal comes back, and
    // the condition code is the source's, not the Source Manager's.
    EXPECT_EQ(Dsm(&app, &source, DG_IMAGE, DAT_PALETTE8, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(SourceStatus(&app, &source), TWCC_BADPROTOCOL);
    EXPECT_EQ(DsmStatus(&app), TWCC_SUCCESS);
    // A data group the source does not serve.
    EXPECT_EQ(Dsm(&app, &source, 3, DAT_IMAGEINFO, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(SourceStatus(&app, &source), TWCC_BADPROTOCOL);
    // A transfer before enable: the source's sequence check answers.
    TW_IMAGEINFO info = {};
    EXPECT_EQ(Dsm(&app, &source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_FAILURE);
    EXPECT_EQ(SourceStatus(&app, &source), TWCC_SEQERROR);
    ClearBoxes();
}

class OpenCloseOnWideBoard : public DsmTest {
    std::string BoardConfig() override { return "width = 800\nheight = 600\n"; }
};

TEST_F(OpenCloseOnWideBoard, CapabilityRepliesComeFromTheOpenedBoard) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY source = OpenQuorvex(&app);
    ASSERT_NE(source.Id, 0u);
    TW_CAPABILITY cap = {ICAP_PHYSICALWIDTH, 0, nullptr};
    TW_UINT16 result = Dsm(&app, &source, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &cap);
    if (result == TWRC_FAILURE && SourceStatus(&app, &source) == TWCC_BADPROTOCOL)
        GTEST_SKIP() << "capabilities not built yet";
    ASSERT_EQ(result, TWRC_SUCCESS);
    ASSERT_EQ(cap.ConType, TWON_ONEVALUE);
    auto *one = static_cast<TW_ONEVALUE *>(GlobalLock(cap.hContainer));
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->ItemType, TWTY_FIX32);
    TW_FIX32 width;
    memcpy(&width, &one->Item, sizeof width);
    EXPECT_EQ(width.Whole, 800);
    GlobalUnlock(cap.hContainer);
    GlobalFree(cap.hContainer);
}

TEST_F(OpenClose, ASecondOpenOfTheSameSourceIsRefusedWithoutDisturbingIt) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY source = OpenQuorvex(&app);
    ASSERT_NE(source.Id, 0u);
    TW_IDENTITY again = NamedSource(QuorvexProduct);
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &again), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_MAXCONNECTIONS);
    // Refused by the Source Manager: the source saw nothing of it.
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(BoardLogMatching("KvBrdOpen").size(), 1u);
    // Also for another application.
    TW_IDENTITY other = OpenApplication();
    again = NamedSource(QuorvexProduct);
    EXPECT_EQ(Dsm(&other, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &again), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&other), TWCC_MAXCONNECTIONS);
    TW_IDENTITY reported = {};
    EXPECT_EQ(Dsm(&app, &source, DG_CONTROL, DAT_IDENTITY, MSG_GET, &reported), TWRC_SUCCESS);
    EXPECT_EQ(reported.Id, source.Id);
}

TEST_F(OpenClose, TheSourceManagerStaysOpenWhileASourceIs) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY source = OpenQuorvex(&app);
    ASSERT_NE(source.Id, 0u);
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_SEQERROR);
    ASSERT_EQ(CloseSource(&app, &source), TWRC_SUCCESS);
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr), TWRC_SUCCESS);
    // Closed: the application has to open it again first.
    TW_IDENTITY listed = {};
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_SEQERROR);
}

// A source that refuses to open is unloaded again; its condition code is
// kept by the Source Manager, since the source is no longer there to ask.
class RefusedOpen : public DsmTest {
    std::string BoardConfig() override { return "boards = none\nselect = cancel\n"; }
};

TEST_F(RefusedOpen, CancelledBoardChoiceUnloadsTheSourceAndKeepsItsCode) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY source = NamedSource(QuorvexProduct);
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_CANCEL);
    EXPECT_FALSE(QuorvexLoaded());
    EXPECT_EQ(DsmStatus(&app), TWCC_NODS);
    EXPECT_EQ(DsmStatus(&app), TWCC_SUCCESS) << "read once, then cleared";
    ClearBoxes();
    // With a board the same application opens it.
    ConfigureBoard("");
    TW_IDENTITY opened = OpenQuorvex(&app);
    EXPECT_NE(opened.Id, 0u);
}

class VersionMismatch : public DsmTest {
    std::string BoardConfig() override { return "version_major = 5\n"; }
};

TEST_F(VersionMismatch, FailedOpenUnloadsTheSourceAndKeepsItsCode) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY source = NamedSource(QuorvexProduct);
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_FAILURE);
    EXPECT_FALSE(QuorvexLoaded());
    EXPECT_EQ(DsmStatus(&app), TWCC_OPERATIONERROR);
    // The source explained itself to the user before it went.
    std::vector<Box> boxes = Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.front().title, "Quorvex Error");
    ClearBoxes();
}

}  // namespace
