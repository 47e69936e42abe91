// qxacquire's reader of capability containers. The first two bytes are the
// ConType the source answered with; the rest is the container's block, copied
// into memory of exactly its size. What is accepted must describe items that
// lie within the block.
#include <cassert>
#include <cstring>
#include <vector>

#include "readers/container_reader.h"

namespace {

// What every accepted byte is read into, so that no read is left out.
volatile unsigned g_sink;

uint64_t Described(const ContainerReply &reply) {
    const uint64_t item = ItemSize(reply.itemType);
    switch (reply.conType) {
        case TWON_ONEVALUE: return offsetof(TW_ONEVALUE, Item) + item;
        case TWON_ENUMERATION: return offsetof(TW_ENUMERATION, ItemList) + reply.items.size() * item;
        case TWON_ARRAY: return offsetof(TW_ARRAY, ItemList) + reply.items.size() * item;
        default: return sizeof(TW_RANGE);
    }
}

unsigned Walk(const ItemValue &value, TW_UINT16 itemType) {
    // A frame's text is its four numbers; any other text is at most the item's bytes.
    assert(value.itemType == itemType && (itemType == TWTY_FRAME || value.text.size() <= ItemSize(itemType)));
    unsigned sum = value.raw;
    for (char c : value.text) sum += uint8_t(c);
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TW_UINT16 conType = 0;
    if (size < sizeof conType) return 0;
    memcpy(&conType, data, sizeof conType);
    std::vector<uint8_t> block(data + sizeof conType, data + size);
    ContainerReply reply;
    std::string why;
    if (!ReadContainer(conType, block.data(), block.size(), &reply, &why)) return assert(!why.empty()), 0;
    assert(reply.conType == conType && Described(reply) <= block.size());
    assert(reply.isRange == (conType == TWON_RANGE) && (reply.items.empty() || !reply.isRange));
    unsigned sum = 0;
    for (const ItemValue &item : reply.items) sum += Walk(item, reply.itemType);
    for (const ItemValue *value : {&reply.current, &reply.defaultValue, &reply.minimum, &reply.maximum, &reply.step})
        if (value->itemType == reply.itemType) sum += Walk(*value, reply.itemType);
    g_sink = sum;
    return 0;
}
