// File transfer through DS_Entry on the simulated board: the stored file name
// and format, the creation test, the transfer's order of checks, the writer's
// errors and the files it writes from the raw frame.
#include <windows.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "support/bytes.h"
#include "support/transfer.h"

using namespace qx;

namespace {

constexpr const char *SetupText =
    "General failure in response to DAT_SETUPFILEXFER, not supported.  ";
constexpr const char *CreateText = "Unable to create file <<DAT_SETUPFILEXFER>>";
constexpr const char *FileXferText = "General failure in response to DAT_IMAGEFILEXFER.  ";

TW_UINT16 SetupFile(LoadedSource &source, TW_UINT16 message, TW_SETUPFILEXFER *setup) {
    return source.Call(DG_CONTROL, DAT_SETUPFILEXFER, message, setup);
}

TW_SETUPFILEXFER Garbage() {
    TW_SETUPFILEXFER setup;
    memset(&setup, 0x5A, sizeof setup);
    return setup;
}

TW_SETUPFILEXFER Named(const std::string &name, TW_UINT16 format = TWFF_BMP) {
    TW_SETUPFILEXFER setup = {};
    strncpy(setup.FileName, name.c_str(), sizeof setup.FileName - 1);
    setup.Format = format;
    return setup;
}

bool FileExists(const std::string &name) {
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The writer's own box, then the transfer's.
void ExpectWriterThenTransferBox() {
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Quorvex Error");
    EXPECT_FALSE(boxes[0].text.empty());
    EXPECT_BOX(boxes[1], "Twain Driver Error", std::string(FileXferText) + OperationErrorSentence);
}

// Deletes the file when the test ends.
struct TempName {
    explicit TempName(const std::string &name) : path(TempFile(name)) { DeleteFileA(path.c_str()); }
    ~TempName() { DeleteFileA(path.c_str()); }
    std::string path;
};

// ---------------------------------------------------------------- set-up

class FileSetupTest : public SourceTest {
protected:
    void SetUp() override {
        SourceTest::SetUp();
        ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    }
};

TEST_F(FileSetupTest, GetMessagesReportTheDefaults) {
    for (TW_UINT16 message : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
        SCOPED_TRACE(message);
        TW_SETUPFILEXFER setup = Garbage();
        ASSERT_EQ(SetupFile(*source, message, &setup), TWRC_SUCCESS);
        EXPECT_STREQ(setup.FileName, "QXTwain.bmp");
        EXPECT_EQ(setup.Format, TWFF_BMP);
        EXPECT_EQ(setup.VRefNum, 0);
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(FileSetupTest, GetCurrentReportsWhatIsSetAndAFormatNotWrittenChangesNothing) {
    TempName file("format.tif");
    TW_SETUPFILEXFER set = Named(file.path, TWFF_TIFF), png = Named("", 7);
    ASSERT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_SUCCESS);
    EXPECT_EQ(SetupFile(*source, MSG_SET, &png), TWRC_FAILURE);
    ExpectOneBox("Twain Driver Error", std::string(SetupText) + BadValueSentence);
    EXPECT_STREQ(png.FileName, "");

    TW_SETUPFILEXFER current = Garbage();
    ASSERT_EQ(SetupFile(*source, MSG_GETCURRENT, &current), TWRC_SUCCESS);
    EXPECT_EQ(current.FileName, file.path);
    EXPECT_EQ(current.Format, TWFF_TIFF);

    TW_CAPABILITY cap = {ICAP_IMAGEFILEFORMAT, 0, nullptr};
    ASSERT_EQ(source->Capability(MSG_GETCURRENT, &cap), TWRC_SUCCESS);
    ASSERT_EQ(cap.ConType, TWON_ONEVALUE);
    ASSERT_NE(cap.hContainer, nullptr);
    auto *one = static_cast<TW_ONEVALUE *>(GlobalLock(cap.hContainer));
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->ItemType, TWTY_UINT16);
    EXPECT_EQ(one->Item, TWFF_TIFF);
    GlobalUnlock(cap.hContainer);
    GlobalFree(cap.hContainer);
}

TEST_F(FileSetupTest, AnEmptyNameBecomesTheDefaultNameInBothRecords) {
    DeleteFileA("QXTwain.bmp");
    TW_SETUPFILEXFER set = Named("");
    ASSERT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_SUCCESS);
    EXPECT_STREQ(set.FileName, "QXTwain.bmp");
    // Created empty by the test, relative to the current folder.
    EXPECT_TRUE(FileExists("QXTwain.bmp"));
    EXPECT_TRUE(FileBytes("QXTwain.bmp").empty());
    EXPECT_TRUE(Boxes().empty());

    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    EXPECT_EQ(FileTransfer(*source), TWRC_XFERDONE);
    EXPECT_TRUE(Logged("QXIOWriteSingle QXTwain.bmp 640 480 8 0 -> 0"));
    EXPECT_GT(FileBytes("QXTwain.bmp").size(), 307200u);
    DeleteFileA("QXTwain.bmp");
}

TEST_F(FileSetupTest, ANameInAMissingFolderIsABadValueYetStaysStored) {
    std::string name = TempFile("missing-folder\\image.bmp");
    TW_SETUPFILEXFER set = Named(name);
    EXPECT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    ExpectOneBox("Twain Driver Error", std::string(CreateText) + BadValueSentence);
    EXPECT_FALSE(FileExists(name));

    // The next transfer still writes to that name (and the writer fails).
    ClearBoxes();
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    EXPECT_EQ(FileTransfer(*source), TWRC_FAILURE);
    EXPECT_EQ(BoardLogMatching("QXIOWriteSingle " + name + " 640 480 8 0 -> ").size(), 1u);
    ExpectWriterThenTransferBox();
}

TEST_F(FileSetupTest, AnExistingFileIsNotTouched) {
    TempName file("existing.bmp");
    {
        std::ofstream out(file.path, std::ios::binary);
        out << "keep these bytes";
    }
    HANDLE handle = CreateFileA(file.path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    SYSTEMTIME old = {2001, 2, 0, 3, 4, 5, 6, 0};
    FILETIME oldTime;
    SystemTimeToFileTime(&old, &oldTime);
    ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &oldTime));
    CloseHandle(handle);

