#include "wic_image.h"

#include <windows.h>
#include <wincodec.h>

#include <cstdio>
#include <cstring>

#include "bmp_file.h"
#include "packed_image.h"
#include "pixel_kernels.h"

namespace qximg {
namespace {

// Releases a COM interface when it goes out of scope.
template <class T> struct ComRef {
    T *p = nullptr;
    ComRef() = default;
    ComRef(const ComRef &) = delete;
    ComRef &operator=(const ComRef &) = delete;
    ~ComRef() {
        if (p) p->Release();
    }
    T **Out() { return &p; }
    T *operator->() const { return p; }
};

// COM for the calling thread, for as long as one image operation lasts. A
// thread that already has COM in another apartment model can still use WIC.
struct ComScope {
    HRESULT hr;
    ComScope() : hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
};

std::wstring Wide(const std::string &text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

bool Failed(HRESULT hr, const char *step, const std::string &path, std::string *error) {
    if (SUCCEEDED(hr)) return false;
    if (error) {
        char text[160];
        snprintf(text, sizeof text, "%s failed (HRESULT 0x%08lX) for ", step,
                 static_cast<unsigned long>(hr));
        *error = text + path;
    }
    return true;
}

bool CreateFactory(IWICImagingFactory **factory, const std::string &path, std::string *error) {
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void **>(factory));
    return !Failed(hr, "creating the imaging factory", path, error);
}

const GUID &ContainerFor(ImageFormat format) {
    switch (format) {
    case ImageFormat::Bmp: return GUID_ContainerFormatBmp;
    case ImageFormat::Tiff: return GUID_ContainerFormatTiff;
    case ImageFormat::Png: break;
    }
    return GUID_ContainerFormatPng;
}

// Bgrx32 goes out as 24-bit colour: the fourth byte carries nothing, and not
// every encoder takes 32-bit BGR.
WICPixelFormatGUID EncodedFormatFor(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::Gray8: return GUID_WICPixelFormat8bppGray;
    case PixelLayout::Gray16: return GUID_WICPixelFormat16bppGray;
    case PixelLayout::Bgr24:
    case PixelLayout::Bgrx32: break;
    }
    return GUID_WICPixelFormat24bppBGR;
}

uint32_t BytesPerPixel(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::Gray8: return 1;
    case PixelLayout::Gray16: return 2;
    case PixelLayout::Bgr24: return 3;
    case PixelLayout::Bgrx32: break;
    }
    return 4;
}

WICPixelFormatGUID SourceFormatFor(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::Gray8: return GUID_WICPixelFormat8bppGray;
    case PixelLayout::Gray16: return GUID_WICPixelFormat16bppGray;
    case PixelLayout::Bgr24: return GUID_WICPixelFormat24bppBGR;
    case PixelLayout::Bgrx32: break;
    }
    return GUID_WICPixelFormat32bppBGR;
}

// Grey levels as B, G, R and an opaque fourth byte.
struct GreyColours {
    uint8_t entries[256][4];
    constexpr GreyColours() : entries() {
        for (unsigned v = 0; v < 256; ++v) {
            for (unsigned k = 0; k < 3; ++k) entries[v][k] = uint8_t(v);
            entries[v][3] = 255;
        }
    }
};
constexpr GreyColours GreyAsColour;

// One line from our layout into a format an encoder offered instead of it
// (not every encoder, nor every converter, takes every layout). Grey becomes
// equal B, G and R; colour becomes grey by the luminance rule.
bool ConvertLine(PixelLayout layout, const WICPixelFormatGUID &to, const uint8_t *in,
                 uint32_t width, std::vector<uint8_t> *line) {
    uint32_t inBytes = BytesPerPixel(layout);
    uint32_t outBytes;
    if (to == GUID_WICPixelFormat8bppGray) outBytes = 1;
    else if (to == GUID_WICPixelFormat24bppBGR) outBytes = 3;
    else if (to == GUID_WICPixelFormat32bppBGR || to == GUID_WICPixelFormat32bppBGRA) outBytes = 4;
    else return false;
    line->resize(size_t(width) * outBytes);
    uint8_t *out = line->data();
    if (inBytes == 1) LookUpPixels(out, in, width, GreyAsColour.entries, outBytes);
    else if (outBytes == 1) LuminanceOfPixels(out, in, width, inBytes);
    else if (outBytes == 4) OpaquePixels(out, in, width, inBytes);
    else if (inBytes == 4) DropFourthByte(out, in, width);
    else memcpy(out, in, size_t(width) * 3);
    return true;
}

