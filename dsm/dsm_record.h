// The development Source Manager's record of what sources told their
// applications, readable from the process that loaded TWAIN_32.DLL.
#pragma once

#include <windows.h>

#include "twain.h"

// One DG_CONTROL / DAT_NULL call from a source, as it arrived.
struct DsmNotification {
    TW_IDENTITY origin;
    TW_IDENTITY destination;
    TW_UINT16 message;
};

// The message posted to an application's window (or thread) to wake its
// event loop when a notification is waiting (RegisterWindowMessageA).
#define DSM_WAKE_MESSAGE_NAME "QXTwain development Source Manager wake-up"

extern "C" {
int DSM_DevNotificationCount();
BOOL DSM_DevNotificationGet(int index, DsmNotification *out);
void DSM_DevNotificationClear();
}
