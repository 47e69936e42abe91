// Every record of the capability table answers every reading message exactly
// as tabled, for boards of every depth the source handles.
#include <string>

#include "cap_support.h"

namespace qx {
namespace {

class TableAfterOpen : public SourceTest, public ::testing::WithParamInterface<int> {
protected:
    std::string BoardConfig() override {
        return "depth = " + std::to_string(GetParam()) + "\n";
    }
    void SetUp() override {
        SourceTest::SetUp();
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    }
};

TEST_P(TableAfterOpen, EveryRecordAnswersEveryMessageByteForByte) {
    for (const Expected &e : FreshTable(GetParam())) {
        SCOPED_TRACE(testing::Message() << "capability 0x" << std::hex << e.code);
        Reply get = Ask(*source, MSG_GET, e.code);
        ExpectReply(get, e.getContainer, GetReply(e));
        EXPECT_EQ(get.cap.Cap, e.code);
        EXPECT_EQ(source->Status(), TWCC_SUCCESS);

        TW_UINT16 currentCon = e.getContainer == TWON_ARRAY ? TWON_ARRAY : TWON_ONEVALUE;
        ExpectReply(Ask(*source, MSG_GETCURRENT, e.code), currentCon, CurrentReply(e));
        ExpectReply(Ask(*source, MSG_GETDEFAULT, e.code), currentCon, DefaultReply(e));
        ExpectReply(Ask(*source, MSG_QUERYSUPPORT, e.code), TWON_ONEVALUE,
                    OneValue(TWTY_UINT32, e.messages));

        Reply reset = Ask(*source, MSG_RESET, e.code);
        if (e.messages & TWQC_RESET)
            ExpectReply(reset, currentCon, DefaultReply(e));
        else
            ExpectFailure(*source, reset, TWCC_CAPBADOPERATION);
        if (!(e.messages & TWQC_SET)) {
            Reply set = Ask(*source, MSG_SET, e.code);
            ExpectFailure(*source, set, TWCC_CAPBADOPERATION);
        } else if (e.getContainer == TWON_ENUMERATION) {  // a value not offered
            TW_UINT32 absent = e.code == ICAP_PIXELTYPE ? 3 - e.currentValue : 7;
            EXPECT_EQ(SetOneValue(*source, e.code, e.itemType, absent), TWRC_FAILURE);
            EXPECT_EQ(source->Status(), TWCC_BADVALUE);
        }
        // Right after the open default and current agree wherever RESET is
        // allowed, so the record reads as before.
        ExpectReply(Ask(*source, MSG_GET, e.code), e.getContainer, GetReply(e));
    }
}

TEST_P(TableAfterOpen, BitDepthAnswersAsTheRecordOfTheBoardsPixelType) {
    std::vector<Expected> table = FreshTable(GetParam());
    const Expected &routed = Find(table, GetParam() < 24 ? 0x9001 : 0x9002);
    Reply get = Ask(*source, MSG_GET, ICAP_BITDEPTH);
    ExpectReply(get, TWON_ENUMERATION, GetReply(routed));
    EXPECT_EQ(get.cap.Cap, ICAP_BITDEPTH);  // the reply keeps the application's code
    ExpectReply(Ask(*source, MSG_GETCURRENT, ICAP_BITDEPTH), TWON_ONEVALUE, CurrentReply(routed));
    ExpectReply(Ask(*source, MSG_GETDEFAULT, ICAP_BITDEPTH), TWON_ONEVALUE, DefaultReply(routed));
    ExpectReply(Ask(*source, MSG_QUERYSUPPORT, ICAP_BITDEPTH), TWON_ONEVALUE,
                OneValue(TWTY_UINT32, 0x0D));
}

INSTANTIATE_TEST_SUITE_P(Depths, TableAfterOpen, ::testing::Values(8, 10, 12, 14, 16, 24, 32),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return "Bits" + std::to_string(info.param);
                         });

class WideBoard : public ConfiguredSourceTest {
protected:
    WideBoard() : ConfiguredSourceTest("width = 16384\nheight = 3\n") {}
};

TEST_F(WideBoard, PhysicalSizeIsTheBoardsImageSizeInPixels) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    std::vector<Expected> table = FreshTable(8, 16384, 3);
    for (TW_UINT16 code : {ICAP_PHYSICALWIDTH, ICAP_PHYSICALHEIGHT}) {
        const Expected &e = Find(table, code);
        ExpectReply(Ask(*source, MSG_GET, code), TWON_ONEVALUE, GetReply(e));
        ExpectReply(Ask(*source, MSG_GETDEFAULT, code), TWON_ONEVALUE, DefaultReply(e));
    }
    EXPECT_EQ(Ask(*source, MSG_GET, ICAP_PHYSICALWIDTH).bytes, OneValue(TWTY_FIX32, Fix(16384)));
}