    TW_SETUPFILEXFER set = Named(file.path);
    EXPECT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_SUCCESS);
    EXPECT_TRUE(Boxes().empty());
    std::vector<uint8_t> bytes = FileBytes(file.path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "keep these bytes");
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA(file.path.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &oldTime), 0);
}

// A name of `length` characters in the temporary folder, ending in ".bmp".
std::string LongName(size_t length) {
    std::string name = TempFile("");
    name += std::string(length - name.size() - 4, 'n');
    return name + ".bmp";
}

TEST_F(FileSetupTest, NamesAreStoredUpTo255Characters) {
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    // A name the file test can take: created empty.
    std::string shorter = LongName(120);
    TW_SETUPFILEXFER set = Named(shorter);
    EXPECT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_SUCCESS);
    EXPECT_TRUE(FileExists(shorter));
    EXPECT_TRUE(FileBytes(shorter).empty());
    DeleteFileA(shorter.c_str());
    EXPECT_TRUE(Boxes().empty());

    // 255 characters are stored whole and the file test takes them too.
    std::string whole = LongName(255);
    set = Named(whole);
    EXPECT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_SUCCESS);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(FileExists(whole));
    EXPECT_TRUE(FileBytes(whole).empty());
    EXPECT_EQ(FileTransfer(*source), TWRC_XFERDONE);
    EXPECT_TRUE(Logged("QXIOWriteSingle " + whole + " 640 480 8 0 -> 0"));
    EXPECT_FALSE(FileBytes(whole).empty());
    DeleteFileA(whole.c_str());
    ASSERT_EQ(PendingXfers(*source, MSG_ENDXFER), TWRC_SUCCESS);

    // A folder of that name is no file to write.
    std::string folder = TempFile("") + "qx-a-folder";
    CreateDirectoryA(folder.c_str(), nullptr);
    set = Named(folder);
    EXPECT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    RemoveDirectoryA(folder.c_str());
    ClearBoxes();

    // A record without a terminating zero within its 256 bytes: 255 kept.
    TW_SETUPFILEXFER full;
    std::string longer = LongName(300);
    memcpy(full.FileName, longer.data(), sizeof full.FileName);
    full.Format = TWFF_BMP;
    full.VRefNum = 0;
    EXPECT_EQ(SetupFile(*source, MSG_SET, &full), TWRC_SUCCESS);
    EXPECT_EQ(FileTransfer(*source), TWRC_XFERDONE);
    std::string kept = longer.substr(0, 255);
    EXPECT_TRUE(Logged("QXIOWriteSingle " + kept + " 640 480 8 0 -> 0"));
    EXPECT_TRUE(FileExists(kept));
    DeleteFileA(kept.c_str());
}

