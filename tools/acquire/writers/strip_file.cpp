#include "writers/strip_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "grey16.h"
#include "image_file.h"
#include "pixel_kernels.h"
#include "readers/text_format.h"

namespace {

std::unique_ptr<qximg::ImageFileWriter> OpenFor(const std::string &path, qximg::ImageFormat format,
                                                const StripLayout &layout, uint32_t greyBits, std::string *error) {
    const uint32_t width = layout.width, height = layout.height;
    qximg::PackedImage packed;
    packed.width = width, packed.height = height, packed.bits = layout.bitsPerPixel;
    switch (layout.samples) {
    case StripSamples::Grey16:
        return qximg::OpenImageFile(path, format, qximg::PixelLayout::Gray16, width, height, greyBits, error);
    case StripSamples::Grey8:
    case StripSamples::Bilevel:
    case StripSamples::Grey4: packed.whiteIsZero = layout.whiteIsZero; break;
    case StripSamples::Palette:
        packed.kind = qximg::SampleKind::Indexed;
        packed.palette = layout.palette;
        break;
    case StripSamples::Rgb48:
        packed.kind = qximg::SampleKind::Rgb;
        packed.bits = 16;
        break;
    case StripSamples::Rgb24:
    case StripSamples::Rgbx32:
        return qximg::OpenImageFile(path, format, qximg::PixelLayout::Bgr24, width, height, greyBits, error);
    }
    return qximg::OpenPackedImageFile(path, format, packed, error);
}

// The file, opened at its first band; destroyed before Finish, it leaves nothing.
class StripFile {
public:
    StripFile(Session &writing, const std::string &path, const StripLayout &layout)
        : writing_(writing), path_(path), layout_(layout) {}

    bool Open(uint32_t greyBits) {
        std::string error;
        file_ = OpenFor(path_, writing_.options.format, layout_, greyBits, &error);
        return file_ || Failed(error);
    }
    bool IsOpen() const { return file_ != nullptr; }

    bool Write(const uint8_t *lines, size_t stride, uint32_t rows) {
        std::string error;
        const bool colour = layout_.samples == StripSamples::Rgb24 || layout_.samples == StripSamples::Rgbx32;
        if (!colour) return file_->WriteRows(lines, stride, rows, &error) || Failed(error);
        // TWAIN strips carry R, G, B; the encoder takes B, G, R.
        const size_t width = layout_.width, bgrStride = width * 3;
        bgr_.resize(bgrStride * rows);
        const auto toBgr = layout_.samples == StripSamples::Rgb24 ? SwapFirstAndThird : DropFourthAndSwap;
        for (uint32_t y = 0; y < rows; ++y) toBgr(&bgr_[y * bgrStride], lines + y * stride, width);
        return file_->WriteRows(bgr_.data(), bgrStride, rows, &error) || Failed(error);
    }

    bool Finish() {
        std::string error;
        return file_->Finish(&error) || Failed(error);
    }

private:
    bool Failed(const std::string &error) { return Fail(writing_, ExitSourceFailed, "%s", error.c_str()); }

    Session &writing_;
    const std::string &path_;
    const StripLayout &layout_;
    std::unique_ptr<qximg::ImageFileWriter> file_;
    std::vector<uint8_t> bgr_;  // one band of colour
};

// The significant bits of deep grey the transfer kept whole.
uint32_t KeptSignificantBits(const StripAssembly &kept) {
    uint32_t bits = 8;
    for (const auto &[line, piece] : kept.pieces)
        bits = std::max(bits, qximg::Grey16SignificantBits(piece.pixels.get(), piece.columns, piece.rows, piece.rowBytes));
    return bits;
}

}  // namespace

bool DeepGreyBits(const StripLayout &layout, const Options &options, uint32_t *bits, std::string *why) {
    *bits = 16;
    if (layout.samples != StripSamples::Grey16) return true;
    if (layout.whiteIsZero) return Refuse(why, "deep grey of TWPF_VANILLA (0 is white) is not written");
    if (options.bits) *bits = options.bits;
    else if (!qximg::KeepsGrey16(options.format)) *bits = 0;
    return true;
}

bool WriteStripFrame(Session &writing, const std::string &path, StripStream &stream, uint32_t greyBits,
                     std::string *note) {
    const StripLayout &layout = stream.Layout();
    StripFile file(writing, path, layout);
    for (StripBand band; stream.Next(&band);) {
        const bool written = (file.IsOpen() || file.Open(greyBits)) &&
                             file.Write(band.buffer.bytes.get(), band.stride, band.rows);
        stream.Done(std::move(band));
        if (!written) return false;
    }
    if (!stream.Whole()) return false;
    StripAssembly &kept = stream.Kept();
    if (!greyBits) {
        greyBits = KeptSignificantBits(kept);
        char text[96];
        snprintf(text, sizeof text, " (16-bit samples reduced to 8 bits by their %u significant bits)", greyBits);
        *note = text;
    }
    if (!file.IsOpen() && !file.Open(greyBits)) return false;
    // The lines the transfer kept, put together a band at a time.
    const uint32_t bandRows = BandRows(kept);
    std::vector<uint8_t> band;
    while (kept.goneOn < layout.height) {
        band.resize(size_t(bandRows) * size_t(layout.lineBytes));
        const uint32_t rows = GatherLines(&kept, bandRows, band.data());
        if (!file.Write(band.data(), size_t(layout.lineBytes), rows)) return false;
    }
    return file.Finish();
}