class BoardAfterOpen : public ConfiguredSourceTest {
protected:
    void SetUp() override {
        ConfiguredSourceTest::SetUp();
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    }
};

// A transcript on purpose: the board inquiries of an open, in their exact order.
TEST_F(BoardAfterOpen, TheBuildAsksWidthHeightAndDepthTwiceInThatOrder) {
    EXPECT_EQ(BoardLogMatching("KvBrdInquire "),
              (std::vector<std::string>{"KvBrdInquire 65537 -> 0", "KvBrdInquire 65538 -> 0",
                                        "KvBrdInquire 65540 -> 0", "KvBrdInquire 65540 -> 0"}));
    // Reading capabilities asks the board nothing more.
    Ask(*source, MSG_GET, ICAP_PHYSICALWIDTH);
    Ask(*source, MSG_GET, ICAP_PIXELTYPE);
    EXPECT_EQ(BoardLogMatching("KvBrdInquire ").size(), 4u);
}

TEST_F(BoardAfterOpen, KnownSpotValues) {
    // The array of supported capabilities: 17 codes in 41 bytes.
    Reply caps = Ask(*source, MSG_GET, CAP_SUPPORTEDCAPS);
    EXPECT_EQ(caps.bytes.size(), 41u);
    ExpectReply(caps, TWON_ARRAY, Array(TWTY_UINT16, SupportedCodes()));
    // -1 of CAP_XFERCOUNT travels zero-extended.
    ExpectReply(Ask(*source, MSG_GET, CAP_XFERCOUNT), TWON_ONEVALUE,
                Bytes{TWTY_INT16, 0, 0xFF, 0xFF, 0, 0, 0, 0});
    ExpectReply(Ask(*source, MSG_GET, ICAP_XFERMECH), TWON_ENUMERATION,
                Bytes{TWTY_UINT16, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                      0, 0, 1, 0, 2, 0, 0});
    ExpectReply(Ask(*source, MSG_GETCURRENT, CAP_DEVICEONLINE), TWON_ONEVALUE,
                Bytes{TWTY_BOOL, 0, 1, 0, 0, 0, 0, 0});
    ExpectReply(Ask(*source, MSG_GETCURRENT, ICAP_UNITS), TWON_ONEVALUE,
                Bytes{TWTY_UINT16, 0, 5, 0, 0, 0, 0, 0});
    ExpectReply(Ask(*source, MSG_GET, ICAP_XRESOLUTION), TWON_ENUMERATION,
                Bytes{TWTY_FIX32, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                      1, 0, 0, 0, 0});
    ExpectReply(Ask(*source, MSG_GET, ICAP_PHYSICALWIDTH), TWON_ONEVALUE,
                Bytes{TWTY_FIX32, 0, 0x80, 0x02, 0, 0, 0, 0, 0, 0});
    ExpectReply(Ask(*source, MSG_QUERYSUPPORT, ICAP_PIXELTYPE), TWON_ONEVALUE,
                Bytes{TWTY_UINT32, 0, 0x1F, 0, 0, 0, 0, 0, 0, 0});
}

TEST_F(BoardAfterOpen, EveryReplyIsANewBlockAndTheApplicationsHandleIsLeftAlone) {
    TW_CAPABILITY first = {ICAP_XFERMECH, 0, nullptr}, second = first;
    ASSERT_EQ(source->Capability(MSG_GET, &first), TWRC_SUCCESS);
    ASSERT_EQ(source->Capability(MSG_GET, &second), TWRC_SUCCESS);
    ASSERT_NE(first.hContainer, nullptr);
    EXPECT_NE(first.hContainer, second.hContainer);
    // The earlier reply is untouched by the later one.
    EXPECT_EQ(GlobalSize(first.hContainer), 21u);
    EXPECT_EQ(GlobalFree(first.hContainer), nullptr);
    EXPECT_EQ(GlobalFree(second.hContainer), nullptr);
    // Ask() checks that a handle passed in is overwritten, not freed.
    ExpectReply(Ask(*source, MSG_GETCURRENT, ICAP_XFERMECH), TWON_ONEVALUE,
                OneValue(TWTY_UINT16, 0));
}

}  // namespace
}  // namespace qx
