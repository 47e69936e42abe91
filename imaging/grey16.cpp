#include "grey16.h"

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

// One row at full range in the byte order asked: v << (16 - bits) repeats the
// sample's top bits into the bits below it, so 0 stays 0 and the maximum
// becomes 65535.
void FullRangeRow(const uint8_t *in, uint32_t width, uint32_t bits, bool bigEndian, uint8_t *out) {
    const uint32_t mask = (1u << bits) - 1, up = 16 - bits, down = 2 * bits - 16;
    const int high = bigEndian ? 0 : 1;
    for (uint32_t x = 0; x < width; ++x, in += 2, out += 2) {
        uint32_t v = (in[0] | in[1] << 8) & mask;
        v = (v << up | v >> down) & 0xFFFF;
        out[high] = uint8_t(v >> 8);
        out[1 - high] = uint8_t(v);
    }
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
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t *in = rows + stride * y;
        for (uint32_t x = 0; x < width; ++x, in += 2) all |= in[0] | in[1] << 8;
    }
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
        if (!last) FullRangeRow(rows + stride * y, width, bits, true, line.data() + 1);
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
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    constexpr uint16_t Short = 3, Long = 4;
    const Entry entries[] = {
        {256, Long, 1, width},  {257, Long, 1, height}, {258, Short, 1, 16},
        {259, Short, 1, 1},     {262, Short, 1, 1},     {273, Long, 1, 8},
        {277, Short, 1, 1},     {278, Long, 1, height}, {279, Long, 1, bytes},
    };
    const uint8_t head[8] = {'I', 'I', 42, 0, uint8_t(directory), uint8_t(directory >> 8),
                             uint8_t(directory >> 16), uint8_t(directory >> 24)};
    fwrite(head, 1, sizeof head, file.get());
    std::vector<uint8_t> line(size_t(width) * 2);
    for (uint32_t y = 0; y < height; ++y) {
        FullRangeRow(rows + stride * y, width, bits, false, line.data());
        fwrite(line.data(), 1, line.size(), file.get());
    }
    const uint16_t count = sizeof entries / sizeof entries[0];
    fwrite(&count, 2, 1, file.get());
    for (const Entry &entry : entries) {
        // A SHORT value sits in the first two bytes of the value field.
        fwrite(&entry, 8, 1, file.get());
        fwrite(&entry.value, 4, 1, file.get());
    }
    const uint32_t next = 0;
    fwrite(&next, 4, 1, file.get());
    return Finish(std::move(file), path, error);
}

}  // namespace qximg
