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

TEST_F(BitDepthOn12BitBoard, RgbPixelTypeRoutesToTheRgbRecord) {
    ASSERT_EQ(SetOneValue(*source, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB), TWRC_SUCCESS);
    Reply get = Ask(*source, MSG_GET, ICAP_BITDEPTH);
    ExpectReply(get, TWON_ENUMERATION, RgbList);
    EXPECT_EQ(get.cap.Cap, ICAP_BITDEPTH);
    ExpectReply(Ask(*source, MSG_GETCURRENT, ICAP_BITDEPTH), TWON_ONEVALUE,
                OneValue(TWTY_UINT16, 24));
    // Back to grey: the grey record is as it was.
    ASSERT_EQ(SetOneValue(*source, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
    ExpectReply(Ask(*source, MSG_GET, ICAP_BITDEPTH), TWON_ENUMERATION, GrayList);
}

TEST_F(BitDepthOn12BitBoard, APixelTypeWithoutARecordMakesBitDepthUnsupported) {
    for (TW_UINT32 pixelType : {TW_UINT32(TWPT_BW), 3u, 0x6FFFu}) {
        SCOPED_TRACE(pixelType);
        ASSERT_EQ(SetOneValue(*source, ICAP_PIXELTYPE, TWTY_UINT16, pixelType), TWRC_SUCCESS);
        for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_SET, MSG_RESET,
                              MSG_QUERYSUPPORT}) {
            SCOPED_TRACE(msg);
            ExpectFailure(*source, Ask(*source, msg, ICAP_BITDEPTH), TWCC_CAPUNSUPPORTED);
        }
        // The records themselves are still there under their own codes.
        ExpectReply(Ask(*source, MSG_GET, 0x9001), TWON_ENUMERATION, GrayList);
    }
}

TEST_F(BitDepthOn12BitBoard, RecordCodesReachTheirRecordsWhateverThePixelType) {
    ASSERT_EQ(SetOneValue(*source, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB), TWRC_SUCCESS);
    ExpectReply(Ask(*source, MSG_GET, 0x9001), TWON_ENUMERATION, GrayList);
    ASSERT_EQ(SetOneValue(*source, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
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
