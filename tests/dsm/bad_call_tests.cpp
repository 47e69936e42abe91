// Calls the Source Manager must refuse cleanly: a failure, a condition code
// for its DAT_STATUS, and nothing else disturbed.
#include "dsm/dsm_support.h"

namespace {

using namespace qx;

class BadCalls : public DsmTest {};

TEST_F(BadCalls, MissingIdentitiesAndData) {
    TW_IDENTITY app = OpenApplication();
    // Calls without an identity: their code goes to every caller that is no
    // application, not to one that is.
    TW_IDENTITY nobody = NewApplication("Nobody");
    TW_IDENTITY listed = {};
    EXPECT_EQ(Dsm(nullptr, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&nobody), TWCC_BADVALUE);
    EXPECT_EQ(Dsm(nullptr, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_SUCCESS);
    EXPECT_EQ(DsmStatus(&nobody), TWCC_BADVALUE);
    for (TW_UINT16 message : {MSG_GETFIRST, MSG_GETDEFAULT, MSG_USERSELECT, MSG_OPENDS}) {
        EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, message, nullptr), TWRC_FAILURE);
        EXPECT_EQ(DsmStatus(&app), TWCC_BADVALUE) << "message " << message;
    }
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADVALUE);
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, nullptr), TWRC_FAILURE);
    // A notification without its identities cannot even be recorded.
    TW_IDENTITY source = NamedSource(QuorvexProduct);
    EXPECT_EQ(Dsm(&source, nullptr, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Dsm(nullptr, &app, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&nobody), TWCC_BADVALUE);
    EXPECT_TRUE(Notifications().empty());
}

TEST_F(BadCalls, UnknownSourcesAndApplications) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY stranger = NamedSource(QuorvexProduct);
    stranger.Id = 4242;
    TW_STATUS status = {};
    EXPECT_EQ(Dsm(&app, &stranger, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADDEST);
    TW_EVENT event = {nullptr, MSG_NULL};
    EXPECT_EQ(Dsm(&app, &stranger, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADDEST);
    EXPECT_EQ(CloseSource(&app, &stranger), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADDEST);
    // A product that is not installed.
    TW_IDENTITY missing = NamedSource("No Such Scanner");
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &missing), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_NODS);
    EXPECT_EQ(missing.Id, 0u);
    // An application that never opened the Source Manager.
    TW_IDENTITY unknown = NewApplication("Unknown application");
    unknown.Id = 777;
    TW_IDENTITY listed = {};
    EXPECT_EQ(Dsm(&unknown, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed),
              TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&unknown), TWCC_SEQERROR);
    EXPECT_FALSE(QuorvexLoaded());
}

TEST_F(BadCalls, ASourceAnswersOnlyTheApplicationThatOpenedIt) {
    TW_IDENTITY owner = OpenApplication();
    TW_IDENTITY source = OpenQuorvex(&owner);
    ASSERT_NE(source.Id, 0u);
    TW_IDENTITY other = OpenApplication();
    TW_IDENTITY reported = {};
    EXPECT_EQ(Dsm(&other, &source, DG_CONTROL, DAT_IDENTITY, MSG_GET, &reported), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&other), TWCC_BADDEST);
    EXPECT_EQ(CloseSource(&other, &source), TWRC_FAILURE);
    EXPECT_TRUE(QuorvexLoaded());
    EXPECT_EQ(Dsm(&owner, &source, DG_CONTROL, DAT_IDENTITY, MSG_GET, &reported), TWRC_SUCCESS);
}

TEST_F(BadCalls, OpeningTheSourceManagerTwiceAndUnknownTriplets) {
    HWND none = nullptr;
    TW_IDENTITY app = OpenApplication();
    TW_UINT32 id = app.Id;
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &none), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_SEQERROR);
    EXPECT_EQ(app.Id, id);
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_GET, &none), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADPROTOCOL);
    // Triplets that need a source, sent to nobody.
    TW_CAPABILITY cap = {ICAP_PIXELTYPE, 0, nullptr};
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADPROTOCOL);
    TW_IDENTITY identity = {};
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADPROTOCOL);
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_STATUS, MSG_SET, &identity), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADPROTOCOL);
}

TEST_F(BadCalls, EachApplicationHasItsOwnConditionCode) {
    TW_IDENTITY first = OpenApplication();
    TW_IDENTITY second = OpenApplication();
    TW_IDENTITY missing = NamedSource("No Such Scanner");
    EXPECT_EQ(Dsm(&first, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &missing), TWRC_FAILURE);
    TW_IDENTITY identity = {};
    EXPECT_EQ(Dsm(&second, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity),
              TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&second), TWCC_SEQERROR);
    EXPECT_EQ(DsmStatus(&first), TWCC_NODS);
    TW_IDENTITY nobody = NewApplication("Nobody");
    EXPECT_EQ(DsmStatus(&nobody), TWCC_SUCCESS);
}

TEST_F(BadCalls, TheConditionCodeWaitsForStatusAndIsThenCleared) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY missing = NamedSource("No Such Scanner");
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &missing), TWRC_FAILURE);
    // A successful call in between does not clear it.
    TW_IDENTITY listed = {};
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &listed), TWRC_SUCCESS);
    EXPECT_EQ(DsmStatus(&app), TWCC_NODS);
    EXPECT_EQ(DsmStatus(&app), TWCC_SUCCESS);
}

}  // namespace
