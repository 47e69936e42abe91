#include "packed_image.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "bmp_file.h"
#include "grey_level.h"
#include "pixel_kernels.h"
#include "tiff_format.h"

namespace qximg {
namespace {

struct FileCloser {
    void operator()(FILE *file) const { fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool Say(std::string *error, const std::string &text) {
    if (error) *error = text;
    return false;
}

File Create(const std::string &path, std::string *error) {
    File file(fopen(path.c_str(), "wb"));
    if (!file) Say(error, "cannot create " + path);
    return file;
}

bool Finish(File file, const std::string &path, std::string *error) {
    bool written = !ferror(file.get());
    written &= fclose(file.release()) == 0;
    return written || Say(error, "cannot write " + path);
}

uint32_t ChannelsOf(const PackedImage &image) { return image.kind == SampleKind::Rgb ? 3 : 1; }

// Whether the writers take the image: the depths each kind has, a palette
// that fits, 0 as white up to 8 bits, and rows long enough.
bool Writable(const PackedImage &image, const std::string &path, std::string *error) {
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
    if (!image.width || !image.height || !image.rows || image.stride < PackedRowBytes(image))
        return Say(error, "no pixels to write to " + path);
    return true;
}

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

void PngChunk(FILE *file, const char *type, const uint8_t *data, uint32_t size) {
    uint8_t head[8];
    Put32(head, size);
    memcpy(head + 4, type, 4);
    uLong crc = crc32(crc32(0, nullptr, 0), head + 4, 4);
    if (size) crc = crc32(crc, data, size);
    uint8_t tail[4];
    Put32(tail, static_cast<uint32_t>(crc));
    fwrite(head, 1, 8, file);
    if (size) fwrite(data, 1, size, file);
    fwrite(tail, 1, 4, file);
}

struct Deflater {
    z_stream z = {};
    bool ready = deflateInit(&z, 6) == Z_OK;
    ~Deflater() {
        if (ready) deflateEnd(&z);
    }
};

// PNG colour types.
constexpr uint8_t PngGrey = 0, PngRgb = 2, PngIndexed = 3;

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

bool WritePackedPng(const std::string &path, const PackedImage &image, std::string *error) {
    if (!Writable(image, path, error)) return false;
    File file = Create(path, error);
    if (!file) return false;
    static constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    fwrite(Signature, 1, sizeof Signature, file.get());
    // Grey with 0 as white goes out with its palette of levels.
    const bool indexed = image.kind == SampleKind::Indexed || image.whiteIsZero;
    // Width, height, bit depth, colour type, deflate, no filter method, not interlaced.
    uint8_t header[13] = {0, 0, 0, 0, 0, 0, 0, 0, uint8_t(image.bits),
                          indexed ? PngIndexed : image.kind == SampleKind::Rgb ? PngRgb : PngGrey, 0, 0, 0};
    Put32(header, image.width);
    Put32(header + 4, image.height);
    PngChunk(file.get(), "IHDR", header, sizeof header);
    if (indexed) {
        std::vector<PaletteEntry> palette = FilePalette(image);
        PngChunk(file.get(), "PLTE", &palette[0].r, static_cast<uint32_t>(palette.size() * 3));
    }
    Deflater deflater;
    if (!deflater.ready) return Say(error, "zlib cannot start for " + path);
    // Each row is filter byte 0 and the samples, most significant byte first.
    std::vector<uint8_t> line(PackedRowBytes(image) + 1, 0), packed(1 << 16);
    z_stream &z = deflater.z;
    for (uint32_t y = 0; y <= image.height; ++y) {
        const bool last = y == image.height;
        if (!last) FileRow(image, image.rows + image.stride * y, ByteOrder::BigEndian, line.data() + 1);
        z.next_in = last ? nullptr : line.data();
        z.avail_in = last ? 0 : static_cast<uInt>(line.size());
        int status;
        do {
            z.next_out = packed.data();
            z.avail_out = static_cast<uInt>(packed.size());
            status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            uint32_t produced = static_cast<uint32_t>(packed.size() - z.avail_out);
            if (produced) PngChunk(file.get(), "IDAT", packed.data(), produced);
        } while (z.avail_out == 0 || (last && status == Z_OK));
    }
    PngChunk(file.get(), "IEND", nullptr, 0);
    return Finish(std::move(file), path, error);
}

bool WritePackedTiff(const std::string &path, const PackedImage &image, std::string *error) {
    if (!Writable(image, path, error)) return false;
    // TIFF offsets are 32 bits.
    const uint64_t pixelBytes = uint64_t(PackedRowBytes(image)) * image.height;
    if (pixelBytes > 0xFFF00000u) return Say(error, "too large for a TIFF file: " + path);
    File file = Create(path, error);
    if (!file) return false;
    // Little-endian baseline TIFF: header, one strip of pixels, the values
    // that do not fit an entry (BitsPerSample of colour, the colour map), then
    // the directory, each at an even offset.
    using namespace tiff;
    const uint32_t samples = ChannelsOf(image), bytes = static_cast<uint32_t>(pixelBytes);
    const uint32_t extras = 8 + ((bytes + 1) & ~1u);
    std::vector<uint16_t> extraValues;
    if (samples == 3) extraValues.assign(3, uint16_t(image.bits));
    const uint32_t colourMapAt = extras + uint32_t(extraValues.size()) * 2;
    // Grey with 0 as white goes out with its palette of levels: not every
    // decoder reads WhiteIsZero below 8 bits.
    const bool mapped = image.kind == SampleKind::Indexed || image.whiteIsZero;
    if (mapped) {
        // All reds, then all greens, then all blues, 16 bits each.
        const std::vector<PaletteEntry> palette = FilePalette(image);
        const uint32_t entries = 1u << image.bits;
        extraValues.resize(extraValues.size() + 3 * entries, 0);
        uint16_t *map = extraValues.data() + extraValues.size() - 3 * entries;
        for (uint32_t i = 0; i < palette.size(); ++i) {
            map[i] = uint16_t(palette[i].r * 257);
            map[entries + i] = uint16_t(palette[i].g * 257);
            map[2 * entries + i] = uint16_t(palette[i].b * 257);
        }
    }
    const uint32_t directory = extras + uint32_t(extraValues.size()) * 2;
    const uint32_t photometric = mapped ? Palette : samples == 3 ? Rgb : BlackIsZero;
    std::vector<Entry> entries = {
        {ImageWidth, Long, 1, image.width},
        {ImageLength, Long, 1, image.height},
        {BitsPerSample, Short, samples, samples == 3 ? extras : image.bits},
        {Compression, Short, 1, Uncompressed},
        {PhotometricInterpretation, Short, 1, photometric},
        {StripOffsets, Long, 1, 8},
        {SamplesPerPixel, Short, 1, samples},
        {RowsPerStrip, Long, 1, image.height},
        {StripByteCounts, Long, 1, bytes},
        {PlanarConfiguration, Short, 1, Chunky},
    };
    if (mapped) entries.push_back({ColorMap, Short, 3u << image.bits, colourMapAt});
    const uint8_t head[8] = {LittleEndian[0],          LittleEndian[1],
                             uint8_t(Magic),           uint8_t(Magic >> 8),
                             uint8_t(directory),       uint8_t(directory >> 8),
                             uint8_t(directory >> 16), uint8_t(directory >> 24)};
    fwrite(head, 1, sizeof head, file.get());
    std::vector<uint8_t> line(PackedRowBytes(image) + 1, 0);
    for (uint32_t y = 0; y < image.height; ++y) {
        FileRow(image, image.rows + image.stride * y, ByteOrder::LittleEndian, line.data());
        fwrite(line.data(), 1, line.size() - 1, file.get());
    }
    if (bytes & 1) fputc(0, file.get());
    fwrite(extraValues.data(), 2, extraValues.size(), file.get());
    const uint16_t count = static_cast<uint16_t>(entries.size());
    fwrite(&count, 2, 1, file.get());
    fwrite(entries.data(), sizeof(Entry), count, file.get());
    const uint32_t next = 0;
    fwrite(&next, 4, 1, file.get());
    return Finish(std::move(file), path, error);
}

bool WritePackedImage(const std::string &path, ImageFormat format, const PackedImage &image,
                      std::string *error) {
    switch (format) {
    case ImageFormat::Png: return WritePackedPng(path, image, error);
    case ImageFormat::Tiff: return WritePackedTiff(path, image, error);
    case ImageFormat::Bmp: break;
    }
    return Writable(image, path, error) && WritePackedBmp(path, image, error);
}

}  // namespace qximg
