#include "wic_image.h"

#include <cstdio>
#include <cstring>

#include "file_writers.h"
#include "pixel_kernels.h"
#include "wic_com.h"

namespace qximg {
namespace {

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

// A PNG or TIFF file through WIC's frame encoder, which takes its pixels a
// band at a time. COM is held for the writer's life, on its thread.
class WicFile final : public ImageFileWriter {
public:
    WicFile(const std::string &path, PixelLayout layout, uint32_t width, uint32_t height)
        : rows_(path, height), layout_(layout), width_(width), encoded_(EncodedFormatFor(layout)) {}
    ~WicFile() override {
        // The file is closed with its stream; one not finished goes with it.
        frame_.Reset();
        encoder_.Reset();
        const bool created = stream_.p != nullptr;
        stream_.Reset();
        if (created && !finished_) DeleteFileW(Wide(rows_.Path()).c_str());
    }
    WicFile(const WicFile &) = delete;
    WicFile &operator=(const WicFile &) = delete;

    bool Begin(ImageFormat format, std::string *error) {
        const std::string &path = rows_.Path();
        if (!CreateFactory(factory_.Out(), path, error)) return false;
        ComRef<IPropertyBag2> options;
        HRESULT hr = factory_->CreateStream(stream_.Out());
        if (Failed(hr, "creating a stream", path, error)) return false;
        hr = stream_->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE);
        if (FAILED(hr)) stream_.Reset();  // no file was made
        if (Failed(hr, "creating the file", path, error)) return false;
        hr = factory_->CreateEncoder(ContainerFor(format), nullptr, encoder_.Out());
        if (Failed(hr, "creating the encoder", path, error)) return false;
        hr = encoder_->Initialize(stream_.p, WICBitmapEncoderNoCache);
        if (Failed(hr, "starting the encoder", path, error)) return false;
        hr = encoder_->CreateNewFrame(frame_.Out(), options.Out());
        if (Failed(hr, "creating the frame", path, error)) return false;
        hr = frame_->Initialize(options.p);
        if (Failed(hr, "starting the frame", path, error)) return false;
        hr = frame_->SetSize(width_, rows_.Height());
        if (Failed(hr, "setting the size", path, error)) return false;
        hr = frame_->SetPixelFormat(&encoded_);
        return !Failed(hr, "setting the pixel format", path, error);
    }

    bool WriteRows(const uint8_t *rows, size_t stride, uint32_t count, std::string *error) override {
        const size_t lineBytes = size_t(width_) * BytesPerPixel(layout_);
        if (!rows_.Take(rows, stride, lineBytes, count, error)) return false;
        if (!count) return true;
        const std::string &path = rows_.Path();
        if (encoded_ == SourceFormatFor(layout_)) {
            HRESULT hr = frame_->WritePixels(count, static_cast<UINT>(stride),
                                             static_cast<UINT>(stride * (count - 1) + lineBytes),
                                             const_cast<BYTE *>(rows));
            return !Failed(hr, "writing the pixels", path, error);
        }
        for (uint32_t y = 0; y < count; ++y) {
            if (!ConvertLine(layout_, encoded_, rows + stride * y, width_, &line_))
                return Say(error, "the encoder offers no pixel format we can write for " + path);
            HRESULT hr = frame_->WritePixels(1, static_cast<UINT>(line_.size()), static_cast<UINT>(line_.size()),
                                             line_.data());
            if (Failed(hr, "writing the pixels", path, error)) return false;
        }
        return true;
    }

    bool Finish(std::string *error) override {
        if (!rows_.Complete(error)) return false;
        HRESULT hr = frame_->Commit();
        if (Failed(hr, "finishing the frame", rows_.Path(), error)) return false;
        hr = encoder_->Commit();
        if (Failed(hr, "finishing the file", rows_.Path(), error)) return false;
        finished_ = true;
        return true;
    }

private:
    ComScope com_;  // first in, last out: the interfaces go before it
    ComRef<IWICImagingFactory> factory_;
    ComRef<IWICStream> stream_;
    ComRef<IWICBitmapEncoder> encoder_;
    ComRef<IWICBitmapFrameEncode> frame_;
    RowCount rows_;
    PixelLayout layout_;
    uint32_t width_;
    WICPixelFormatGUID encoded_;
    std::vector<uint8_t> line_;
    bool finished_ = false;
};

}  // namespace

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

std::unique_ptr<ImageFileWriter> OpenWicFile(const std::string &path, ImageFormat format, PixelLayout layout,
                                             uint32_t width, uint32_t height, std::string *error) {
    std::unique_ptr<WicFile> file(new WicFile(path, layout, width, height));
    if (!file->Begin(format, error)) return nullptr;
    return file;
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
