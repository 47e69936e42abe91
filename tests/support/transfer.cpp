#include "support/transfer.h"

#include <cstdio>
#include <cstring>

namespace qx {

void MakeReady(LoadedSource &source, HWND parent) {
    ASSERT_TRUE(OpenAndEnable(source, parent));
    ASSERT_EQ(source.PendingCount(), 1);
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

TW_UINT16 MemoryStrip(LoadedSource &source, TW_IMAGEMEMXFER &strip, void *buffer,
                      TW_UINT32 length, TW_UINT32 flags) {
    memset(&strip, 0xEE, sizeof strip);
    strip.Memory.Flags = flags;
    strip.Memory.Length = length;
    strip.Memory.TheMem = buffer;
    return source.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
}

TW_UINT16 FileTransfer(LoadedSource &source) {
    return source.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
}

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
