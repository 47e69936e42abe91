// ICAP_BITDEPTH has no record of its own: the current pixel type picks the
// bit-depth record 0x9000 + pixel type.
#include "cap_support.h"

namespace qx {
namespace {

class BitDepthOn12BitBoard : public ConfiguredSourceTest {
protected:
    BitDepthOn12BitBoard() : ConfiguredSourceTest("depth = 12\n") {}
    void SetUp() override {
        ConfiguredSourceTest::SetUp();
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    }
};

const Bytes GrayList = Enumeration(TWTY_UINT16, {8, 16}, 1, 0);  // current 16, default 8
const Bytes RgbList = Enumeration(TWTY_UINT16, {24}, 0, 0);

TEST_F(BitDepthOn12BitBoard, GrayIsCurrentAndAnswersForBitDepth) {
    ExpectReply(Ask(*source, MSG_GET, ICAP_BITDEPTH), TWON_ENUMERATION, GrayList);
    ExpectReply(Ask(*source, MSG_GETCURRENT, ICAP_BITDEPTH), TWON_ONEVALUE,
                OneValue(TWTY_UINT16, 16));
    ExpectReply(Ask(*source, MSG_GETDEFAULT, ICAP_BITDEPTH), TWON_ONEVALUE,
                OneValue(TWTY_UINT16, 8));
}

TEST_F(BitDepthOn12BitBoard, RecordCodesReachTheirRecordsDirectly) {
    ExpectReply(Ask(*source, MSG_GET, 0x9001), TWON_ENUMERATION, GrayList);
    Reply rgb = Ask(*source, MSG_GET, 0x9002);
    ExpectReply(rgb, TWON_ENUMERATION, RgbList);
    EXPECT_EQ(rgb.cap.Cap, 0x9002);
    ExpectReply(Ask(*source, MSG_QUERYSUPPORT, 0x9002), TWON_ONEVALUE,
                OneValue(TWTY_UINT32, 0x0D));
    // 0x9000 + TWPT_BW has no record.
    ExpectFailure(*source, Ask(*source, MSG_GET, 0x9000), TWCC_CAPUNSUPPORTED);
}

TEST_F(BitDepthOn12BitBoard, BitDepthRecordsAreReadOnly) {
    EXPECT_EQ(SetOneValue(*source, ICAP_BITDEPTH, TWTY_UINT16, 8), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_CAPBADOPERATION);
    ExpectFailure(*source, Ask(*source, MSG_RESET, ICAP_BITDEPTH), TWCC_CAPBADOPERATION);
    ExpectReply(Ask(*source, MSG_GETCURRENT, ICAP_BITDEPTH), TWON_ONEVALUE,
                OneValue(TWTY_UINT16, 16));
}

}  // namespace
}  // namespace qx
