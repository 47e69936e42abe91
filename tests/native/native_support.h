// What the transfer tests share: a source brought to state 600, a native
// transfer as an application makes it, and a view of the bitmap it receives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/harness.h"

namespace qx {

constexpr const char *NativeFailure = "General failure in response to DAT_IMAGENATIVEXFER.  ";
constexpr const char *SeqErrorSentence = "DG DAT MSG is out of expected sequence.";
constexpr const char *OperationErrorSentence = "An operation error just occurred.";
constexpr const char *BadProtocolSentence = "Bad protocol error.";

// Opens the source and enables it without its dialog: state 600, no boxes recorded.
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

// DAT_PENDINGXFERS with msg; returns the result, Count in *count.
TW_UINT16 PendingXfers(LoadedSource &source, TW_UINT16 msg, TW_UINT16 *count);

// Frames the board has started (its `KvAqCommand 2 2` lines).
size_t FramesStarted();
// Number of log lines equal to line.
size_t LogCount(const std::string &line);

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
