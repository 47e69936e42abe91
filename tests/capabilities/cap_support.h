// The capability suite's own view of the source's table, and a source on a
// configured board. The requests and container bytes are the support's.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/capability.h"

namespace qx {

// The application's view of one capability as the table gives it: items in
// their TWAIN form (TW_FIX32 words for TWTY_FIX32).
struct Expected {
    TW_UINT16 code;
    TW_UINT16 itemType;
    TW_UINT16 getContainer;
    TW_UINT32 messages;
    std::vector<TW_UINT32> list;
    TW_UINT32 defaultValue;
    TW_UINT32 currentValue;
};

// The eighteen records right after the first open on a board of this depth
// and size.
std::vector<Expected> FreshTable(TW_UINT32 depth, TW_UINT32 width = 640, TW_UINT32 height = 480);
const Expected &Find(const std::vector<Expected> &table, TW_UINT16 code);

// Expected replies of a record.
Bytes GetReply(const Expected &e);
Bytes CurrentReply(const Expected &e);
Bytes DefaultReply(const Expected &e);

// The 17 codes of CAP_SUPPORTEDCAPS, in order.
std::vector<TW_UINT32> SupportedCodes();

// A source on a board configured with the given keys.
class ConfiguredSourceTest : public SourceTest {
protected:
    explicit ConfiguredSourceTest(std::string keys = "") : keys_(std::move(keys)) {}
    std::string BoardConfig() override { return keys_; }

private:
    std::string keys_;
};

}  // namespace qx