bool WritePixels(IWICBitmapFrameEncode *frame, PixelLayout layout,
                 const WICPixelFormatGUID &encoded, uint32_t width, uint32_t height,
                 const uint8_t *rows, size_t stride, const std::string &path,
                 std::string *error) {
    if (encoded == SourceFormatFor(layout)) {
        HRESULT hr = frame->WritePixels(height, static_cast<UINT>(stride),
                                        static_cast<UINT>(stride * height),
                                        const_cast<BYTE *>(rows));
        return !Failed(hr, "writing the pixels", path, error);
    }
    std::vector<uint8_t> line;
    for (uint32_t y = 0; y < height; ++y) {
        if (!ConvertLine(layout, encoded, rows + stride * y, width, &line)) {
            if (error) *error = "the encoder offers no pixel format we can write for " + path;
            return false;
        }
        HRESULT hr = frame->WritePixels(1, static_cast<UINT>(line.size()),
                                        static_cast<UINT>(line.size()), line.data());
        if (Failed(hr, "writing the pixels", path, error)) return false;
    }
    return true;
}

}  // namespace

bool ImageFormatFromName(const std::string &name, ImageFormat *format) {
    std::string lower;
    for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "png") *format = ImageFormat::Png;
    else if (lower == "bmp") *format = ImageFormat::Bmp;
    else if (lower == "tif" || lower == "tiff") *format = ImageFormat::Tiff;
    else return false;
    return true;
}

const char *ImageFormatExtension(ImageFormat format) {
    switch (format) {
    case ImageFormat::Bmp: return "bmp";
    case ImageFormat::Tiff: return "tif";
    case ImageFormat::Png: break;
    }
    return "png";
}

bool KeepsGrey16(ImageFormat format) { return format != ImageFormat::Bmp; }

bool WriteImage(const std::string &path, ImageFormat format, PixelLayout layout, uint32_t width,
                uint32_t height, const uint8_t *rows, size_t stride, std::string *error,
                uint32_t significantBits) {
    if (width == 0 || height == 0 || !rows || stride < size_t(width) * BytesPerPixel(layout)) {
        if (error) *error = "no pixels to write to " + path;
        return false;
    }
    if (significantBits < 8 || significantBits > 16) {
        if (error)
            *error = "16-bit grey carries 8 to 16 significant bits, not " +
                     std::to_string(significantBits) + ", for " + path;
        return false;
    }
    // BMP, whatever the layout, goes through our own row writer.
    if (format == ImageFormat::Bmp)
        return WriteRowsBmp(path, layout, width, height, rows, stride, significantBits, error);
    if (layout == PixelLayout::Gray16) {
        PackedImage grey;
        grey.bits = 16;
        grey.width = width, grey.height = height, grey.rows = rows, grey.stride = stride;
        grey.significantBits = significantBits;
        return WritePackedImage(path, format, grey, error);
    }
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    if (!CreateFactory(factory.Out(), path, error)) return false;
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    HRESULT hr = factory->CreateStream(stream.Out());
    if (Failed(hr, "creating a stream", path, error)) return false;
    hr = stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE);
    if (Failed(hr, "creating the file", path, error)) return false;
    hr = factory->CreateEncoder(ContainerFor(format), nullptr, encoder.Out());
    if (Failed(hr, "creating the encoder", path, error)) return false;
    hr = encoder->Initialize(stream.p, WICBitmapEncoderNoCache);
    if (Failed(hr, "starting the encoder", path, error)) return false;
    hr = encoder->CreateNewFrame(frame.Out(), options.Out());
    if (Failed(hr, "creating the frame", path, error)) return false;
    hr = frame->Initialize(options.p);
    if (Failed(hr, "starting the frame", path, error)) return false;
    hr = frame->SetSize(width, height);
    if (Failed(hr, "setting the size", path, error)) return false;
    WICPixelFormatGUID encoded = EncodedFormatFor(layout);
    hr = frame->SetPixelFormat(&encoded);
    if (Failed(hr, "setting the pixel format", path, error)) return false;
    if (!WritePixels(frame.p, layout, encoded, width, height, rows, stride, path, error))
        return false;
    hr = frame->Commit();
    if (Failed(hr, "finishing the frame", path, error)) return false;
    hr = encoder->Commit();
    return !Failed(hr, "finishing the file", path, error);
}

bool ReadImage(const std::string &path, DecodedImage *image, std::string *error) {
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    if (!CreateFactory(factory.Out(), path, error)) return false;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> converter;
    HRESULT hr = factory->CreateDecoderFromFilename(Wide(path).c_str(), nullptr, GENERIC_READ,
                                                    WICDecodeMetadataCacheOnDemand, decoder.Out());
    if (Failed(hr, "decoding", path, error)) return false;
    hr = decoder->GetFrame(0, frame.Out());
    if (Failed(hr, "reading the first frame", path, error)) return false;
    UINT width = 0, height = 0;
    hr = frame->GetSize(&width, &height);
    if (Failed(hr, "reading the size", path, error)) return false;
    hr = factory->CreateFormatConverter(converter.Out());
    if (Failed(hr, "creating a converter", path, error)) return false;
    hr = converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                               nullptr, 0.0, WICBitmapPaletteTypeCustom);
    if (Failed(hr, "converting to 32-bit colour", path, error)) return false;
    image->width = width;
    image->height = height;
    image->bgra.assign(size_t(width) * height * 4, 0);
    hr = converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(image->bgra.size()),
                               image->bgra.data());
    return !Failed(hr, "copying the pixels", path, error);
}

}  // namespace qximg