TEST_F(FileSetupTest, RefusesOtherMessagesAndStatesOutside400To600) {
    TW_SETUPFILEXFER setup = Garbage();
    EXPECT_EQ(SetupFile(*source, MSG_RESET, &setup), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    ExpectOneBox("Twain Driver Error", std::string(SetupText) + BadProtocolSentence);
    EXPECT_EQ(static_cast<uint8_t>(setup.FileName[0]), 0x5A);

    ASSERT_EQ(source->Close(), TWRC_SUCCESS);  // 300
    ClearBoxes();
    EXPECT_EQ(SetupFile(*source, MSG_GET, &setup), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ExpectOneBox("Twain Driver Error", std::string(SetupText) + SeqErrorSentence);
    EXPECT_EQ(static_cast<uint8_t>(setup.FileName[0]), 0x5A);

    EXPECT_EQ(SetupFile(*source, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ClearBoxes();
    EXPECT_EQ(SetupFile(*source, MSG_SET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADVALUE);
    EXPECT_TRUE(Boxes().empty());
}

// ---------------------------------------------------------------- transfer

class FileTransferTest : public ReadySourceTest {};

TEST_F(FileTransferTest, BeforeAnySetTheWriterIsGivenAnEmptyName) {
    EXPECT_EQ(FileTransfer(*source), TWRC_FAILURE);
    auto writes = BoardLogMatching("QXIOWriteSingle  640 480 8 0 -> ");
    ASSERT_EQ(writes.size(), 1u);
    std::string code = writes[0].substr(writes[0].rfind(' ') + 1);
    EXPECT_NE(code, "0");
    EXPECT_TRUE(Logged("QXIOErrorShow " + code + " -> 0"));
    ExpectWriterThenTransferBox();
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    EXPECT_EQ(source->PendingCount(), 1);  // still 600
}

class FailingWriterTest : public ReadySourceTest {
    std::string BoardConfig() override { return "write_result = 7\n"; }
};

TEST_F(FailingWriterTest, TheWritersBoxComesBeforeTheTransfersBox) {
    TempName file("failing.bmp");
    TW_SETUPFILEXFER set = Named(file.path);
    ASSERT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_SUCCESS);
    EXPECT_EQ(FileTransfer(*source), TWRC_FAILURE);
    EXPECT_TRUE(Logged("QXIOWriteSingle " + file.path + " 640 480 8 0 -> 7"));
    auto log = BoardLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.back(), "QXIOErrorShow 7 -> 0");
    ExpectWriterThenTransferBox();
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    EXPECT_EQ(source->PendingCount(), 1);
    // A later transfer tries again with a new frame.
    ClearBoxes();
    EXPECT_EQ(FileTransfer(*source), TWRC_FAILURE);
    EXPECT_EQ(FramesStarted(), 2);
}

class FailingFileSnapTest : public ReadySourceTest {
    std::string BoardConfig() override { return "waits = 1\n"; }
};

TEST_F(FailingFileSnapTest, ASnapFailureWritesNothing) {
    EXPECT_EQ(FileTransfer(*source), TWRC_FAILURE);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_BOX(boxes[0], "Quorvex Error", "Error snapping image in ImageMemXferMsg.");
    EXPECT_BOX(boxes[1], "Twain Driver Error", std::string(FileXferText) + OperationErrorSentence);
    EXPECT_TRUE(BoardLogMatching("QXIOWriteSingle").empty());
    EXPECT_EQ(source->PendingCount(), 1);
}

class FileStateTest : public SourceTest {};

TEST_F(FileStateTest, TheMessageIsCheckedBeforeTheState) {
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    EXPECT_EQ(source->Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GETCURRENT, nullptr), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_BADPROTOCOL);
    ExpectOneBox("Twain Driver Error", std::string(FileXferText) + BadProtocolSentence);

    ClearBoxes();
    ASSERT_EQ(source->Enable(true), TWRC_SUCCESS);  // 500
    EXPECT_EQ(FileTransfer(*source), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ExpectOneBox("Twain Driver Error", std::string(FileXferText) + SeqErrorSentence);
    EXPECT_EQ(FramesStarted(), 0);
    EXPECT_TRUE(BoardLogMatching("QXIOWriteSingle").empty());
}

TEST_F(FileTransferTest, ASuccessfulTransferEndsIn700WithNoConditionPending) {
    TempName file("state.bmp");
    TW_SETUPFILEXFER set = Named(file.path);
    ASSERT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_SUCCESS);
    EXPECT_EQ(FileTransfer(*source), TWRC_XFERDONE);
    EXPECT_EQ(source->Status(), TWCC_SUCCESS);
    EXPECT_EQ(source->PendingCount(), 0);
    EXPECT_TRUE(Boxes().empty());

    // 700: neither another transfer nor a set-up.
    EXPECT_EQ(FileTransfer(*source), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ClearBoxes();
    EXPECT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_SEQERROR);
    ExpectOneBox("Twain Driver Error", std::string(SetupText) + SeqErrorSentence);
    EXPECT_EQ(FramesStarted(), 1);
}

class MisfitFileFrameTest : public ReadySourceTest {
    std::string BoardConfig() override { return "width = 64\nheight = 48\nimage_bytes = 3000\n"; }
};

TEST_F(MisfitFileFrameTest, AFrameLargerThanTheImageIsAnOperationErrorBeforeSnapping) {
    EXPECT_EQ(FileTransfer(*source), TWRC_FAILURE);
    EXPECT_EQ(source->Status(), TWCC_OPERATIONERROR);
    ExpectOneBox("Twain Driver Error", std::string(FileXferText) + OperationErrorSentence);
    EXPECT_EQ(FramesStarted(), 0);
    EXPECT_TRUE(BoardLogMatching("QXIOWriteSingle").empty());
}

// ---------------------------------------------------------------- files written

// The written file's pixels, top line first, `bytes` per pixel.
struct Picture {
    uint32_t width = 0, height = 0, bitsPerPixel = 0;
    std::vector<uint8_t> pixels;
};

::testing::AssertionResult ReadBmp(const std::string &path, Picture *picture) {
    std::vector<uint8_t> b = FileBytes(path);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M')
        return ::testing::AssertionFailure() << path << " is not a BMP";
    uint32_t offBits = Get32(b, 10);
    picture->width = Get32(b, 18);
    picture->height = Get32(b, 22);
    picture->bitsPerPixel = Get16(b, 28);
    uint32_t bytes = picture->bitsPerPixel / 8;
    size_t row = (size_t(picture->width) * bytes + 3) & ~size_t(3);
    if (offBits + row * picture->height > b.size())
        return ::testing::AssertionFailure() << path << " is too short";
    picture->pixels.clear();
    for (uint32_t y = picture->height; y-- > 0;) {
        const uint8_t *line = b.data() + offBits + y * row;
        picture->pixels.insert(picture->pixels.end(), line, line + picture->width * bytes);
    }
    return ::testing::AssertionSuccess();
}

uint32_t TiffTag(const std::vector<uint8_t> &b, uint16_t tag) {
    uint32_t ifd = Get32(b, 4);
    uint32_t count = Get16(b, ifd);
    for (uint32_t i = 0; i < count; ++i) {
        size_t at = ifd + 2 + 12 * i;
        if (Get16(b, at) != tag) continue;
        return Get16(b, at + 2) == 3 && Get32(b, at + 4) == 1 ? Get16(b, at + 8)
                                                              : Get32(b, at + 8);
    }
    return 0xFFFFFFFF;
}

::testing::AssertionResult ReadTiff(const std::string &path, Picture *picture) {
    std::vector<uint8_t> b = FileBytes(path);
    if (b.size() < 8 || b[0] != 'I' || b[1] != 'I' || Get16(b, 2) != 42)
        return ::testing::AssertionFailure() << path << " is not a little-endian TIFF";
    picture->width = TiffTag(b, 256);
    picture->height = TiffTag(b, 257);
    uint32_t samples = TiffTag(b, 277);
    uint32_t bits = samples == 1 ? TiffTag(b, 258) : Get16(b, TiffTag(b, 258));
    picture->bitsPerPixel = samples * bits;
    uint32_t offset = TiffTag(b, 273), bytes = TiffTag(b, 279);
    if (offset + size_t(bytes) > b.size() ||
        bytes != size_t(picture->width) * picture->height * picture->bitsPerPixel / 8)
        return ::testing::AssertionFailure() << path << " has a bad strip";
    picture->pixels.assign(b.begin() + offset, b.begin() + offset + bytes);
    return ::testing::AssertionSuccess();
}

// Compares every pixel with the ramp frame as the board wrote it, through
// expected(x, y, byte index).
template <class Expected>
::testing::AssertionResult MatchesFrame(const Picture &picture, uint32_t width, uint32_t height,
                                        uint32_t bytesPerPixel, Expected expected) {
    if (picture.width != width || picture.height != height)
        return ::testing::AssertionFailure()
               << "size " << picture.width << "x" << picture.height;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t k = 0; k < bytesPerPixel; ++k) {
                uint8_t actual = picture.pixels[(size_t(y) * width + x) * bytesPerPixel + k];
                uint8_t wanted = expected(x, y, k);
                if (actual != wanted)
                    return ::testing::AssertionFailure()
                           << "pixel (" << x << ", " << y << ") byte " << k << ": "
                           << int(actual) << ", expected " << int(wanted);
            }
    return ::testing::AssertionSuccess();
}

// The frame number the last transfer wrote.
uint32_t LastFrame() { return static_cast<uint32_t>(FramesStarted() - 1); }

TEST_F(FileTransferTest, TheBmpHoldsTheFrameAndEachTransferANewOne) {
    TempName file("grey.bmp");
    TW_SETUPFILEXFER set = Named(file.path);
    ASSERT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_SUCCESS);
    for (int transfer = 0; transfer < 2; ++transfer) {
        SCOPED_TRACE(transfer);
        ASSERT_EQ(FileTransfer(*source), TWRC_XFERDONE);
        Picture picture;
        ASSERT_TRUE(ReadBmp(file.path, &picture));
        EXPECT_EQ(picture.bitsPerPixel, 8u);
        uint32_t n = LastFrame();
        EXPECT_EQ(n, uint32_t(transfer));
        EXPECT_TRUE(MatchesFrame(picture, 640, 480, 1, [n](uint32_t x, uint32_t y, uint32_t) {
            return static_cast<uint8_t>(RampSample(x, y, n, 8));
        }));
        ASSERT_EQ(PendingXfers(*source, MSG_ENDXFER), TWRC_SUCCESS);
    }
}

