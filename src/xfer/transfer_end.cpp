#include "xfer/transfer_end.h"

#include <cstdlib>

#include "ds/source_context.h"

void EndTransferInProgress() {
    free(g_source.memXferCopy);
    g_source.memXferCopy = nullptr;
    g_source.memXferCursor = nullptr;
}
