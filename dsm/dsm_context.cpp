#include "dsm_context.h"

DsmContext g_dsm;

TW_UINT16 &ConditionCodeOf(const TW_IDENTITY *caller) {
    DsmApplication *application = caller ? FindApplication(caller->Id) : nullptr;
    return application ? application->conditionCode : g_dsm.conditionCode;
}

TW_UINT16 DsmFail(const TW_IDENTITY *caller, TW_UINT16 conditionCode) {
    DsmLock lock;
    ConditionCodeOf(caller) = conditionCode;
    return TWRC_FAILURE;
}

TW_UINT32 NewId() {
    DsmLock lock;
    return ++g_dsm.lastId;
}

DsmApplication *FindApplication(TW_UINT32 id) {
    for (DsmApplication &application : g_dsm.applications)
        if (application.identity.Id == id) return &application;
    return nullptr;
}

DsmOpenSource *FindOpenSourceFile(const std::string &path) {
    for (DsmOpenSource &source : g_dsm.openSources)
        if (lstrcmpiA(source.path.c_str(), path.c_str()) == 0) return &source;
    return nullptr;
}

DsmOpenSource *FindOpenSource(TW_UINT32 applicationId, TW_UINT32 sourceId) {
    for (DsmOpenSource &source : g_dsm.openSources)
        if (source.identity.Id == sourceId && source.applicationId == applicationId) return &source;
    return nullptr;
}
