// Helpers for driving DAT_CAPABILITY through DS_Entry and reading replies
// byte for byte.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/harness.h"

namespace qx {

// What came back for one DAT_CAPABILITY request. The reply block has been
// copied and freed.
struct Reply {
    TW_UINT16 rc = 0xEEEE;
    TW_CAPABILITY cap = {};
    bool gotBlock = false;
    Bytes bytes;  // GlobalSize bytes of the block
};

// Sends msg for capability code, with hContainer holding a handle of ours that
// the source must overwrite (a GET-type reply) or leave alone (a failure).
Reply Ask(LoadedSource &source, TW_UINT16 msg, TW_UINT16 code);

// MSG_SET with a TW_ONEVALUE (ItemType, 32-bit Item) in a 6-byte block.
TW_UINT16 SetOneValue(LoadedSource &source, TW_UINT16 code, TW_UINT16 itemType,
                      TW_UINT32 item);

// Expected container bytes, slack bytes included (zero).
Bytes OneValue(TW_UINT16 itemType, TW_UINT32 item);
Bytes Enumeration(TW_UINT16 itemType, const std::vector<TW_UINT32> &items,
                  TW_UINT32 currentIndex, TW_UINT32 defaultIndex);
Bytes Array(TW_UINT16 itemType, const std::vector<TW_UINT32> &items);

// TW_FIX32 as a 32-bit word (Whole low, Frac high).
TW_UINT32 Fix(TW_INT16 whole, TW_UINT16 frac = 0);

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

// Reply of MSG_GET/GETCURRENT/GETDEFAULT must equal these bytes exactly.
void ExpectReply(const Reply &reply, TW_UINT16 conType, const Bytes &bytes);
// A failed request: TWRC_FAILURE, the condition code, and the application's
// TW_CAPABILITY untouched.
void ExpectFailure(LoadedSource &source, const Reply &reply, TW_UINT16 code);

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
