#include "packed_image.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "file_writers.h"
#include "grey_level.h"
#include "pixel_kernels.h"
#include "tiff_format.h"

namespace qximg {
namespace {

uint32_t ChannelsOf(const PackedImage &image) { return image.kind == SampleKind::Rgb ? 3 : 1; }

// One file row from one line of the image: 16-bit samples scaled to the full
// range in the file's byte order, packed samples as they are.
void FileRow(const PackedImage &image, const uint8_t *in, ByteOrder order, uint8_t *out) {
    if (image.bits == 16)
        ScaleSamplesToFullRange(out, in, size_t(image.width) * ChannelsOf(image), image.significantBits, order);
    else
        memcpy(out, in, PackedRowBytes(image));
}

void Put32(uint8_t *at, uint32_t v) {
    at[0] = uint8_t(v >> 24), at[1] = uint8_t(v >> 16), at[2] = uint8_t(v >> 8), at[3] = uint8_t(v);
}

// A file of ours written through stdio, one file row at a time, each made
// from a line of the caller's in the format's byte order. Removed again
// unless it is finished whole.
class PackedFile : public ImageFileWriter {
public:
    PackedFile(const std::string &path, const PackedImage &image, ByteOrder order, size_t lead)
        : rows_(path, image.height), image_(image), order_(order), lead_(lead),
          line_(lead + PackedRowBytes(image), 0), file_(fopen(path.c_str(), "wb")) {
        image_.rows = nullptr;
    }
    ~PackedFile() override {
        if (!file_) return;
        fclose(file_);
        remove(rows_.Path().c_str());
    }
    PackedFile(const PackedFile &) = delete;
    PackedFile &operator=(const PackedFile &) = delete;

    bool Created(std::string *error) const { return file_ || Say(error, "cannot create " + rows_.Path()); }

    bool WriteRows(const uint8_t *rows, size_t stride, uint32_t count, std::string *error) final {
        if (!rows_.Take(rows, stride, PackedRowBytes(image_), count, error)) return false;
        for (uint32_t y = 0; y < count; ++y) {
            FileRow(image_, rows + stride * y, order_, line_.data() + lead_);
            PutLine();
        }
        return Written(error);
    }

    bool Finish(std::string *error) final {
        if (!rows_.Complete(error)) return false;
        PutEnd();
        bool written = !ferror(file_);
        written &= fclose(file_) == 0;
        file_ = nullptr;
        if (written) return true;
        remove(rows_.Path().c_str());
        return Say(error, "cannot write " + rows_.Path());
    }

protected:
    // line_ holds the next file row behind `lead` bytes of the format's own.
    virtual void PutLine() = 0;
    // Everything after the last row.
    virtual void PutEnd() = 0;
    bool Written(std::string *error) const { return !ferror(file_) || Say(error, "cannot write " + rows_.Path()); }

    RowCount rows_;
    PackedImage image_;
    ByteOrder order_;
    size_t lead_;
    std::vector<uint8_t> line_;
    FILE *file_;
};

// PNG colour types.
constexpr uint8_t PngGrey = 0, PngRgb = 2, PngIndexed = 3;

class PackedPng final : public PackedFile {
public:
    // Each row is filter byte 0 and the samples, most significant byte first.
    PackedPng(const std::string &path, const PackedImage &image) : PackedFile(path, image, ByteOrder::BigEndian, 1) {}
    ~PackedPng() override {
        if (ready_) deflateEnd(&z_);
    }

    bool Begin(std::string *error) {
        if (!Created(error)) return false;
        static constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        fwrite(Signature, 1, sizeof Signature, file_);
        // Grey with 0 as white goes out with its palette of levels.
        const bool indexed = image_.kind == SampleKind::Indexed || image_.whiteIsZero;
        // Width, height, bit depth, colour type, deflate, no filter method, not interlaced.
        uint8_t header[13] = {0, 0, 0, 0, 0, 0, 0, 0, uint8_t(image_.bits),
                              indexed ? PngIndexed : image_.kind == SampleKind::Rgb ? PngRgb : PngGrey, 0, 0, 0};
        Put32(header, image_.width);
        Put32(header + 4, image_.height);
        Chunk("IHDR", header, sizeof header);
        if (indexed) {
            std::vector<PaletteEntry> palette = FilePalette(image_);
            Chunk("PLTE", &palette[0].r, static_cast<uint32_t>(palette.size() * 3));
        }
        ready_ = deflateInit(&z_, 6) == Z_OK;
        return ready_ || Say(error, "zlib cannot start for " + rows_.Path());
    }

private:
    void PutLine() override { Deflate(false); }
    void PutEnd() override {
        Deflate(true);
        Chunk("IEND", nullptr, 0);
    }

