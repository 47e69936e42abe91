// The one record of the development Source Manager: the applications that
// opened it, the sources they opened, the sources on this machine, the
// notifications waiting for delivery and the record of all notifications.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dsm_record.h"

// DsmApplication.nextSource before the application's first MSG_GETFIRST.
constexpr size_t ListNotStarted = SIZE_MAX;

struct DsmApplication {
    TW_IDENTITY identity;
    // Where the wake-up for a waiting notification goes: the window given
    // with MSG_OPENDSM, or else the thread that opened the Source Manager.
    HWND window;
    DWORD thread;
    // Next entry of sourceFiles that MSG_GETNEXT returns.
    size_t nextSource;
    // What this application's DAT_STATUS reports next.
    TW_UINT16 conditionCode;
};

struct DsmSourceFile {
    std::string path;
    // As the source answered MSG_GET; Id 0.
    TW_IDENTITY identity;
};

struct DsmOpenSource {
    std::string path;
    // With the Id this Source Manager assigned at MSG_OPENDS.
    TW_IDENTITY identity;
    TW_UINT32 applicationId;
    HMODULE module;
    DSENTRYPROC entry;
};

struct DsmPendingNotification {
    TW_UINT32 applicationId;
    TW_UINT32 sourceId;
    TW_UINT16 message;
};

struct DsmContext {
    CRITICAL_SECTION lock;
    HMODULE module;
    // For callers that are no application of ours (missing or unknown identity).
    TW_UINT16 conditionCode;
    // Application and source Ids come from one counter, so they never collide.
    TW_UINT32 lastId;
    std::vector<DsmApplication> applications;
    std::vector<DsmSourceFile> sourceFiles;
    std::vector<DsmOpenSource> openSources;
    std::vector<DsmPendingNotification> pending;
    std::vector<DsmNotification> record;
};

extern DsmContext g_dsm;

// Holds g_dsm.lock for its scope. The lock is never held while a source runs.
class DsmLock {
public:
    DsmLock() { EnterCriticalSection(&g_dsm.lock); }
    ~DsmLock() { LeaveCriticalSection(&g_dsm.lock); }
    DsmLock(const DsmLock &) = delete;
    DsmLock &operator=(const DsmLock &) = delete;
};

// Sets the condition code the caller's DAT_STATUS reports and answers TWRC_FAILURE.
TW_UINT16 DsmFail(const TW_IDENTITY *caller, TW_UINT16 conditionCode);
// Where that code lives; the caller holds the lock.
TW_UINT16 &ConditionCodeOf(const TW_IDENTITY *caller);
TW_UINT32 NewId();

// Lookups; the caller holds the lock. Null when there is none.
DsmApplication *FindApplication(TW_UINT32 id);
DsmOpenSource *FindOpenSource(TW_UINT32 applicationId, TW_UINT32 sourceId);
// The open source loaded from this file, whoever opened it.
DsmOpenSource *FindOpenSourceFile(const std::string &path);
