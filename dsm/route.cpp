// Triplets for an open source go to its DS_Entry unchanged.
#include "dsm_operations.h"

TW_UINT16 RouteToSource(TW_IDENTITY *application, TW_IDENTITY *destination, TW_UINT32 group,
                        TW_UINT16 dataType, TW_UINT16 message, TW_MEMREF data) {
    DSENTRYPROC entry;
    {
        DsmLock lock;
        DsmOpenSource *source = FindOpenSource(application->Id, destination->Id);
        if (!source) return DsmFail(application, TWCC_BADDEST);
        entry = source->entry;
    }
    // Outside the lock: the source calls back in with its notifications.
    return entry(application, group, dataType, message, data);
}
