// A line-scan board of 8 x 40000 through QXTwain.ds: the height passes the
// TW_FIX32 range, and a native transfer still delivers every row.
#include "support/capability.h"
#include "support/transfer.h"

namespace {

class LineScanBoard : public qx::SourceTest {
protected:
    std::string BoardConfig() override { return "width = 8\nheight = 40000\nframe_ms = 0\n"; }
};

TEST_F(LineScanBoard, HeightIsReportedAtTheFix32LimitAndEveryRowIsDelivered) {
    qx::MakeReady(*source);
    qx::ExpectReply(qx::Ask(*source, MSG_GET, ICAP_PHYSICALHEIGHT), TWON_ONEVALUE,
                    qx::OneValue(TWTY_FIX32, qx::Fix(-32768)));

    qx::NativeReply reply = qx::NativeTransfer(*source);
    ASSERT_EQ(reply.result, TWRC_XFERDONE);
    qx::Dib dib(reply.handle);
    EXPECT_EQ(dib.header.biWidth, 8);
    EXPECT_EQ(dib.header.biHeight, 40000);
    size_t wrong = 0;
    for (uint32_t y = 0; y < 40000; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            wrong += dib.line(y)[x] != qx::RampSample(x, y, 0, 8);
    EXPECT_EQ(wrong, 0u);
}

}  // namespace
