// The record of every notification, for tests and tools in the same process.
#include "dsm_context.h"

extern "C" int DSM_DevNotificationCount() {
    DsmLock lock;
    return static_cast<int>(g_dsm.record.size());
}

extern "C" BOOL DSM_DevNotificationGet(int index, DsmNotification *out) {
    DsmLock lock;
    if (!out || index < 0 || static_cast<size_t>(index) >= g_dsm.record.size()) return FALSE;
    *out = g_dsm.record[index];
    return TRUE;
}

extern "C" void DSM_DevNotificationClear() {
    DsmLock lock;
    g_dsm.record.clear();
}
