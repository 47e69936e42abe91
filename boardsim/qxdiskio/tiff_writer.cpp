// Uncompressed baseline TIFF, little-endian, one strip: 8-bit grey, deep grey
// as 16-bit samples, or RGB 8-8-8 in the byte order delivered (32-bit pixels
// lose their fourth byte).
#include "image_file.h"

namespace {

enum : uint16_t { Short = 3, Long = 4, Rational = 5 };

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;  // the value itself, or the offset of the values
};

void PutEntry(std::vector<uint8_t> &out, const Entry &e) {
    Put16(out, e.tag);
    Put16(out, e.type);
    Put32(out, e.count);
    if (e.type == Short && e.count == 1) {
        Put16(out, e.value);
        Put16(out, 0);
    } else {
        Put32(out, e.value);
    }
}

}  // namespace

FileLayout TiffLayout(const PackedImage &image) {
    const bool colour = image.depth >= 24;
    const uint32_t samples = colour ? 3 : 1;
    const uint32_t bits = colour || image.depth == 8 ? 8 : 16;
    const uint32_t outBytes = samples * bits / 8;
    const uint32_t dataBytes = image.width * image.height * outBytes;

    constexpr uint32_t EntryCount = 13;
    constexpr uint32_t IfdOffset = 8;
    constexpr uint32_t BitsOffset = IfdOffset + 2 + EntryCount * 12 + 4;
    constexpr uint32_t XResOffset = BitsOffset + 6;
    constexpr uint32_t YResOffset = XResOffset + 8;
    constexpr uint32_t DataOffset = YResOffset + 8;

    const Entry entries[EntryCount] = {
        {256, Long, 1, image.width},
        {257, Long, 1, image.height},
        {258, Short, samples, colour ? BitsOffset : bits},
        {259, Short, 1, 1},               // no compression
        {262, Short, 1, colour ? 2u : 1u},  // RGB or BlackIsZero
        {273, Long, 1, DataOffset},
        {277, Short, 1, samples},
        {278, Long, 1, image.height},
        {279, Long, 1, dataBytes},
        {282, Rational, 1, XResOffset},
        {283, Rational, 1, YResOffset},
        {284, Short, 1, 1},  // chunky
        {296, Short, 1, 2},  // inch
    };

    FileLayout layout{{}, size_t(image.width) * outBytes, size_t(image.width) * outBytes, false,
                      image.depth == 32 ? RowForm::DropFourth : RowForm::AsDelivered};
    std::vector<uint8_t> &out = layout.header;
    out.reserve(DataOffset);
    out.push_back('I'), out.push_back('I');
    Put16(out, 42);
    Put32(out, IfdOffset);
    Put16(out, EntryCount);
    for (const Entry &e : entries) PutEntry(out, e);
    Put32(out, 0);  // no further image
    for (int i = 0; i < 3; ++i) Put16(out, 8);
    for (int i = 0; i < 2; ++i) Put32(out, 72), Put32(out, 1);
    return layout;
}
