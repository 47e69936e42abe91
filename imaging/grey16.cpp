#include "grey16.h"

#include "pixel_kernels.h"
#include "tiff_format.h"
#include "wic_image.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace qximg {
namespace {

struct FileCloser {
    void operator()(FILE *file) const { fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File Create(const std::string &path, std::string *error) {
    File file(fopen(path.c_str(), "wb"));
    if (!file && error) *error = "cannot create " + path;
    return file;
}

bool Finish(File file, const std::string &path, std::string *error) {
    bool written = !ferror(file.get());
    written &= fclose(file.release()) == 0;
    if (!written && error) *error = "cannot write " + path;
    return written;
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

}  // namespace

uint32_t Grey16SignificantBits(const uint8_t *rows, uint32_t width, uint32_t height, size_t stride) {
    uint32_t all = 0;
    for (uint32_t y = 0; y < height; ++y) all |= OrOfSamples(rows + stride * y, width);
    uint32_t bits = 8;
    while (bits < 16 && (all >> bits)) ++bits;
    return bits;
}

bool WriteGrey16Png(const std::string &path, uint32_t width, uint32_t height, const uint8_t *rows,
                    size_t stride, uint32_t bits, std::string *error) {
    File file = Create(path, error);
    if (!file) return false;
    static constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    fwrite(Signature, 1, sizeof Signature, file.get());
    // Width, height, 16 bits, grey, deflate, no filter method, not interlaced.
    uint8_t header[13] = {0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0};
    Put32(header, width);
    Put32(header + 4, height);
    PngChunk(file.get(), "IHDR", header, sizeof header);
    Deflater deflater;
    if (!deflater.ready) {
        if (error) *error = "zlib cannot start for " + path;
        return false;
    }
    // Each row is filter byte 0 and the samples most significant byte first.
    std::vector<uint8_t> line(size_t(width) * 2 + 1, 0), packed(1 << 16);
    z_stream &z = deflater.z;
    for (uint32_t y = 0; y <= height; ++y) {
        const bool last = y == height;
        if (!last)
            ScaleSamplesToFullRange(line.data() + 1, rows + stride * y, width, bits,
                                    ByteOrder::BigEndian);
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

bool WriteGrey16Tiff(const std::string &path, uint32_t width, uint32_t height, const uint8_t *rows,
                     size_t stride, uint32_t bits, std::string *error) {
    // TIFF offsets are 32 bits.
    if (uint64_t(width) * 2 * height > 0xFFFFFF00u) {
        if (error) *error = "too large for a TIFF file: " + path;
        return false;
    }
    File file = Create(path, error);
    if (!file) return false;
    // Little-endian baseline TIFF: header, one strip of pixels, then the directory.
    const uint32_t bytes = width * 2 * height, directory = 8 + bytes;
    using namespace tiff;
    const Entry entries[] = {
        {ImageWidth, Long, 1, width},
        {ImageLength, Long, 1, height},
        {BitsPerSample, Short, 1, 16},
        {Compression, Short, 1, Uncompressed},
        {PhotometricInterpretation, Short, 1, BlackIsZero},
        {StripOffsets, Long, 1, 8},
        {SamplesPerPixel, Short, 1, 1},
        {RowsPerStrip, Long, 1, height},
        {StripByteCounts, Long, 1, bytes},
    };
    const uint8_t head[8] = {LittleEndian[0],        LittleEndian[1],
                             uint8_t(Magic),         uint8_t(Magic >> 8),
                             uint8_t(directory),     uint8_t(directory >> 8),
                             uint8_t(directory >> 16), uint8_t(directory >> 24)};
    fwrite(head, 1, sizeof head, file.get());
    std::vector<uint8_t> line(size_t(width) * 2);
    for (uint32_t y = 0; y < height; ++y) {
        ScaleSamplesToFullRange(line.data(), rows + stride * y, width, bits,
                                ByteOrder::LittleEndian);
        fwrite(line.data(), 1, line.size(), file.get());
    }
    const uint16_t count = sizeof entries / sizeof entries[0];
    fwrite(&count, 2, 1, file.get());
    fwrite(entries, sizeof entries[0], count, file.get());
    const uint32_t next = 0;
    fwrite(&next, 4, 1, file.get());
    return Finish(std::move(file), path, error);
}

}  // namespace qximg