class ColourFileTest : public ReadySourceTest {
    std::string BoardConfig() override { return "width = 101\nheight = 40\ndepth = 24\n"; }
};

TEST_F(ColourFileTest, TheBmpKeepsTheBoardsByteOrder) {
    TempName file("colour.bmp");
    TW_SETUPFILEXFER set = Named(file.path);
    ASSERT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_SUCCESS);
    ASSERT_EQ(FileTransfer(*source), TWRC_XFERDONE);
    EXPECT_TRUE(Logged("QXIOWriteSingle " + file.path + " 101 40 24 0 -> 0"));
    Picture picture;
    ASSERT_TRUE(ReadBmp(file.path, &picture));
    EXPECT_EQ(picture.bitsPerPixel, 24u);
    uint32_t n = LastFrame();
    EXPECT_TRUE(MatchesFrame(picture, 101, 40, 3, [n](uint32_t x, uint32_t y, uint32_t k) {
        return RampByte(x, y, n, k);
    }));
}

// A TIFF for each deep board: the raw samples, as the board wrote them.
struct TiffCase {
    const char *name;
    const char *boardConfig;
    const char *fileName;
    uint32_t width, height, depth;
    uint32_t bitsPerPixel, bytesPerPixel;
    uint8_t (*expected)(uint32_t x, uint32_t y, uint32_t frame, uint32_t k);
};

