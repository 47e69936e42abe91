// The table exists from open to close; the values live as long as the module.
#include "cap_support.h"

namespace qx {
namespace {

const TW_UINT16 AllMessages[] = {MSG_GET,   MSG_GETCURRENT, MSG_GETDEFAULT,
                                 MSG_SET,   MSG_RESET,      MSG_QUERYSUPPORT};

std::vector<TW_UINT16> EveryRecordCode() {
    std::vector<TW_UINT16> codes;
    for (const Expected &e : FreshTable(8)) codes.push_back(e.code);
    codes.push_back(ICAP_BITDEPTH);
    return codes;
}

void ExpectEverythingUnsupported(LoadedSource &source, TW_UINT16 code) {
    for (TW_UINT16 cap : EveryRecordCode())
        for (TW_UINT16 msg : AllMessages) {
            SCOPED_TRACE(testing::Message() << "cap " << cap << " msg " << msg);
            ExpectFailure(source, Ask(source, msg, cap), code);
        }
}

// Code 0 finds an all-zero record: only MSG_QUERYSUPPORT works, answering 0.
void ExpectEmptyRecordForCodeZero(LoadedSource &source, TW_UINT16 badOperation) {
    ExpectReply(Ask(source, MSG_QUERYSUPPORT, 0), TWON_ONEVALUE, OneValue(TWTY_UINT32, 0));
    EXPECT_EQ(source.Status(), TWCC_SUCCESS);
    for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_SET, MSG_RESET}) {
        SCOPED_TRACE(msg);
        ExpectFailure(source, Ask(source, msg, 0), badOperation);
    }
}

class Lifecycle : public ConfiguredSourceTest {
protected:
    Bytes Current(TW_UINT16 code) { return Ask(*source, MSG_GETCURRENT, code).bytes; }
    // Values an application might leave behind.
    void SetSeveral() {
        ASSERT_EQ(SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
        ASSERT_EQ(SetOneValue(*source, CAP_XFERCOUNT, TWTY_INT16, 5), TWRC_SUCCESS);
        ASSERT_EQ(SetOneValue(*source, ICAP_IMAGEFILEFORMAT, TWTY_UINT16, TWFF_TIFF),
                  TWRC_SUCCESS);
    }
    void ExpectSeveralKept() {
        EXPECT_EQ(Current(ICAP_XFERMECH), OneValue(TWTY_UINT16, TWSX_MEMORY));
        EXPECT_EQ(Current(CAP_XFERCOUNT), OneValue(TWTY_INT16, 5));
        EXPECT_EQ(Current(ICAP_IMAGEFILEFORMAT), OneValue(TWTY_UINT16, TWFF_TIFF));
    }
};

TEST_F(Lifecycle, BeforeTheFirstOpenEverythingIsABadCap) {
    // No application identity yet: its protocol reads as 0.0.
    ExpectEverythingUnsupported(*source, TWCC_BADCAP);
    ExpectEmptyRecordForCodeZero(*source, TWCC_BADCAP);
}

TEST_F(Lifecycle, AfterCloseEverythingIsUnsupported) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    ExpectEverythingUnsupported(*source, TWCC_CAPUNSUPPORTED);
    ExpectEmptyRecordForCodeZero(*source, TWCC_CAPBADOPERATION);
}

TEST_F(Lifecycle, WhileOpenCodeZeroFindsTheEmptyLastSlot) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ExpectEmptyRecordForCodeZero(*source, TWCC_CAPBADOPERATION);
    // Any code outside the table is unsupported.
    for (TW_UINT16 code : {TW_UINT16(0x1006), TW_UINT16(0x9003), TW_UINT16(0xFFFF)})
        ExpectFailure(*source, Ask(*source, MSG_GET, code), TWCC_CAPUNSUPPORTED);
}

TEST_F(Lifecycle, ValuesSetSurviveACloseAndReopenWhileLoaded) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    SetSeveral();
    ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ExpectSeveralKept();
    // The pixel type and the physical size come from the board again.
    EXPECT_EQ(Current(ICAP_PIXELTYPE), OneValue(TWTY_UINT16, TWPT_GRAY));
    EXPECT_EQ(Current(ICAP_PHYSICALWIDTH), OneValue(TWTY_FIX32, Fix(640)));
}

TEST_F(Lifecycle, AReopenOnAnotherBoardRederivesOnlyTheBoardsValues) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    SetSeveral();
    ASSERT_EQ(SetOneValue(*source, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
    ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    ConfigureBoard("depth = 24\nwidth = 800\nheight = 600\n");
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ExpectSeveralKept();
    std::vector<Expected> rgbBoard = FreshTable(24, 800, 600);
    for (TW_UINT16 code : {ICAP_PIXELTYPE, ICAP_PHYSICALWIDTH, ICAP_PHYSICALHEIGHT}) {
        SCOPED_TRACE(code);
        const Expected &e = Find(rgbBoard, code);
        ExpectReply(Ask(*source, MSG_GET, code), e.getContainer, GetReply(e));
        ExpectReply(Ask(*source, MSG_GETDEFAULT, code), TWON_ONEVALUE, DefaultReply(e));
    }
    ExpectReply(Ask(*source, MSG_GET, ICAP_BITDEPTH), TWON_ENUMERATION,
                Enumeration(TWTY_UINT16, {24}, 0, 0));
}

TEST_F(Lifecycle, SixteenBitGreyFromADeepBoardOutlivesItsClose) {
    ConfigureBoard("depth = 14\n");
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    ConfigureBoard("depth = 8\n");
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ExpectReply(Ask(*source, MSG_GET, ICAP_BITDEPTH), TWON_ENUMERATION,
                Enumeration(TWTY_UINT16, {8, 16}, 1, 0));
}

TEST_F(Lifecycle, AFreshlyLoadedModuleStartsFromTheInitialValues) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    SetSeveral();
    ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    source.reset();
    ASSERT_EQ(GetModuleHandleA("QXTwain.ds"), nullptr) << "the module stayed loaded";
    source = std::make_unique<LoadedSource>();
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    for (const Expected &e : FreshTable(8)) {
        SCOPED_TRACE(e.code);
        ExpectReply(Ask(*source, MSG_GET, e.code), e.getContainer, GetReply(e));
    }
}

