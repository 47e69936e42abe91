// What DSM_Entry hands its triplets to.
#pragma once

#include <vector>

#include "dsm_context.h"

// DAT_PARENT: MSG_OPENDSM registers the application (and assigns its Id),
// MSG_CLOSEDSM forgets it.
TW_UINT16 ParentMsg(TW_IDENTITY *application, TW_UINT16 message, TW_MEMREF data);
bool ApplicationIsOpen(TW_UINT32 id);

// DAT_IDENTITY addressed to the Source Manager: enumeration, selection, open, close.
TW_UINT16 DsmIdentityMsg(TW_IDENTITY *application, TW_IDENTITY *destination, TW_UINT16 message,
                         TW_MEMREF data);

// DAT_STATUS addressed to the Source Manager: the caller's condition code, then cleared.
TW_UINT16 DsmStatusMsg(TW_IDENTITY *caller, TW_UINT16 message, TW_MEMREF data);

// DG_CONTROL / DAT_NULL from a source.
bool IsSourceNotification(TW_UINT32 group, TW_UINT16 dataType, TW_UINT16 message);
TW_UINT16 SourceNotification(TW_IDENTITY *source, TW_IDENTITY *application, TW_UINT16 message);
// The oldest notification from that source to that application, removed from the queue.
bool TakeNotification(TW_UINT32 applicationId, TW_UINT32 sourceId, TW_UINT16 *message);
// sourceId 0: every notification waiting for the application.
void DropNotifications(TW_UINT32 applicationId, TW_UINT32 sourceId);
UINT WakeMessage();

// A triplet for a source the application opened, passed to its DS_Entry.
TW_UINT16 RouteToSource(TW_IDENTITY *application, TW_IDENTITY *destination, TW_UINT32 group,
                        TW_UINT16 dataType, TW_UINT16 message, TW_MEMREF data);
// MSG_PROCESSEVENT: the source sees the event first, then a waiting notification is handed over.
TW_UINT16 ProcessEventMsg(TW_IDENTITY *application, TW_IDENTITY *destination, TW_MEMREF data);

// Every source on this machine that answers MSG_GET, in search order.
std::vector<DsmSourceFile> ScanSourceFiles(TW_IDENTITY *application);
// The source library by its full path (its own imports found beside it), or null.
HMODULE LoadSourceLibrary(const std::string &path, DSENTRYPROC *entry);
