// MSG_SET and MSG_RESET: what is stored, what is refused, which cells are shared.
#include "cap_support.h"

namespace qx {
namespace {

class SetOnOpenBoard : public ConfiguredSourceTest {
protected:
    void SetUp() override {
        ConfiguredSourceTest::SetUp();
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    }
    Bytes Current(TW_UINT16 code) { return Ask(*source, MSG_GETCURRENT, code).bytes; }
    Bytes Get(TW_UINT16 code) { return Ask(*source, MSG_GET, code).bytes; }
};

TEST_F(SetOnOpenBoard, XferMechSetIsCurrentAndResetBringsTheDefaultBack) {
    ASSERT_EQ(SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
    EXPECT_EQ(Get(ICAP_XFERMECH), Enumeration(TWTY_UINT16, {0, 1, 2}, 2, 0));
    EXPECT_EQ(Current(ICAP_XFERMECH), OneValue(TWTY_UINT16, 2));
    EXPECT_EQ(Ask(*source, MSG_GETDEFAULT, ICAP_XFERMECH).bytes, OneValue(TWTY_UINT16, 0));

    ExpectReply(Ask(*source, MSG_RESET, ICAP_XFERMECH), TWON_ONEVALUE, OneValue(TWTY_UINT16, 0));
    EXPECT_EQ(Current(ICAP_XFERMECH), OneValue(TWTY_UINT16, 0));
    EXPECT_EQ(Get(ICAP_XFERMECH), Enumeration(TWTY_UINT16, {0, 1, 2}, 0, 0));
}

TEST_F(SetOnOpenBoard, Only16BitsOfTheItemAreStoredForA16BitCapability) {
    ASSERT_EQ(SetOneValue(*source, ICAP_XFERMECH, TWTY_UINT16, 0xABCD0001), TWRC_SUCCESS);
    EXPECT_EQ(Get(ICAP_XFERMECH), Enumeration(TWTY_UINT16, {0, 1, 2}, 1, 0));
    ASSERT_EQ(SetOneValue(*source, CAP_XFERCOUNT, TWTY_INT16, 0x1234FFFE), TWRC_SUCCESS);
    EXPECT_EQ(Current(CAP_XFERCOUNT), OneValue(TWTY_INT16, 0xFFFE));
}

TEST_F(SetOnOpenBoard, AnyOtherItemTypeIsRefusedAndChangesNothing) {
    // No widening, in either direction.
    for (TW_UINT16 type : {TWTY_UINT32, TWTY_INT16, TWTY_BOOL, TWTY_UINT8, TWTY_FIX32}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(SetOneValue(*source, ICAP_XFERMECH, type, TWSX_MEMORY), TWRC_FAILURE);
        EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    }
    EXPECT_EQ(SetOneValue(*source, ICAP_XRESOLUTION, TWTY_UINT16, 2), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(SetOneValue(*source, CAP_XFERCOUNT, TWTY_UINT16, 2), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_EQ(Current(ICAP_XFERMECH), OneValue(TWTY_UINT16, 0));
    EXPECT_EQ(Current(ICAP_XRESOLUTION), OneValue(TWTY_FIX32, Fix(1)));
    EXPECT_EQ(Current(CAP_XFERCOUNT), OneValue(TWTY_INT16, 0xFFFF));
}

TEST_F(SetOnOpenBoard, AnEnumerationIsAcceptedUnreadAndChangesNothing) {
    Bytes sent = Enumeration(TWTY_UINT16, {0, 1, 2}, 2, 2);
    HGLOBAL block = BlockOf(sent);
    TW_CAPABILITY cap = {ICAP_XFERMECH, TWON_ENUMERATION, block};
    EXPECT_EQ(source->Capability(MSG_SET, &cap), TWRC_SUCCESS);
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
    EXPECT_EQ(cap.hContainer, block);
    EXPECT_EQ(cap.ConType, TWON_ENUMERATION);
    EXPECT_EQ(BlockBytes(block), sent);
    GlobalFree(block);
    EXPECT_EQ(Current(ICAP_XFERMECH), OneValue(TWTY_UINT16, 0));
    // Not even the handle is looked at.
    cap = {ICAP_XFERMECH, TWON_ENUMERATION, nullptr};
    EXPECT_EQ(source->Capability(MSG_SET, &cap), TWRC_SUCCESS);
}

TEST_F(SetOnOpenBoard, OtherContainersAreRefused) {
    HGLOBAL block = BlockOf(OneValue(TWTY_UINT16, TWSX_MEMORY));
    for (TW_UINT16 conType : {TWON_ARRAY, TWON_RANGE, TW_UINT16(0), TW_UINT16(7)}) {
        SCOPED_TRACE(conType);
        TW_CAPABILITY cap = {ICAP_XFERMECH, conType, block};
        EXPECT_EQ(source->Capability(MSG_SET, &cap), TWRC_FAILURE);
        EXPECT_EQ(source->Status(), TWCC_BADVALUE);
        EXPECT_EQ(cap.hContainer, block);
    }
    GlobalFree(block);
    EXPECT_EQ(Current(ICAP_XFERMECH), OneValue(TWTY_UINT16, 0));
}

TEST_F(SetOnOpenBoard, AOneValueWithoutAUsableBlockIsRefused) {
    TW_CAPABILITY cap = {ICAP_XFERMECH, TWON_ONEVALUE, nullptr};
    EXPECT_EQ(source->Capability(MSG_SET, &cap), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    // A block too small to hold the item.
    HGLOBAL tiny = BlockOf(Bytes{TWTY_UINT16, 0, 2});
    cap.hContainer = tiny;
    EXPECT_EQ(source->Capability(MSG_SET, &cap), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    GlobalFree(tiny);
    EXPECT_EQ(Current(ICAP_XFERMECH), OneValue(TWTY_UINT16, 0));
}

TEST_F(SetOnOpenBoard, AnOfferedValueOrAnyCountBecomesTheCurrentOnly) {
    struct Case {
        TW_UINT16 code, itemType;
        TW_UINT32 value, defaultValue;
    };
    const Case cases[] = {
        {ICAP_XFERMECH, TWTY_UINT16, 1, 0}, {CAP_XFERCOUNT, TWTY_INT16, 100, 0xFFFF},
        {ICAP_IMAGEFILEFORMAT, TWTY_UINT16, 0, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        ASSERT_EQ(SetOneValue(*source, c.code, c.itemType, c.value), TWRC_SUCCESS);
        EXPECT_EQ(source->Status(), TWCC_SUCCESS);
        EXPECT_EQ(Current(c.code), OneValue(c.itemType, c.value));
        EXPECT_EQ(Ask(*source, MSG_GETDEFAULT, c.code).bytes, OneValue(c.itemType, c.defaultValue));
    }
    EXPECT_EQ(Get(ICAP_IMAGEFILEFORMAT), Enumeration(TWTY_UINT16, {2, 0}, 1, 0));
    for (const Case &c : cases) {
        ExpectReply(Ask(*source, MSG_RESET, c.code), TWON_ONEVALUE,
                    OneValue(c.itemType, c.defaultValue));
        EXPECT_EQ(Current(c.code), OneValue(c.itemType, c.defaultValue));
    }
}

TEST_F(SetOnOpenBoard, ReadOnlyCapabilitiesRefuseSetAndKeepTheirValue) {
    for (TW_UINT16 code : {CAP_SUPPORTEDCAPS, ICAP_PLANARCHUNKY, ICAP_COMPRESSION,
                           ICAP_PHYSICALWIDTH, ICAP_PHYSICALHEIGHT, CAP_DEVICEONLINE,
                           ICAP_BITORDER, CAP_UICONTROLLABLE, ICAP_BITDEPTH}) {
        SCOPED_TRACE(code);
        Bytes before = Current(code);
        TW_UINT16 itemType = code == ICAP_PHYSICALWIDTH || code == ICAP_PHYSICALHEIGHT
                                 ? TWTY_FIX32
                                 : (code == CAP_DEVICEONLINE || code == CAP_UICONTROLLABLE
                                        ? TWTY_BOOL
                                        : TWTY_UINT16);
        EXPECT_EQ(SetOneValue(*source, code, itemType, 0), TWRC_FAILURE);
        EXPECT_EQ(source->Status(), TWCC_CAPBADOPERATION);
        EXPECT_EQ(Current(code), before);
    }
}

}  // namespace
}  // namespace qx
