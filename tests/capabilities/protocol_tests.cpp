// Applications of protocol 1.5 and older see TWCC_BADCAP where newer ones see
// TWCC_CAPUNSUPPORTED or TWCC_CAPBADOPERATION; other codes are the same.
#include "cap_support.h"

namespace qx {
namespace {

struct Protocol {
    TW_UINT16 major, minor;
    bool old;  // major <= 1 and minor <= 5
};

class ByProtocol : public SourceTest, public ::testing::WithParamInterface<Protocol> {
protected:
    void SetUp() override {
        SourceTest::SetUp();
        source->app = AppIdentity(7, GetParam().major, GetParam().minor);
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    }
    TW_UINT16 Expect(TW_UINT16 newCode) {
        return GetParam().old ? TW_UINT16(TWCC_BADCAP) : newCode;
    }
};

TEST_P(ByProtocol, UnsupportedCapabilityAndMessage) {
    ExpectFailure(*source, Ask(*source, MSG_GET, 0x4321), Expect(TWCC_CAPUNSUPPORTED));
    ExpectFailure(*source, Ask(*source, MSG_GETFIRST, ICAP_XFERMECH), Expect(TWCC_CAPUNSUPPORTED));
    ExpectFailure(*source, Ask(*source, MSG_GETNEXT, ICAP_XFERMECH), Expect(TWCC_CAPUNSUPPORTED));
    ExpectFailure(*source, Ask(*source, MSG_NULL, ICAP_XFERMECH), Expect(TWCC_CAPUNSUPPORTED));
}

TEST_P(ByProtocol, MessageTheCapabilityDoesNotAccept) {
    EXPECT_EQ(SetOneValue(*source, ICAP_PHYSICALWIDTH, TWTY_FIX32, Fix(5)), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), Expect(TWCC_CAPBADOPERATION));
    ExpectFailure(*source, Ask(*source, MSG_RESET, CAP_DEVICEONLINE), Expect(TWCC_CAPBADOPERATION));
}

TEST_P(ByProtocol, BadValueAndSuccessAreTheSameForEveryProtocol) {
    EXPECT_EQ(SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT32, 1), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(source->Capability(MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT16, 1), TWRC_SUCCESS);
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Versions, ByProtocol,
                         ::testing::Values(Protocol{1, 5, true}, Protocol{1, 0, true},
                                           Protocol{0, 0, true}, Protocol{1, 6, false},
                                           Protocol{1, 9, false}, Protocol{2, 0, false},
                                           Protocol{2, 4, false}, Protocol{0, 9, false}),
                         [](const ::testing::TestParamInfo<Protocol> &info) {
                             return "P" + std::to_string(info.param.major) + "_" +
                                    std::to_string(info.param.minor);
                         });

}  // namespace
}  // namespace qx