    // The next row into the stream, or its end; each output block an IDAT chunk.
    void Deflate(bool last) {
        z_.next_in = last ? nullptr : line_.data();
        z_.avail_in = last ? 0 : static_cast<uInt>(line_.size());
        int status;
        do {
            z_.next_out = packed_.data();
            z_.avail_out = static_cast<uInt>(packed_.size());
            status = deflate(&z_, last ? Z_FINISH : Z_NO_FLUSH);
            uint32_t produced = static_cast<uint32_t>(packed_.size() - z_.avail_out);
            if (produced) Chunk("IDAT", packed_.data(), produced);
        } while (z_.avail_out == 0 || (last && status == Z_OK));
    }

    void Chunk(const char *type, const uint8_t *data, uint32_t size) {
        uint8_t head[8];
        Put32(head, size);
        memcpy(head + 4, type, 4);
        uLong crc = crc32(crc32(0, nullptr, 0), head + 4, 4);
        if (size) crc = crc32(crc, data, size);
        uint8_t tail[4];
        Put32(tail, static_cast<uint32_t>(crc));
        fwrite(head, 1, 8, file_);
        if (size) fwrite(data, 1, size, file_);
        fwrite(tail, 1, 4, file_);
    }

    z_stream z_ = {};
    bool ready_ = false;
    std::vector<uint8_t> packed_ = std::vector<uint8_t>(1 << 16);
};

// Little-endian baseline TIFF: header, one strip of pixels, the values that
// do not fit an entry (BitsPerSample of colour, the colour map), then the
// directory, each at an even offset. Every offset is known from the image
// before the first row.
class PackedTiff final : public PackedFile {
public:
    PackedTiff(const std::string &path, const PackedImage &image) : PackedFile(path, image, ByteOrder::LittleEndian, 0) {}

    bool Begin(std::string *error) {
        // TIFF offsets are 32 bits.
        const uint64_t pixelBytes = uint64_t(PackedRowBytes(image_)) * image_.height;
        if (pixelBytes > 0xFFF00000u) return Say(error, "too large for a TIFF file: " + rows_.Path());
        if (!Created(error)) return false;
        using namespace tiff;
        const uint32_t samples = ChannelsOf(image_);
        bytes_ = static_cast<uint32_t>(pixelBytes);
        const uint32_t extras = 8 + ((bytes_ + 1) & ~1u);
        if (samples == 3) extraValues_.assign(3, uint16_t(image_.bits));
        const uint32_t colourMapAt = extras + uint32_t(extraValues_.size()) * 2;
        // Grey with 0 as white goes out with its palette of levels: not every
        // decoder reads WhiteIsZero below 8 bits.
        const bool mapped = image_.kind == SampleKind::Indexed || image_.whiteIsZero;
        if (mapped) {
            // All reds, then all greens, then all blues, 16 bits each.
            const std::vector<PaletteEntry> palette = FilePalette(image_);
            const uint32_t entries = 1u << image_.bits;
            extraValues_.resize(extraValues_.size() + 3 * entries, 0);
            uint16_t *map = extraValues_.data() + extraValues_.size() - 3 * entries;
            for (uint32_t i = 0; i < palette.size(); ++i) {
                map[i] = uint16_t(palette[i].r * 257);
                map[entries + i] = uint16_t(palette[i].g * 257);
                map[2 * entries + i] = uint16_t(palette[i].b * 257);
            }
        }
        const uint32_t directory = extras + uint32_t(extraValues_.size()) * 2;
        const uint32_t photometric = mapped ? Palette : samples == 3 ? Rgb : BlackIsZero;
        entries_ = {
            {ImageWidth, Long, 1, image_.width},
            {ImageLength, Long, 1, image_.height},
            {BitsPerSample, Short, samples, samples == 3 ? extras : image_.bits},
            {Compression, Short, 1, Uncompressed},
            {PhotometricInterpretation, Short, 1, photometric},
            {StripOffsets, Long, 1, 8},
            {SamplesPerPixel, Short, 1, samples},
            {RowsPerStrip, Long, 1, image_.height},
            {StripByteCounts, Long, 1, bytes_},
            {PlanarConfiguration, Short, 1, Chunky},
        };
        if (mapped) entries_.push_back({ColorMap, Short, 3u << image_.bits, colourMapAt});
        const uint8_t head[8] = {LittleEndian[0],          LittleEndian[1],
                                 uint8_t(Magic),           uint8_t(Magic >> 8),
                                 uint8_t(directory),       uint8_t(directory >> 8),
                                 uint8_t(directory >> 16), uint8_t(directory >> 24)};
        fwrite(head, 1, sizeof head, file_);
        return Written(error);
    }

private:
    void PutLine() override { fwrite(line_.data(), 1, line_.size(), file_); }
    void PutEnd() override {
        if (bytes_ & 1) fputc(0, file_);
        fwrite(extraValues_.data(), 2, extraValues_.size(), file_);
        const uint16_t count = static_cast<uint16_t>(entries_.size());
        fwrite(&count, 2, 1, file_);
        fwrite(entries_.data(), sizeof(tiff::Entry), count, file_);
        const uint32_t next = 0;
        fwrite(&next, 4, 1, file_);
    }

