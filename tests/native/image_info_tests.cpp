// DAT_IMAGEINFO, DAT_IMAGELAYOUT and DAT_XFERGROUP: what they report, and in
// which states and for which messages they answer.
#include <cstring>

#include "support/transfer.h"

using namespace qx;

namespace {

constexpr const char *InfoFailure = "General failure in transfer.  ";
constexpr const char *LayoutFailure = "General failure in response to DAT_IMAGELAYOUT.  ";
constexpr const char *GroupFailure = "General failure in response to DAT_XFERGROUP, not supported.  ";

// Every state in turn: runs check(state) in 300, 400, 500, 600 and 700.
template <class Check> void InEveryState(LoadedSource &source, Check check) {
    check(300);
    ASSERT_EQ(source.Open(), TWRC_SUCCESS);
    check(400);
    ASSERT_EQ(source.Enable(true), TWRC_SUCCESS);
    check(500);
    ASSERT_EQ(source.Disable(), TWRC_SUCCESS);
    ASSERT_EQ(source.Enable(false), TWRC_SUCCESS);
    check(600);
    NativeReply reply = NativeTransfer(source);
    ASSERT_EQ(reply.result, TWRC_XFERDONE);
    Dib dib(reply.handle);
    check(700);
}

TW_UINT16 Info(LoadedSource &source, TW_IMAGEINFO *info, TW_UINT16 msg = MSG_GET) {
    memset(info, 0xAB, sizeof *info);
    return source.Call(DG_IMAGE, DAT_IMAGEINFO, msg, info);
}

bool Untouched(const void *record, size_t size) {
    const uint8_t *bytes = static_cast<const uint8_t *>(record);
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != 0xAB) return false;
    return true;
}

struct ExpectedInfo {
    TW_INT16 pixelType, bitsPerPixel, samples;
    TW_INT16 bitsPerSample[8];
};

void ExpectInfo(const TW_IMAGEINFO &info, uint32_t width, uint32_t height, const ExpectedInfo &e) {
    EXPECT_EQ(uint16_t(info.XResolution.Whole), 0xFFFF);
    EXPECT_EQ(info.XResolution.Frac, 1);
    EXPECT_EQ(uint16_t(info.YResolution.Whole), 0xFFFF);
    EXPECT_EQ(info.YResolution.Frac, 1);
    EXPECT_EQ(info.ImageWidth, int32_t(width));
    EXPECT_EQ(info.ImageLength, int32_t(height));
    EXPECT_EQ(info.PixelType, e.pixelType);
    EXPECT_EQ(info.BitsPerPixel, e.bitsPerPixel);
    EXPECT_EQ(info.SamplesPerPixel, e.samples);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(info.BitsPerSample[i], e.bitsPerSample[i]) << i;
    EXPECT_EQ(info.Planar, 0);
    EXPECT_EQ(info.Compression, TWCP_NONE);
}

class ImageInfoTest : public SourceTest {};

TEST_F(ImageInfoTest, AnswersOnlyIn600) {
    InEveryState(*source, [&](int state) {
        SCOPED_TRACE(state);
        ClearBoxes();
        TW_IMAGEINFO info;
        if (state == 600) {
            EXPECT_EQ(Info(*source, &info), TWRC_SUCCESS);
            EXPECT_TRUE(Boxes().empty());
            return;
        }
        EXPECT_EQ(Info(*source, &info), TWRC_FAILURE);
        EXPECT_TRUE(Untouched(&info, sizeof info));
        ExpectOneBox("Twain Driver Error", std::string(InfoFailure) + SeqErrorSentence);
        EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    });
}

TEST_F(ImageInfoTest, OnlyMsgGet) {
    MakeReady(*source);
    TW_IMAGEINFO info;
    EXPECT_EQ(Info(*source, &info, MSG_GETCURRENT), TWRC_FAILURE);
    EXPECT_TRUE(Untouched(&info, sizeof info));
    ExpectOneBox("Twain Driver Error", std::string(InfoFailure) + BadProtocolSentence);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
}

TEST_F(ImageInfoTest, Grey8Board) {
    MakeReady(*source);
    TW_IMAGEINFO info;
    ASSERT_EQ(Info(*source, &info), TWRC_SUCCESS);
    ExpectInfo(info, 640, 480, {TWPT_GRAY, 8, 1, {8, 0, 0, 0, 0, 0, 0, 0}});
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
}

TEST_F(ImageInfoTest, Grey12BoardReportsSixteenBits) {
    ConfigureBoard("width = 1024\nheight = 768\ndepth = 12\n");
    MakeReady(*source);
    TW_IMAGEINFO info;
    ASSERT_EQ(Info(*source, &info), TWRC_SUCCESS);
    ExpectInfo(info, 1024, 768, {TWPT_GRAY, 16, 1, {16, 0, 0, 0, 0, 0, 0, 0}});
}

