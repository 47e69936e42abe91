// Uncompressed baseline TIFF, little-endian, one strip: 8-bit grey, deep grey
// as 16-bit samples, or RGB 8-8-8 in the byte order delivered (32-bit pixels
// lose their fourth byte).
#include "image_file.h"
#include "tiff_format.h"

#include <iterator>

namespace {

using namespace tiff;

void PutEntry(std::vector<uint8_t> &out, const Entry &e) {
    Put16(out, e.tag);
    Put16(out, e.type);
    Put32(out, e.count);
    Put32(out, e.value);
}

}  // namespace

FileLayout TiffLayout(const PackedImage &image) {
    const bool colour = image.depth >= 24;
    const uint32_t samples = colour ? 3 : 1;
    const uint32_t bits = colour || image.depth == 8 ? 8 : 16;
    const uint32_t outBytes = samples * bits / 8;
    const uint64_t dataBytes = uint64_t(image.width) * image.height * outBytes;

    constexpr uint32_t EntryCount = 13;
    constexpr uint32_t IfdOffset = 8;
    constexpr uint32_t BitsOffset = IfdOffset + 2 + EntryCount * 12 + 4;
    constexpr uint32_t XResOffset = BitsOffset + 6;
    constexpr uint32_t YResOffset = XResOffset + 8;
    constexpr uint32_t DataOffset = YResOffset + 8;

    const Entry entries[EntryCount] = {
        {ImageWidth, Long, 1, image.width},
        {ImageLength, Long, 1, image.height},
        {BitsPerSample, Short, samples, colour ? BitsOffset : bits},
        {Compression, Short, 1, Uncompressed},
        {PhotometricInterpretation, Short, 1, colour ? Rgb : BlackIsZero},
        {StripOffsets, Long, 1, DataOffset},
        {SamplesPerPixel, Short, 1, samples},
        {RowsPerStrip, Long, 1, image.height},
        {StripByteCounts, Long, 1, static_cast<uint32_t>(dataBytes)},
        {XResolution, Rational, 1, XResOffset},
        {YResolution, Rational, 1, YResOffset},
        {PlanarConfiguration, Short, 1, Chunky},
        {ResolutionUnit, Short, 1, Inch},
    };

    FileLayout layout{{},
                      size_t(image.width) * outBytes,
                      size_t(image.width) * outBytes,
                      false,
                      image.depth == 32 ? RowForm::DropFourth : RowForm::AsDelivered,
                      DataOffset + dataBytes};
    std::vector<uint8_t> &out = layout.header;
    out.reserve(DataOffset);
    out.insert(out.end(), std::begin(LittleEndian), std::end(LittleEndian));
    Put16(out, Magic);
    Put32(out, IfdOffset);
    Put16(out, EntryCount);
    for (const Entry &e : entries) PutEntry(out, e);
    Put32(out, 0);  // no further image
    for (int i = 0; i < 3; ++i) Put16(out, 8);
    for (int i = 0; i < 2; ++i) {
        Put32(out, 72);
        Put32(out, 1);
    }
    return layout;
}
