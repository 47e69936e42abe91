// Display surfaces: a real owned window with an exact client area that shows
// the pixel buffer, that the user can close, and that VizpaneClose closes.
#include <cstring>
#include <thread>

#include "board_fixture.h"
#include "support/window_list.h"

namespace qx {
namespace {

class VizpaneTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        owner = CreateWindowExA(0, "STATIC", "Surface owner", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner, nullptr);
    }
    void TearDown() override {
        DestroyWindow(owner);
        BoardTest::TearDown();
    }
    // Surface windows owned by `owner`.
    std::vector<HWND> SurfaceWindows() {
        std::vector<HWND> surfaces;
        for (HWND window : ThreadWindows())
            if (ClassName(window) == "QxsimVizpaneSurface" && GetWindow(window, GW_OWNER) == owner)
                surfaces.push_back(window);
        return surfaces;
    }
    HWND owner = nullptr;
};

TEST_F(VizpaneTest, ASurfaceIsAnOwnedWindowWithAnExactClientArea) {
    uint32_t first = 0, second = 0;
    ASSERT_EQ(VizpaneCreate(&first, 320, 200, 8, owner), 0u);
    ASSERT_EQ(VizpaneCreate(&second, 33, 17, 24, owner), 0u);
    EXPECT_EQ(second, first + 1);
    std::vector<HWND> windows = SurfaceWindows();
    ASSERT_EQ(windows.size(), 2u);
    for (HWND w : windows) {
        EXPECT_TRUE(IsWindowVisible(w));
        EXPECT_EQ(GetParent(w) == owner || GetWindow(w, GW_OWNER) == owner, true);
        EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & WS_CHILD);
        RECT client;
        GetClientRect(w, &client);
        bool big = client.right == 320;
        EXPECT_EQ(client.right, big ? 320 : 33);
        EXPECT_EQ(client.bottom, big ? 200 : 17);
    }
    EXPECT_EQ(VizpaneIsOpen(first), 1u);
    EXPECT_EQ(VizpaneIsOpen(0xFFFFFFFF), 0u);
    EXPECT_EQ(VizpaneIsOpen(0), 0u);
    EXPECT_EQ(VizpaneClose(first), 0u);
    EXPECT_EQ(VizpaneClose(second), 0u);
    EXPECT_EQ(VizpaneIsOpen(first), 0u);
    EXPECT_TRUE(SurfaceWindows().empty());
}

TEST_F(VizpaneTest, BlitShowsThePixelBufferPixelForPixel) {
    struct Case {
        uint32_t depth;
    } cases[] = {{8}, {24}, {32}, {16}};
    for (const Case &c : cases) {
        SCOPED_TRACE("depth " + std::to_string(c.depth));
        const uint32_t w = 50, h = 20, bytes = c.depth == 16 ? 1 : c.depth / 8;
        uint32_t surface = 0;
        ASSERT_EQ(VizpaneCreate(&surface, w, h, c.depth, owner), 0u);
        uint8_t *pixels = nullptr;
        ASSERT_EQ(VizpaneGetBitmap(surface, reinterpret_cast<void **>(&pixels)), 0u);
        ASSERT_NE(pixels, nullptr);
        // Every byte of the buffer is writable: top-first rows of w × bytes.
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                for (uint32_t k = 0; k < bytes; ++k)
                    pixels[(y * w + x) * bytes + k] = static_cast<uint8_t>(x * 5 + y + 60 * k);
        ASSERT_EQ(VizpaneBlit(surface), 0u);
        PumpMessages(20);
        HWND window = SurfaceWindows().at(0);
        HDC dc = GetDC(window);
        for (uint32_t y : {0u, 7u, h - 1}) {
            for (uint32_t x : {0u, 13u, w - 1}) {
                uint8_t v = static_cast<uint8_t>(x * 5 + y);
                COLORREF expected = bytes == 1 ? RGB(v, v, v)
                                               : RGB(static_cast<uint8_t>(v + 120), static_cast<uint8_t>(v + 60), v);
                EXPECT_EQ(GetPixel(dc, x, y), expected) << "x " << x << " y " << y;
            }
        }
        ReleaseDC(window, dc);
        VizpaneClose(surface);
    }
}

TEST_F(VizpaneTest, TheUserCanCloseASurface) {
    uint32_t surface = 0;
    ASSERT_EQ(VizpaneCreate(&surface, 64, 48, 8, owner), 0u);
    HWND window = SurfaceWindows().at(0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }, 5000));
    EXPECT_EQ(VizpaneIsOpen(surface), 0u);
    EXPECT_NE(VizpaneBlit(surface), 0u);
    EXPECT_NE(VizpaneClose(surface), 0u);
    void *pixels = reinterpret_cast<void *>(1);
    EXPECT_NE(VizpaneGetBitmap(surface, &pixels), 0u);
    EXPECT_EQ(pixels, nullptr);
}

TEST_F(VizpaneTest, AnotherThreadCanBlitAndClose) {
    uint32_t surface = 0;
    ASSERT_EQ(VizpaneCreate(&surface, 64, 48, 32, owner), 0u);
    HWND window = SurfaceWindows().at(0);
    uint32_t blit = 99, close = 99;
    std::thread other([&] {
        blit = VizpaneBlit(surface);
        close = VizpaneClose(surface);
    });
    other.join();
    EXPECT_EQ(blit, 0u);
    EXPECT_EQ(close, 0u);
    EXPECT_EQ(VizpaneIsOpen(surface), 0u);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }, 5000));
}

TEST_F(VizpaneTest, BadSizesMakeNoSurface) {
    uint32_t surface = 12345;
    EXPECT_NE(VizpaneCreate(&surface, 0, 10, 8, owner), 0u);
    EXPECT_NE(VizpaneCreate(&surface, 10, 0, 8, owner), 0u);
    EXPECT_NE(VizpaneCreate(nullptr, 10, 10, 8, owner), 0u);
    EXPECT_EQ(surface, 12345u);
    EXPECT_TRUE(SurfaceWindows().empty());
}

}  // namespace
}  // namespace qx