TEST_F(ImageInfoTest, Colour24Board) {
    ConfigureBoard("width = 320\nheight = 200\ndepth = 24\n");
    MakeReady(*source);
    TW_IMAGEINFO info;
    ASSERT_EQ(Info(*source, &info), TWRC_SUCCESS);
    ExpectInfo(info, 320, 200, {TWPT_RGB, 24, 3, {8, 8, 8, 8, 0, 0, 0, 0}});
}

class ImageLayoutTest : public SourceTest {};

TW_FIX32 Fix(int16_t whole) { return TW_FIX32{whole, 0}; }

TEST_F(ImageLayoutTest, FixedInEveryStateWithTheBoardsFrameWhileOpen) {
    InEveryState(*source, [&](int state) {
        SCOPED_TRACE(state);
        for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
            TW_IMAGELAYOUT layout = {{Fix(3), Fix(4), Fix(5), Fix(7)}, 9, 9, 9};
            layout.Frame.Left.Frac = 0x8000;
            ASSERT_EQ(source->Call(DG_IMAGE, DAT_IMAGELAYOUT, msg, &layout), TWRC_SUCCESS) << msg;
            EXPECT_EQ(layout.Frame.Left.Whole, 0);
            EXPECT_EQ(layout.Frame.Left.Frac, 0);
            EXPECT_EQ(layout.Frame.Top.Whole, 0);
            EXPECT_EQ(layout.Frame.Top.Frac, 0);
            EXPECT_EQ(layout.Frame.Right.Whole, state == 300 ? 0 : 640);
            EXPECT_EQ(layout.Frame.Bottom.Whole, state == 300 ? 0 : 480);
            EXPECT_EQ(layout.DocumentNumber, 1u);
            EXPECT_EQ(layout.PageNumber, 1u);
            EXPECT_EQ(layout.FrameNumber, 1u);
        }
        EXPECT_TRUE(Boxes().empty());
    });
}

TEST_F(ImageLayoutTest, SetAndResetChangeNothing) {
    MakeReady(*source);
    for (TW_UINT16 msg : {MSG_SET, MSG_RESET}) {
        TW_IMAGELAYOUT layout = {{Fix(1), Fix(2), Fix(30), Fix(40)}, 5, 6, 7};
        TW_IMAGELAYOUT sent = layout;
        ASSERT_EQ(source->Call(DG_IMAGE, DAT_IMAGELAYOUT, msg, &layout), TWRC_SUCCESS);
        EXPECT_EQ(memcmp(&layout, &sent, sizeof layout), 0) << "the record was written";
        ASSERT_EQ(source->Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
        EXPECT_EQ(layout.Frame.Left.Whole, 0);
        EXPECT_EQ(layout.Frame.Top.Whole, 0);
        EXPECT_EQ(layout.DocumentNumber, 1u);
    }
    EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, nullptr), TWRC_SUCCESS);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ImageLayoutTest, OtherMessagesAreBadProtocol) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    for (TW_UINT16 msg : {MSG_QUERYSUPPORT, MSG_GETFIRST}) {
        ClearBoxes();
        TW_IMAGELAYOUT layout{};
        EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGELAYOUT, msg, &layout), TWRC_FAILURE);
        ExpectOneBox("Twain Driver Error", std::string(LayoutFailure) + BadProtocolSentence);
        EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    }
}

class XferGroupTest : public SourceTest {
protected:
    TW_UINT16 Group(TW_UINT16 msg, TW_UINT32 *group) {
        return source->Call(DG_CONTROL, DAT_XFERGROUP, msg, group);
    }
};

TEST_F(XferGroupTest, ReportsImagesIn400To600) {
    InEveryState(*source, [&](int state) {
        SCOPED_TRACE(state);
        ClearBoxes();
        TW_UINT32 group = 0xFFFFFFFF;
        if (state == 300 || state == 700) {
            EXPECT_EQ(Group(MSG_GET, &group), TWRC_FAILURE);
            EXPECT_EQ(group, 0xFFFFFFFFu);
            ExpectOneBox("Twain Driver Error", std::string(GroupFailure) + SeqErrorSentence);
            EXPECT_EQ(source->Status(), TWCC_SEQERROR);
            return;
        }
        for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET}) {
            group = 0xFFFFFFFF;
            EXPECT_EQ(Group(msg, &group), TWRC_SUCCESS) << msg;
            EXPECT_EQ(group, DG_IMAGE) << msg;
        }
        group = DG_CONTROL;
        EXPECT_EQ(Group(MSG_SET, &group), TWRC_SUCCESS);
        EXPECT_EQ(group, DG_CONTROL) << "MSG_SET wrote the application's value";
        EXPECT_TRUE(Boxes().empty());
    });
}

TEST_F(XferGroupTest, OtherMessagesAreBadProtocol) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    TW_UINT32 group = 0xFFFFFFFF;
    EXPECT_EQ(Group(MSG_QUERYSUPPORT, &group), TWRC_FAILURE);
    EXPECT_EQ(group, 0xFFFFFFFFu);
    ExpectOneBox("Twain Driver Error", std::string(GroupFailure) + BadProtocolSentence);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
}

}  // namespace
