// DAT_CAPABILITY through DS_Entry as an application makes it, and the
// container bytes a reply must hold, slack bytes included.
#pragma once

#include <windows.h>

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

// An application's movable block holding bytes, and the GlobalSize bytes of a block.
HGLOBAL BlockOf(const Bytes &bytes);
Bytes BlockBytes(HGLOBAL block);

// Expected container bytes, slack bytes included (zero).
Bytes OneValue(TW_UINT16 itemType, TW_UINT32 item);
Bytes Enumeration(TW_UINT16 itemType, const std::vector<TW_UINT32> &items,
                  TW_UINT32 currentIndex, TW_UINT32 defaultIndex);
Bytes Array(TW_UINT16 itemType, const std::vector<TW_UINT32> &items);

// TW_FIX32 as a 32-bit word (Whole low, Frac high).
TW_UINT32 Fix(TW_INT16 whole, TW_UINT16 frac = 0);

// Reply of MSG_GET/GETCURRENT/GETDEFAULT must equal these bytes exactly.
void ExpectReply(const Reply &reply, TW_UINT16 conType, const Bytes &bytes);
// A failed request: TWRC_FAILURE, the condition code, and the application's
// TW_CAPABILITY untouched.
void ExpectFailure(LoadedSource &source, const Reply &reply, TW_UINT16 code);

}  // namespace qx
