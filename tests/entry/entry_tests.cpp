// The entry point as a Source Manager sees it: identity at load, dispatch by
// group and data type, the condition-code rules, events and refused calls.
#include <cstring>

#include "support/harness.h"
#include "support/sentences.h"

using namespace qx;

namespace {

class EntryTest : public SourceTest {};

TEST_F(EntryTest, IdentityRightAfterLoadComesFromTheStringTable) {
    TW_IDENTITY identity;
    memset(&identity, 0xCC, sizeof identity);
    ASSERT_EQ(source->Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_EQ(identity.Id, 0u);
    EXPECT_EQ(identity.Version.MajorNum, 1);
    EXPECT_EQ(identity.Version.MinorNum, 603);
    EXPECT_EQ(identity.Version.Language, TWLG_USA);
    EXPECT_EQ(identity.Version.Country, TWCY_USA);
    EXPECT_STREQ(identity.Version.Info, "Version 2001");
    EXPECT_EQ(identity.ProtocolMajor, 1);
    EXPECT_EQ(identity.ProtocolMinor, 6);
    EXPECT_EQ(identity.SupportedGroups, DG_CONTROL | DG_IMAGE);
    EXPECT_STREQ(identity.Manufacturer, "Quorvex, Inc");
    EXPECT_STREQ(identity.ProductFamily, "Quorvex");
    EXPECT_STREQ(identity.ProductName, "Quorvex Camera Interface");
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
    // State 300: pending transfers are refused.
    EXPECT_EQ(source->PendingCount(), -1);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
}

TEST_F(EntryTest, UnknownGroupsAndDataTypesAreBadProtocolWithoutABox) {
    TW_UINT32 value = 0;
    struct Case {
        TW_UINT32 dg;
        TW_UINT16 dat;
    };
    const Case cases[] = {
        {0, DAT_STATUS},           {3, DAT_IDENTITY},         {0x10000 | DG_CONTROL, DAT_STATUS},
        {DG_CONTROL, DAT_PARENT},  {DG_CONTROL, DAT_NULL},    {DG_CONTROL, DAT_EVENT},
        {DG_CONTROL, 0x0777},      {DG_IMAGE, DAT_PALETTE8},  {DG_IMAGE, DAT_GRAYRESPONSE},
        {DG_IMAGE, DAT_RGBRESPONSE}, {DG_IMAGE, DAT_CIECOLOR}, {DG_IMAGE, DAT_JPEGCOMPRESSION},
        {DG_IMAGE, DAT_IDENTITY},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(source->Call(c.dg, c.dat, MSG_GET, &value), TWRC_FAILURE)
            << "DG " << c.dg << " DAT " << c.dat;
        EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL) << "DG " << c.dg << " DAT " << c.dat;
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(EntryTest, StatusIsReadOnceThenCleared) {
    source->Call(0, DAT_STATUS, MSG_GET, nullptr);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
}

TEST_F(EntryTest, StatusWithAnotherMessageShowsTheProtocolBox) {
    TW_STATUS status = {};
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_STATUS, MSG_SET, &status), TWRC_FAILURE);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], "Twain Driver Error",
               std::string("General failure in response to DAT_STATUS.  ") + BadProtocolSentence);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
}

TEST_F(EntryTest, ControlTripletsKeepThePendingCodeOtherGroupsClearIt) {
    TW_IDENTITY identity;
    // A failing control triplet, then a succeeding one: the failure stays.
    source->Call(DG_CONTROL, DAT_PARENT, MSG_GET, &identity);
    ASSERT_EQ(source->Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);

    // A failing triplet, then a succeeding image triplet: cleared.
    source->Call(DG_CONTROL, DAT_PARENT, MSG_GET, &identity);
    TW_IMAGELAYOUT layout = {};
    ASSERT_EQ(source->Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);

}

TEST_F(EntryTest, EventsBeforeEnableAreNotTheSources) {
    MSG msg = {};
    TW_EVENT event = {&msg, 0x1234};
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(event.TWMessage, 0x1234);
    // Any group and data type carry an event.
    EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGEINFO, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(source->Call(7, 0x4444, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(event.TWMessage, 0x1234);
    // An event leaves the pending code alone.
    source->Call(DG_CONTROL, DAT_PARENT, MSG_GET, &event);
    EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGEINFO, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(EntryTest, MissingDataIsRefusedWithoutACrashOrABox) {
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_STATUS, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    TW_IDENTITY opened = OpenedSourceIdentity();
    EXPECT_EQ(source->CallAs(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &opened),
              TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_TRUE(Boxes().empty());
    // A refused open stored nothing: a proper one succeeds.
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    TW_CAPABILITY *noCap = nullptr;
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_CAPABILITY, MSG_GET, noCap), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(source->PendingCount(), 1);
}

TEST_F(EntryTest, AnEventWithoutAMessageIsRefusedOnceTheDialogExists) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    TW_EVENT event = {nullptr, 0x1234};
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_FAILURE);
    EXPECT_EQ(event.TWMessage, 0x1234);
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    // A real message that is not the dialog's is not the source's.
    MSG msg = {};
    msg.message = WM_USER + 7;
    event.pEvent = &msg;
    EXPECT_EQ(source->Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(EntryTest, AnotherApplicationIsNotServedWhileTheFirstHoldsTheSource) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    source->Call(DG_CONTROL, DAT_PARENT, MSG_GET, nullptr);  // leaves BADPROTOCOL pending

    TW_IDENTITY other = AppIdentity(8);
    TW_IDENTITY identity = {};
    TW_STATUS status = {77, 77};
    EXPECT_NE(source->CallAs(&other, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr),
              TWRC_SUCCESS);
    EXPECT_NE(source->CallAs(&other, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.ConditionCode, 77);
    EXPECT_NE(source->CallAs(&other, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity),
              TWRC_SUCCESS);
    EXPECT_EQ(identity.Id, 0u);
    EXPECT_NE(source->CallAs(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr),
              TWRC_SUCCESS);
    EXPECT_NE(source->CallAs(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    // A Source Manager listing its sources may ask for the identity without a caller.
    EXPECT_EQ(source->CallAs(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity),
              TWRC_SUCCESS);
    EXPECT_EQ(identity.Id, 9u);
    EXPECT_TRUE(Boxes().empty());

    // The first application's connection is as it was.
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    EXPECT_EQ(source->PendingCount(), 1);
    EXPECT_EQ(source->Close(), TWRC_SUCCESS);
    // After close anyone may open.
    source->app = other;
    EXPECT_EQ(source->Open(), TWRC_SUCCESS);
}

}  // namespace
