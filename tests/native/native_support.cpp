#include "native/native_support.h"

#include <cstring>

namespace qx {

void MakeReady(LoadedSource &source, HWND parent) {
    ASSERT_EQ(source.Open(), TWRC_SUCCESS);
    ASSERT_EQ(source.Enable(false, parent), TWRC_SUCCESS);
    ASSERT_TRUE(Boxes().empty());
    ClearBoxes();
}

void ReadySourceTest::SetUp() {
    SourceTest::SetUp();
    MakeReady(*source);
}

NativeReply NativeTransfer(LoadedSource &source, TW_UINT16 msg) {
    constexpr uint8_t Fill = 0xCD;
    uint8_t reply[16];
    memset(reply, Fill, sizeof reply);
    NativeReply r{};
    r.result = source.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, msg, reply);
    TW_HANDLE handle;
    memcpy(&handle, reply, sizeof handle);
    r.handle = r.result == TWRC_XFERDONE ? static_cast<HGLOBAL>(handle) : nullptr;
    r.bytesAfterHandleUntouched = true;
    for (size_t i = sizeof handle; i < sizeof reply; ++i)
        if (reply[i] != Fill) r.bytesAfterHandleUntouched = false;
    // A failed transfer hands nothing over: the reply stays as it was.
    if (r.result != TWRC_XFERDONE)
        for (size_t i = 0; i < sizeof handle; ++i)
            if (reply[i] != Fill) r.handle = reinterpret_cast<HGLOBAL>(~uintptr_t(0));
    return r;
}

TW_UINT16 PendingXfers(LoadedSource &source, TW_UINT16 msg, TW_UINT16 *count) {
    TW_PENDINGXFERS pending = {0xBEEF, 0x12345678};
    TW_UINT16 result = source.Call(DG_CONTROL, DAT_PENDINGXFERS, msg, &pending);
    EXPECT_EQ(pending.EOJ, 0x12345678u) << "EOJ is the application's";
    *count = pending.Count;
    return result;
}

size_t LogCount(const std::string &line) {
    size_t n = 0;
    for (const std::string &l : BoardLog())
        if (l == line) ++n;
    return n;
}

size_t FramesStarted() { return BoardLogMatching("KvAqCommand 2 2 ").size(); }

Dib::Dib(HGLOBAL handle) {
    blockBytes = GlobalSize(handle);
    const void *data = GlobalLock(handle);
    EXPECT_NE(data, nullptr) << "the bitmap handle does not lock";
    if (data) {
        block.assign(static_cast<const uint8_t *>(data),
                     static_cast<const uint8_t *>(data) + blockBytes);
        GlobalUnlock(handle);
    }
    EXPECT_EQ(GlobalFree(handle), nullptr);
    if (block.size() >= sizeof header) memcpy(&header, block.data(), sizeof header);
}

const RGBQUAD &Dib::palette(size_t i) const {
    return *reinterpret_cast<const RGBQUAD *>(block.data() + 40 + 4 * i);
}

const uint8_t *Dib::line(uint32_t y) const {
    return block.data() + pixelOffset() + size_t(header.biHeight - 1 - int32_t(y)) * stride();
}

}  // namespace qx
