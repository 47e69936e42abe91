// Frames as image files (image_output.cpp): the native bitmap, the memory
// transfer's lines, and files re-encoded; each read by what its source said
// it is, and checked against its memory before a byte of it is read.
#pragma once

#include <string>
#include <vector>

#include "acquire.h"
#include "packed_image.h"

// How the lines of a memory transfer hold their pixels.
enum class StripSamples { Bilevel, Grey4, Grey8, Grey16, Palette, Rgb24, Rgbx32, Rgb48 };

struct StripLayout {
    StripSamples samples = StripSamples::Grey8;
    uint32_t bitsPerPixel = 8;  // as the lines store them
    uint32_t width = 0, height = 0;
    uint64_t lineBytes = 0;  // one line of the image, without padding
    std::vector<qximg::PaletteEntry> palette;  // Palette: from DAT_PALETTE8
    bool whiteIsZero = false;                  // Bilevel, grey: ICAP_PIXELFLAVOR is TWPF_VANILLA
};

// Sizes *buffer to `bytes`; false (reported) when there is no memory for it.
bool Allocate(Session &s, std::vector<uint8_t> *buffer, uint64_t bytes);

// True for TWCP_NONE; otherwise reported, naming the compression.
bool StripsUncompressed(Session &s, TW_UINT16 compression);

// The layout of the lines TW_IMAGEINFO describes; false (reported, naming
// what the source said) for one this program does not write.
bool StripLayoutOf(Session &s, const TW_IMAGEINFO &info, StripLayout *layout);

// The lines of the whole image, top line first, layout.lineBytes apart;
// *note tells how deep grey was written.
bool WriteStrips(Session &s, const std::string &path, const uint8_t *lines, const StripLayout &layout,
                 std::string *note);

// A native transfer's handle: a packed bitmap in global memory, or a DIB
// section's HBITMAP.
bool WriteDib(Session &s, const std::string &path, HANDLE bitmap);
// Frees such a handle as what it is.
void FreeHandedOverBitmap(HANDLE bitmap);

// Re-encodes a file the source wrote into the asked format.
bool ConvertFile(Session &s, const std::string &from, const std::string &to);