// Twelve bits in two bytes, with the bits above the sample left unmasked.
uint8_t RawGrey12(uint32_t x, uint32_t y, uint32_t frame, uint32_t k) {
    return static_cast<uint8_t>(RampSample(x, y, frame, 12, true) >> (8 * k));
}

const TiffCase TiffCases[] = {
    {"DeepGrey", "width = 200\nheight = 60\ndepth = 12\nhigh_bits = 1\n", "deep.tif", 200, 60, 12,
     16, 2, RawGrey12},
    // Padded board lines reach the file without their padding.
    {"PaddedGrey8", "width = 64\nheight = 48\nline_bytes = 128\n", "padded8.tif", 64, 48, 8, 8, 1,
     [](uint32_t x, uint32_t y, uint32_t frame, uint32_t) { return uint8_t(RampSample(x, y, frame, 8)); }},
    {"PaddedDeepGrey", "width = 61\nheight = 48\ndepth = 12\nhigh_bits = 1\nline_bytes = 130\n",
     "padded12.tif", 61, 48, 12, 16, 2, RawGrey12},
    {"PaddedColour24", "width = 64\nheight = 48\ndepth = 24\nline_bytes = 200\n", "padded24.tif", 64,
     48, 24, 24, 3, RampByte},
    // The writer gets four bytes a pixel in the board's order.
    {"ThirtyTwoBit", "width = 64\nheight = 48\ndepth = 32\n", "wide.tiff", 64, 48, 32, 24, 3,
     RampByte},
};

