// Messages from the source to the application, through the Source Manager.
#pragma once

#include "twain.h"

void NotifySourceManager(TW_UINT16 message);
// State 600, then MSG_XFERREADY.
void NotifyTransferReady();
// MSG_CLOSEDSREQ; the state stays.
void NotifyCloseRequest();
