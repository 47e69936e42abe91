// Image files re-encoded a band of rows at a time: WIC's decoder copies each
// band by its rectangle, at the depth the file holds, into a writer of
// image_file.h. Under Wine the TIFF decoder then reads only the band's rows;
// its BMP decoder reads the whole image on the first copy, so BMP files are
// best read by their rows (as qxacquire does).
#include <algorithm>
#include <iterator>

#include "file_writers.h"
#include "wic_com.h"

namespace qximg {
namespace {

// The decoded formats a writer takes as they are: packed samples, or a layout.
struct KeptFormat {
    const GUID &format;
    bool packed;
    SampleKind kind;
    uint32_t bits;  // of a sample (packed) or a pixel (layout)
    PixelLayout layout;
};
const KeptFormat KeptFormats[] = {
    {GUID_WICPixelFormatBlackWhite, true, SampleKind::Grey, 1, PixelLayout::Gray8},
    {GUID_WICPixelFormat4bppGray, true, SampleKind::Grey, 4, PixelLayout::Gray8},
    {GUID_WICPixelFormat1bppIndexed, true, SampleKind::Indexed, 1, PixelLayout::Gray8},
    {GUID_WICPixelFormat4bppIndexed, true, SampleKind::Indexed, 4, PixelLayout::Gray8},
    {GUID_WICPixelFormat8bppIndexed, true, SampleKind::Indexed, 8, PixelLayout::Gray8},
    {GUID_WICPixelFormat48bppRGB, true, SampleKind::Rgb, 16, PixelLayout::Gray8},
    {GUID_WICPixelFormat8bppGray, false, SampleKind::Grey, 8, PixelLayout::Gray8},
    {GUID_WICPixelFormat16bppGray, false, SampleKind::Grey, 16, PixelLayout::Gray16},
    {GUID_WICPixelFormat24bppBGR, false, SampleKind::Grey, 24, PixelLayout::Bgr24},
    {GUID_WICPixelFormat32bppBGR, false, SampleKind::Grey, 32, PixelLayout::Bgrx32},
    {GUID_WICPixelFormat32bppBGRA, false, SampleKind::Grey, 32, PixelLayout::Bgrx32},
};
// Any other format is converted to the last, 32-bit B, G, R, A (FirstFrame::ConvertToBgra), and
// written as 24-bit colour.
const KeptFormat &Converted = KeptFormats[std::size(KeptFormats) - 1];

// The frame's palette, every index of the depth given a colour: an index past
// the file's own entries takes the first, as a bitmap's does.
bool CopyPalette(IWICImagingFactory *factory, IWICBitmapFrameDecode *frame, uint32_t bits,
                 std::vector<PaletteEntry> *palette, const std::string &path, std::string *error) {
    ComRef<IWICPalette> colours;
    UINT count = 0, got = 0;
    HRESULT hr = factory->CreatePalette(colours.Out());
    if (SUCCEEDED(hr)) hr = frame->CopyPalette(colours.p);
    if (SUCCEEDED(hr)) hr = colours->GetColorCount(&count);
    std::vector<WICColor> argb(std::min<UINT>(count, 1u << bits));
    if (SUCCEEDED(hr) && !argb.empty()) hr = colours->GetColors(UINT(argb.size()), argb.data(), &got);
    if (Failed(hr, "reading the palette", path, error)) return false;
    for (UINT i = 0; i < got && i < argb.size(); ++i)
        palette->push_back({uint8_t(argb[i] >> 16), uint8_t(argb[i] >> 8), uint8_t(argb[i])});
    palette->resize(size_t(1) << bits, palette->empty() ? PaletteEntry{0, 0, 0} : palette->front());
    return true;
}

}  // namespace

bool ConvertImage(const std::string &from, const std::string &to, ImageFormat format, std::string *error) {
    ComScope com;
    FirstFrame decoded;
    if (!decoded.Open(from, error)) return false;
    const UINT width = decoded.width, height = decoded.height;
    WICPixelFormatGUID pixels = {};
    HRESULT hr = decoded.frame->GetPixelFormat(&pixels);
    if (Failed(hr, "reading the pixel format", from, error)) return false;
    const auto found = std::find_if(std::begin(KeptFormats), std::end(KeptFormats),
                                    [&](const KeptFormat &kept) { return kept.format == pixels; });
    const KeptFormat &kept = found != std::end(KeptFormats) ? *found : Converted;
    IWICBitmapSource *source = decoded.frame.p;
    if (found == std::end(KeptFormats)) {
        if (!decoded.ConvertToBgra(from, error)) return false;
        source = decoded.converter.p;
    }
    std::unique_ptr<ImageFileWriter> file;
    uint64_t rowBits = uint64_t(width) * kept.bits;
    if (kept.packed) {
        PackedImage image;
        image.kind = kept.kind, image.bits = kept.bits, image.width = width, image.height = height;
        if (kept.kind == SampleKind::Indexed &&
            !CopyPalette(decoded.factory.p, decoded.frame.p, kept.bits, &image.palette, from, error))
            return false;
        rowBits = uint64_t(PackedRowBytes(image)) * 8;
        file = OpenPackedImageFile(to, format, image, error);
    } else {
        file = OpenImageFile(to, format, kept.layout, width, height, 16, error);
    }
    if (!file) return false;
    // CopyPixels counts a band's bytes in 32 bits.
    const uint64_t rowBytes = (rowBits + 7) / 8;
    if (rowBytes > 0xFFFFFFFFu) return Say(error, "rows too long to copy in " + from);
    const uint32_t bandRows = BandRows(rowBytes, height);
    std::vector<uint8_t> band(size_t(rowBytes * bandRows));
    for (uint32_t y = 0; y < height;) {
        const uint32_t count = std::min(bandRows, height - y);
        const WICRect rect = {0, INT(y), INT(width), INT(count)};
        hr = source->CopyPixels(&rect, UINT(rowBytes), UINT(rowBytes * count), band.data());
        if (Failed(hr, "copying the pixels", from, error)) return false;
        if (!file->WriteRows(band.data(), size_t(rowBytes), count, error)) return false;
        y += count;
    }
    return file->Finish(error);
}

}  // namespace qximg