class TiffFileTest : public ReadySourceTest, public ::testing::WithParamInterface<TiffCase> {
    std::string BoardConfig() override { return GetParam().boardConfig; }
};

TEST_P(TiffFileTest, TheTiffHoldsTheRawFrame) {
    const TiffCase &c = GetParam();
    TempName file(c.fileName);
    TW_SETUPFILEXFER set = Named(file.path, TWFF_TIFF);
    ASSERT_EQ(SetupFile(*source, MSG_SET, &set), TWRC_SUCCESS);
    ASSERT_EQ(FileTransfer(*source), TWRC_XFERDONE);
    EXPECT_TRUE(Logged("QXIOWriteSingle " + file.path + " " + std::to_string(c.width) + " " +
                       std::to_string(c.height) + " " + std::to_string(c.depth) + " 0 -> 0"));
    Picture picture;
    ASSERT_TRUE(ReadTiff(file.path, &picture));
    EXPECT_EQ(picture.bitsPerPixel, c.bitsPerPixel);
    uint32_t n = LastFrame();
    EXPECT_TRUE(MatchesFrame(picture, c.width, c.height, c.bytesPerPixel,
                             [&](uint32_t x, uint32_t y, uint32_t k) {
                                 return c.expected(x, y, n, k);
                             }));
}

INSTANTIATE_TEST_SUITE_P(Depths, TiffFileTest, ::testing::ValuesIn(TiffCases),
                         [](const ::testing::TestParamInfo<TiffCase> &info) {
                             return std::string(info.param.name);
                         });

}  // namespace
