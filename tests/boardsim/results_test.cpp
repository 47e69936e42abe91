// Forced results, the board's error box, and the call log line by line.
#include <fstream>
#include <thread>

#include "board_fixture.h"

namespace qx {
namespace {

// Title and text of a caught box.
#define EXPECT_QUORVEX_BOX(box, expectedTitle, expectedText) \
    do {                                                     \
        EXPECT_EQ((box).title, expectedTitle);               \
        EXPECT_EQ((box).text, expectedText);                 \
    } while (0)

class ResultTest : public BoardTest {
protected:
    std::string Config() override { return "frame_ms = 0"; }
};

TEST_F(ResultTest, ForcedResultsComeBackAndTheErrorBoxDescribesTheLastFailure) {
    ASSERT_NO_FATAL_FAILURE(ConfigureBoard("find_result = 9"));
    KvBoardEntry entry = {};
    EXPECT_EQ(KvSysBrdFind(0x20, 0, &entry), 9u);

    ASSERT_NO_FATAL_FAILURE(ConfigureBoard("open_result = 11"));
    ASSERT_EQ(KvSysBrdFind(0x20, 0, &entry), 0u);
    KvBoard other = nullptr;
    EXPECT_EQ(KvBrdOpen(&entry, &other, 1), 11u);
    EXPECT_EQ(other, nullptr);

    ASSERT_NO_FATAL_FAILURE(ConfigureBoard("setup_result = 5\nrearm_result = 3"));
    OpenBoard();
    std::vector<uint8_t> host(640 * 480);
    EXPECT_EQ(KvAqSetup(board, host.data(), 640 * 480, 640, 3, 4, 0, 0, 1, 1, 0), 5u);
    EXPECT_EQ(QXErrorShow(board), 0u);
    EXPECT_NE(Command(2, 2), 0u) << "a forced set-up failure sets nothing up";
    EXPECT_EQ(Command(2, 1), 3u);

    ASSERT_NO_FATAL_FAILURE(ConfigureBoard("write_result = 4"));
    DeleteFileA("forced.bmp");
    EXPECT_EQ(QXIOWriteSingle("forced.bmp", host.data(), 640, 480, 8, 0), 4u);
    EXPECT_EQ(GetFileAttributesA("forced.bmp"), INVALID_FILE_ATTRIBUTES);

    std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_QUORVEX_BOX(boxes[0], "Quorvex Error", "The board could not set up acquisition (error 5).");
}

TEST_F(ResultTest, TheErrorBoxNamesOtherFailuresToo) {
    KvBoardEntry entry = {};
    EXPECT_NE(KvSysBrdFind(0x40, 0, &entry), 0u);
    QXErrorShow(nullptr);
    OpenBoard();
    uint32_t value;
    EXPECT_NE(KvBrdInquire(board, 12345, &value), 0u);
    QXErrorShow(board);
    ASSERT_NO_FATAL_FAILURE(ConfigureBoard(""));
    QXErrorShow(board);
    std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_QUORVEX_BOX(boxes[0], "Quorvex Error", "Board 0x40 number 0 is not installed (error 3).");
    EXPECT_QUORVEX_BOX(boxes[1], "Quorvex Error", "The board has no parameter 12345 (error 4).");
    EXPECT_QUORVEX_BOX(boxes[2], "Quorvex Error", "No board error has occurred.");
}

// A transcript on purpose: the log format that outside checks read, line by line.
TEST_F(ResultTest, EveryCallIsLoggedOnALineOfItsOwn) {
    ASSERT_NO_FATAL_FAILURE(ConfigureBoard("frame_ms = 0\nselect = cancel\nqtab_mode = 1"));
    uint32_t major, minor, count, mode, family, number, o3, o4;
    KvDVersion(&major, &minor);
    KvSysBrdEnum(16, &count);
    KvBoardEntry entry = {};
    KvSysBrdFind(32, 0, &entry);
    KvBrdOpen(&entry, &board, 1);
    KvBrdInquire(board, 65543, &count);
    KvSignalCreate(board, 4, &frame);
    KvSignalCreate(board, 2, &cancel);
    QXQTabModeRequest(board, 1, &mode);
    std::vector<uint8_t> host(307200, 0);
    KvAqSetup(board, host.data(), 307200, 640, 3, 4, 0, 0, 1, 1, 0);
    KvAqCommand(board, 2, 2, 0, 0);
    KvSignalWait(board, &frame, 5000, &detail);
    KvSignalCancel(board, &frame);
    KvSignalWait(board, &frame, 0xFFFFFFFF, &detail);
    KvAqCommand(board, 5, 1, 0, 0);
    KvSignalCancel(board, &cancel);
    KvSignalWait(board, &cancel, 0xFFFFFFFF, &detail);
    KvSignalFree(board, &cancel);
    KvSignalFree(board, &frame);
    KvAqCleanUp(board, 0);
    KvBrdClose(board);
    board = nullptr;
    DoBrdOpenDialog(1, 0xD0, &family, &number, &o3, &o4);
    QXErrorShow(nullptr);
    QXIOWriteSingle("QXTwain.bmp", host.data(), 640, 480, 8, 0);
    QXIOErrorShow(3);
    uint32_t surface = 0;
    VizpaneCreate(&surface, 64, 48, 8, nullptr);
    void *pixels;
    VizpaneGetBitmap(surface, &pixels);
    VizpaneIsOpen(surface);
    VizpaneBlit(surface);
    VizpaneClose(surface);
    VizpaneIsOpen(0xFFFFFFFF);
    DeleteFileA("QXTwain.bmp");

    const std::string s = std::to_string(surface);
    const std::vector<std::string> expected = {
        "KvDVersion -> 0",
        "KvSysBrdEnum 16 -> 0",
        "KvSysBrdFind 32 0 -> 0",
        "KvBrdOpen 1 -> 0",
        "KvBrdInquire 65543 -> 0",
        "KvSignalCreate 4 -> 0",
        "KvSignalCreate 2 -> 0",
        "QXQTabModeRequest 1 -> 0",
        "KvAqSetup 307200 640 3 4 0 0 1 1 0 -> 0",
        "KvAqCommand 2 2 0 0 -> 0",
        "KvSignalWait 4 5000 -> 0",
        "KvSignalCancel 4",
        "KvSignalWait 4 4294967295 -> 65537",
        "KvAqCommand 5 1 0 0 -> 0",
        "KvSignalCancel 2",
        "KvSignalWait 2 4294967295 -> 65537",
        "KvSignalFree 2 -> 0",
        "KvSignalFree 4 -> 0",
        "KvAqCleanUp 0 -> 0",
        "KvBrdClose -> 0",
        "DoBrdOpenDialog 1 208 -> 2",
        "QXErrorShow -> 0",
        "QXIOWriteSingle QXTwain.bmp 640 480 8 0 -> 0",
        "QXIOErrorShow 3 -> 0",
        "VizpaneCreate 64 48 8 -> 0",
        "VizpaneGetBitmap " + s + " -> 0",
        "VizpaneIsOpen " + s + " -> 1",
        "VizpaneBlit " + s + " -> 0",
        "VizpaneClose " + s + " -> 0",
        "VizpaneIsOpen 4294967295 -> 0",
    };
    EXPECT_EQ(BoardLog(), expected);
    EXPECT_EQ(Boxes().size(), 2u);
}

TEST_F(ResultTest, TheLogIsAppendedNotReplaced) {
    const std::string path = BoardLogPath();
    {
        std::ofstream out(path);
        out << "earlier line\n";
    }
    ASSERT_EQ(KvSimConfigure(("log = " + path).c_str()), 0);
    uint32_t major, minor;
    KvDVersion(&major, &minor);
    EXPECT_EQ(BoardLog(), (std::vector<std::string>{"earlier line", "KvDVersion -> 0"}));
    ASSERT_EQ(KvSimConfigure(""), 0);
    KvDVersion(&major, &minor);
    EXPECT_EQ(BoardLog().size(), 2u) << "no log key, no log";
}

TEST_F(ResultTest, ConcurrentCallsNeverShareALine) {
    OpenBoard();
    auto caller = [this] {
        uint32_t value;
        for (int i = 0; i < 200; ++i) KvBrdInquire(board, 65537, &value);
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back(caller);
    for (std::thread &t : threads) t.join();
    size_t inquiries = 0;
    for (const std::string &line : BoardLog()) {
        if (line.rfind("KvBrdInquire", 0) != 0) continue;
        EXPECT_EQ(line, "KvBrdInquire 65537 -> 0");
        ++inquiries;
    }
    EXPECT_EQ(inquiries, 800u);
}

}  // namespace
}  // namespace qx
