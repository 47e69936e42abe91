// The frame as the board describes it, read parameter by parameter, and what
// each use makes of its pixels.
#pragma once

#include <cstdint>
#include <initializer_list>

struct FrameGeometry {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t signalsPerFrame = 0;
    uint32_t bitDepth = 0;
    uint32_t bytesPerPixel = 0;
    uint32_t imageBytes = 0;
    uint32_t lineBytes = 0;

    bool twoSignalFrames() const { return signalsPerFrame == 2; }
};

// Reads the given board parameters, in the given order (the board sees the
// inquiries in that order), into one geometry. Parameters not listed stay 0.
// The transfers and the preview read theirs through a frame view (frame_view.h).
FrameGeometry ReadFrameGeometry(std::initializer_list<uint32_t> parameters);

// Pixel formats. The board delivers 8-bit grey, deep grey (16-bit samples of
// 10, 12 or 14 bits), 24-bit and 32-bit colour. Each use below answers for
// these the same way; where uses part on the other depths, they say why.

// Grey below 24 bits, colour from 24 up (pixel type, palette).
constexpr bool IsGreyDepth(uint32_t bitDepth) { return bitDepth < 24; }

// Deep grey: reported as 16-bit grey, masked in strips, shifted to a byte in bitmaps.
constexpr bool IsDeepGrey(uint32_t bitDepth) {
    return bitDepth == 10 || bitDepth == 12 || bitDepth == 14;
}

// The right shift that leaves the top eight bits of a grey sample.
constexpr unsigned ShiftToByteFor(uint32_t bitDepth) { return bitDepth - 8; }

// Native transfer: how a frame row becomes a bitmap row.
enum class RowConversion {
    Copy,        // bytes as the board delivers them
    ShiftToByte, // 16-bit deep grey to 8 bits
    DropFourth,  // 4-byte colour to 3 bytes, order kept
};

// Only layouts a kernel reads safely (the bytes per pixel the depth implies)
// are converted; anything else is copied as it comes.
constexpr RowConversion NativeRowConversion(const FrameGeometry &frame) {
    if (IsDeepGrey(frame.bitDepth) && frame.bytesPerPixel == 2) return RowConversion::ShiftToByte;
    if (frame.bitDepth == 32 && frame.bytesPerPixel == 4) return RowConversion::DropFourth;
    return RowConversion::Copy;
}

// 9 to 15 bits: the bitmap header takes every depth between byte and word as
// grey cut to 8 bits (half the image size), whether its rows are converted or not.
constexpr bool IsNativeByteGrey(uint32_t bitDepth) { return bitDepth >= 9 && bitDepth <= 15; }

// biBitCount: 32-bit colour loses its fourth byte; byte grey is 8.
constexpr uint32_t NativeBitCount(uint32_t bitDepth) {
    return bitDepth == 32 ? 24 : IsNativeByteGrey(bitDepth) ? 8 : bitDepth;
}

// Preview: 9 to 16 bits, 16 included, are shown by their top eight bits: no
// depth between byte and colour fits the 8-bit surface byte for byte.
constexpr bool PreviewShiftsToByte(uint32_t bitDepth) { return bitDepth > 8 && bitDepth <= 16; }

// The surface shows 8-bit grey and colour as they come, every other depth as 8-bit grey.
constexpr uint32_t PreviewSurfaceDepth(uint32_t bitDepth) {
    return bitDepth == 8 || bitDepth >= 24 ? bitDepth : 8;
}

// Bytes a preview reads of each pixel: a 16-bit sample, or what the surface shows.
constexpr uint32_t PreviewBytesPerPixel(uint32_t bitDepth) {
    return PreviewShiftsToByte(bitDepth) ? 2 : PreviewSurfaceDepth(bitDepth) / 8;
}

// Memory transfer: what a strip carries. Deep grey keeps its 16 bits there.
enum class StripPixels {
    Copy,          // the board's lines as they come
    MaskedGrey,    // deep grey, the bits above the depth cleared
    Swapped,       // 24-bit colour, first and third byte exchanged
    CutAndSwapped, // 32-bit colour cut to 3 bytes, first and third exchanged
};

constexpr StripPixels StripPixelsFor(uint32_t bitDepth) {
    if (IsDeepGrey(bitDepth)) return StripPixels::MaskedGrey;
    if (bitDepth == 24) return StripPixels::Swapped;
    if (bitDepth == 32) return StripPixels::CutAndSwapped;
    return StripPixels::Copy;
}

// File transfer: the writer reads whole bytes a pixel, as many as the depth needs.
constexpr uint64_t WriterBytesPerPixel(uint32_t bitDepth) {
    return (uint64_t(bitDepth) + 7) / 8;
}
