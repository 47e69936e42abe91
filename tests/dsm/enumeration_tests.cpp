// Finding sources: the Source Manager lists every source it finds, asks each
// for its identity, and unloads them again.
#include "dsm/dsm_support.h"

namespace {

using namespace qx;

void ExpectQuorvexIdentity(const TW_IDENTITY &identity) {
    EXPECT_TRUE(SameName(identity.Manufacturer, "Quorvex, Inc"));
    EXPECT_TRUE(SameName(identity.ProductFamily, "Quorvex"));
    EXPECT_TRUE(SameName(identity.ProductName, QuorvexProduct));
    EXPECT_TRUE(SameName(identity.Version.Info, "Version 2001"));
    EXPECT_EQ(identity.Version.MajorNum, 1);
    EXPECT_EQ(identity.Version.MinorNum, 603);
    EXPECT_EQ(identity.ProtocolMajor, 1);
    EXPECT_EQ(identity.ProtocolMinor, 6);
    EXPECT_EQ(identity.SupportedGroups, DG_CONTROL | DG_IMAGE);
}

class Enumeration : public DsmTest {};

TEST_F(Enumeration, ListsQuorvexOnceWithItsOwnIdentityAndUnloadsIt) {
    TW_IDENTITY app = OpenApplication();
    EXPECT_NE(app.Id, 0u) << "MSG_OPENDSM assigns the application's Id";
    std::vector<TW_IDENTITY> listed = ListSources(&app);
    int quorvex = 0;
    for (const TW_IDENTITY &identity : listed) {
        if (!SameName(identity.ProductName, QuorvexProduct)) continue;
        ++quorvex;
        ExpectQuorvexIdentity(identity);
        EXPECT_EQ(identity.Id, 0u) << "not open: no Id yet";
    }
    EXPECT_EQ(quorvex, 1);
    // Asking for identities loads each source only for the question.
    EXPECT_FALSE(QuorvexLoaded());
    // The end of the list stays the end.
    TW_IDENTITY past = {};
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &past), TWRC_ENDOFLIST);
}

TEST_F(Enumeration, DefaultAndUserSelectAreTheFirstListedSource) {
    TW_IDENTITY app = OpenApplication();
    std::vector<TW_IDENTITY> listed = ListSources(&app);
    ASSERT_FALSE(listed.empty());
    // Sources beside the Source Manager come first: QXTwain is the default here.
    ExpectQuorvexIdentity(listed.front());
    for (TW_UINT16 message : {MSG_GETDEFAULT, MSG_USERSELECT}) {
        TW_IDENTITY chosen = {};
        EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, message, &chosen), TWRC_SUCCESS);
        EXPECT_EQ(memcmp(&chosen, &listed.front(), sizeof chosen), 0) << "message " << message;
    }
}

TEST_F(Enumeration, ShowsTheAssignedIdOfAnOpenSource) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY source = OpenQuorvex(&app);
    ASSERT_NE(source.Id, 0u);
    bool seen = false;
    for (const TW_IDENTITY &identity : ListSources(&app)) {
        if (!SameName(identity.ProductName, QuorvexProduct)) continue;
        seen = true;
        EXPECT_EQ(identity.Id, source.Id);
    }
    EXPECT_TRUE(seen);
    // Listing does not disturb the open source.
    EXPECT_TRUE(QuorvexLoaded());
    TW_IDENTITY reported = {};
    EXPECT_EQ(Dsm(&app, &source, DG_CONTROL, DAT_IDENTITY, MSG_GET, &reported), TWRC_SUCCESS);
    EXPECT_EQ(reported.Id, source.Id);
}

TEST_F(Enumeration, NextBeforeFirstIsASequenceError) {
    TW_IDENTITY app = OpenApplication();
    TW_IDENTITY identity = {};
    EXPECT_EQ(Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_SEQERROR);
}

TEST_F(Enumeration, EachApplicationHasItsOwnPlaceInTheList) {
    TW_IDENTITY first = OpenApplication();
    TW_IDENTITY second = OpenApplication();
    EXPECT_NE(first.Id, second.Id);
    TW_IDENTITY a = {}, b = {};
    ASSERT_EQ(Dsm(&first, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &a), TWRC_SUCCESS);
    // The second application's GETFIRST does not move the first one's place.
    ASSERT_EQ(Dsm(&second, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &b), TWRC_SUCCESS);
    EXPECT_EQ(memcmp(&a, &b, sizeof a), 0);
    size_t remaining = ListSources(&second).size() - 1;
    size_t walked = 0;
    TW_IDENTITY next = {};
    while (Dsm(&first, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &next) == TWRC_SUCCESS)
        ++walked;
    EXPECT_EQ(walked, remaining);
}

}  // namespace