    uint32_t bytes_ = 0;
    std::vector<uint16_t> extraValues_;
    std::vector<tiff::Entry> entries_;
};

template <class Writer>
std::unique_ptr<ImageFileWriter> Begun(std::unique_ptr<Writer> file, std::string *error) {
    if (!file->Begin(error)) return nullptr;
    return file;
}

}  // namespace

size_t PackedRowBytes(const PackedImage &image) {
    return size_t((uint64_t(image.width) * image.bits * ChannelsOf(image) + 7) / 8);
}

std::vector<PaletteEntry> FilePalette(const PackedImage &image) {
    if (image.kind == SampleKind::Indexed) return image.palette;
    std::vector<PaletteEntry> levels;
    if (image.kind != SampleKind::Grey || image.bits > 8) return levels;
    const uint32_t top = (1u << image.bits) - 1;
    for (uint32_t i = 0; i <= top; ++i) {
        const uint8_t level = GreyLevel(i, image.bits, image.whiteIsZero);
        levels.push_back({level, level, level});
    }
    return levels;
}

// The depths each kind has, a palette that fits, 0 as white up to 8 bits.
bool PackedWritable(const PackedImage &image, const std::string &path, std::string *error) {
    const uint32_t bits = image.bits;
    bool depth = image.kind == SampleKind::Rgb ? bits == 16
                 : image.kind == SampleKind::Indexed ? bits == 1 || bits == 4 || bits == 8
                                                     : bits == 1 || bits == 4 || bits == 8 || bits == 16;
    if (!depth || (image.whiteIsZero && bits > 8) || (image.kind == SampleKind::Indexed &&
                                                       image.palette.size() > (size_t(1) << bits)))
        return Say(error, "no file layout for " + std::to_string(bits) + "-bit samples of this kind: " + path);
    if (image.significantBits < 8 || image.significantBits > 16)
        return Say(error, "16-bit samples carry 8 to 16 significant bits, not " +
                              std::to_string(image.significantBits) + ", for " + path);
    return (image.width && image.height) || Say(error, "no pixels to write to " + path);
}

std::unique_ptr<ImageFileWriter> OpenPackedPng(const std::string &path, const PackedImage &image, std::string *error) {
    return Begun(std::unique_ptr<PackedPng>(new PackedPng(path, image)), error);
}

std::unique_ptr<ImageFileWriter> OpenPackedTiff(const std::string &path, const PackedImage &image, std::string *error) {
    return Begun(std::unique_ptr<PackedTiff>(new PackedTiff(path, image)), error);
}

}  // namespace qximg
