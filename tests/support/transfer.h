// What the transfer tests share: a source brought to state 600, each kind of
// transfer as an application makes it, and a view of a native bitmap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/harness.h"
#include "support/sentences.h"
#include "support/temp_file.h"

namespace qx {

constexpr const char *NativeFailure = "General failure in response to DAT_IMAGENATIVEXFER.  ";

// Opens the source and enables it without its dialog: state 600 with one
// transfer pending and no boxes recorded.
void MakeReady(LoadedSource &source, HWND parent = nullptr);

// A SourceTest whose source is in state 600 when the test starts.
class ReadySourceTest : public SourceTest {
protected:
    void SetUp() override;
};

// DG_IMAGE / DAT_IMAGENATIVEXFER / msg into a pointer-sized handle (8 bytes
// on Win64, 4 on Win32). The bytes after it, up to 16, are checked to stay as
// they were.
struct NativeReply {
    TW_UINT16 result;
    HGLOBAL handle;
    bool bytesAfterHandleUntouched;
};
NativeReply NativeTransfer(LoadedSource &source, TW_UINT16 msg = MSG_GET);

// DAT_IMAGEMEMXFER / MSG_GET into the given buffer, with Memory.Flags.
TW_UINT16 MemoryStrip(LoadedSource &source, TW_IMAGEMEMXFER &strip, void *buffer,
                      TW_UINT32 length, TW_UINT32 flags = TWMF_APPOWNS | TWMF_POINTER);

// DAT_IMAGEFILEXFER / MSG_GET.
TW_UINT16 FileTransfer(LoadedSource &source);

// A native bitmap, copied out of its block and freed.
struct Dib {
    explicit Dib(HGLOBAL handle);
    size_t blockBytes = 0;
    std::vector<uint8_t> block;
    BITMAPINFOHEADER header{};
    bool hasPalette() const { return header.biBitCount < 24; }
    size_t pixelOffset() const { return hasPalette() ? 1064 : 40; }
    size_t stride() const { return ((size_t(header.biWidth) * header.biBitCount / 8) + 3) & ~size_t(3); }
    const RGBQUAD &palette(size_t i) const;
    // Row y of the image as seen top down (y = 0 is the frame's first line).
    const uint8_t *line(uint32_t y) const;
};

}  // namespace qx