TEST_F(Lifecycle, SetIsAcceptedWhileEnabledReadyAndTransferring) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ASSERT_EQ(source->Enable(true), TWRC_SUCCESS);  // 500, dialog shown
    ASSERT_EQ(SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE), TWRC_SUCCESS);
    EXPECT_EQ(Current(ICAP_XFERMECH), OneValue(TWTY_UINT16, TWSX_FILE));
    ASSERT_EQ(source->Disable(), TWRC_SUCCESS);

    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);  // 600, transfer ready at once
    ASSERT_EQ(SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
    EXPECT_EQ(Current(ICAP_XFERMECH), OneValue(TWTY_UINT16, TWSX_MEMORY));

    TW_HANDLE bitmap = nullptr;
    ASSERT_EQ(source->Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &bitmap), TWRC_XFERDONE);
    GlobalFree(bitmap);  // 700 until the transfer is ended
    ASSERT_EQ(SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE), TWRC_SUCCESS);
    EXPECT_EQ(Current(ICAP_XFERMECH), OneValue(TWTY_UINT16, TWSX_NATIVE));
    ExpectReply(Ask(*source, MSG_RESET, ICAP_XRESOLUTION), TWON_ONEVALUE,
                OneValue(TWTY_FIX32, Fix(1)));
    EXPECT_TRUE(Boxes().empty());
}

class RefusedReopen : public ConfiguredSourceTest {
protected:
    RefusedReopen() : ConfiguredSourceTest("open_result = 1\n") {}
};

TEST_F(RefusedReopen, TheTableIsBuiltWithoutAskingTheBoard) {
    ASSERT_EQ(source->Open(), TWRC_FAILURE);  // the board cannot be opened
    ASSERT_EQ(source->Open(), TWRC_FAILURE);  // the identity is still stored
    EXPECT_EQ(source->Status(), TWCC_MAXCONNECTIONS);
    EXPECT_TRUE(BoardLogMatching("KvBrdInquire").empty());
    // Inquiries without a board answer 0: no size, grey.
    ExpectReply(Ask(*source, MSG_GET, ICAP_PHYSICALWIDTH), TWON_ONEVALUE,
                OneValue(TWTY_FIX32, 0));
    ExpectReply(Ask(*source, MSG_GET, ICAP_PHYSICALHEIGHT), TWON_ONEVALUE,
                OneValue(TWTY_FIX32, 0));
    ExpectReply(Ask(*source, MSG_GET, ICAP_PIXELTYPE), TWON_ENUMERATION,
                Enumeration(TWTY_UINT16, {1}, 0, 0));
    ExpectReply(Ask(*source, MSG_GET, ICAP_BITDEPTH), TWON_ENUMERATION,
                Enumeration(TWTY_UINT16, {8, 16}, 0, 0));
    ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    ExpectFailure(*source, Ask(*source, MSG_GET, ICAP_XFERMECH), TWCC_CAPUNSUPPORTED);
}

class ConditionCode : public ConfiguredSourceTest {
protected:
    void SetUp() override {
        ConfiguredSourceTest::SetUp();
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    }
};

TEST_F(ConditionCode, ASuccessfulRequestClearsAPendingFailure) {
    Ask(*source, MSG_GETFIRST, ICAP_XFERMECH);
    ExpectReply(Ask(*source, MSG_GET, ICAP_XFERMECH), TWON_ENUMERATION,
                Enumeration(TWTY_UINT16, {0, 1, 2}, 0, 0));
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);

    // Also a failure of another DG_CONTROL operation.
    TW_STATUS status = {};
    ASSERT_EQ(source->Call(DG_CONTROL, DAT_STATUS, MSG_SET, &status), TWRC_FAILURE);
    ClearBoxes();
    ASSERT_EQ(SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE), TWRC_SUCCESS);
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
}

TEST_F(ConditionCode, AFailingRequestReplacesAPendingCode) {
    Ask(*source, MSG_GETFIRST, ICAP_XFERMECH);
    SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT32, 1);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
}

TEST_F(ConditionCode, NoCapabilityRequestShowsABox) {
    Ask(*source, MSG_GETFIRST, ICAP_XFERMECH);
    Ask(*source, MSG_SET, ICAP_PHYSICALWIDTH);
    Ask(*source, MSG_GET, 0x4444);
    SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT32, 1);
    Ask(*source, MSG_GET, ICAP_XFERMECH);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ConditionCode, MissingDataIsABadValueForEveryMessage) {
    for (TW_UINT16 msg : AllMessages) {
        SCOPED_TRACE(msg);
        EXPECT_EQ(source->Capability(msg, nullptr), TWRC_FAILURE);
        EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    }
    ASSERT_EQ(source->Close(), TWRC_SUCCESS);
    EXPECT_EQ(source->Capability(MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace qx
