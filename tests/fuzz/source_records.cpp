// The source's readers of what an application hands over. The first byte
// picks the reader; the rest is the record or container, copied into a block
// of exactly its size. What a reader takes must be what those bytes say.
#include <cassert>
#include <cstring>
#include <memory>

#include "cap/item_form.h"
#include "cap/item_reader.h"
#include "xfer/file_setup_reader.h"

namespace {

// text (room bytes): the string of at most limit characters from starts with, then zeros.
void CheckString(const char *text, size_t room, const char *from, size_t limit) {
    const size_t length = strnlen(text, room);
    assert(length <= limit && memcmp(text, from, length) == 0 && (length == limit || !from[length]));
    for (size_t i = length; i < room; ++i) assert(text[i] == '\0');
}

// ConType (2 bytes), then the container.
void OneValue(const uint8_t *data, size_t size) {
    TW_UINT16 conType, itemType = 0xFFFF, type = 0;
    if (size < 2) return;
    memcpy(&conType, data, 2);
    assert(SetContainerFor(conType) == (conType == TWON_ENUMERATION ? SetContainer::AcceptUnread
                                        : conType == TWON_ONEVALUE  ? SetContainer::ReadOneValue
                                                                    : SetContainer::Refuse));
    const size_t length = size - 2, head = offsetof(TW_ONEVALUE, Item), room = length - head;
    if (length >= head) memcpy(&type, data + 2, 2);
    const bool string = length >= head && IsStringItem(type);
    // What the reader may write: a string's characters, or the whole item.
    const size_t bytes = length < head ? 0 : string ? StringItemLimit(type) : ItemSize(type);
    std::unique_ptr<uint8_t[]> block(new uint8_t[length]), value(new uint8_t[bytes]);
    memcpy(block.get(), data + 2, length);
    memset(value.get(), 0xA5, bytes);
    const uint8_t *item = block.get() + head, *got = value.get();
    const bool whole = length >= head && (string ? room >= bytes || memchr(item, 0, room) : room >= bytes);
    assert(ReadOneValueItem(block.get(), length, &itemType, value.get()) == whole);
    if (!whole)
        for (size_t i = 0; i < bytes; ++i) assert(got[i] == 0xA5);
    else if (itemType != type)
        assert(!"the ItemType read is the block's");
    else if (type == TWTY_FIX32 || type == TWTY_FRAME)
        for (int i = 0; i < (type == TWTY_FRAME ? 4 : 1); ++i) {
            TW_UINT32 word;
            memcpy(&word, item + 4 * i, sizeof word);
            // Compared as stored: the 32-bit build's x87 code may return a float with more precision.
            const float expected = Fix32ToFloat(word);
            assert(!memcmp(got + 4 * (type == TWTY_FRAME ? FrameOrder[i] : 0), &expected, 4));
        }
    else if (string)
        CheckString(reinterpret_cast<const char *>(got), bytes, reinterpret_cast<const char *>(item), bytes);
    else
        assert(memcmp(got, item, bytes) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 0 && data[0] % 2 == 0) OneValue(data + 1, size - 1);
    if (size <= sizeof(TW_SETUPFILEXFER) || data[0] % 2 == 0) return 0;
    auto record = std::make_unique<TW_SETUPFILEXFER>();
    memcpy(record.get(), data + 1, sizeof *record);
    const FileSetup setup = ReadFileSetup(*record);
    CheckString(setup.fileName, sizeof setup.fileName, record->FileName, sizeof setup.fileName - 1);
    assert(setup.format == record->Format);
    return 0;
}
