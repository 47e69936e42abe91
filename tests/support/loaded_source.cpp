#include "support/loaded_source.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qx {

namespace {

void ExitWithFailure(const std::string &what) {
    fprintf(stderr, "%s\n", what.c_str());
    exit(1);
}

FailureReporter reporter = ExitWithFailure;

}  // namespace

void SetFailureReporter(FailureReporter report) { reporter = report; }

void ReportFailure(const std::string &what) { reporter(what); }

TW_IDENTITY AppIdentity(TW_UINT32 id, TW_UINT16 protocolMajor, TW_UINT16 protocolMinor) {
    return MakeIdentity(id, {2, 1, "Test application", protocolMajor, protocolMinor, "QXTwain tests", "Tests",
                             "Test application"});
}

TW_IDENTITY OpenedSourceIdentity(TW_UINT32 id) {
    return MakeIdentity(id, {1, 603, "Version 2001", 1, 6, "Quorvex, Inc", "Quorvex", "Quorvex Camera Interface"});
}

LoadedSource::LoadedSource() : app(AppIdentity()), opened(OpenedSourceIdentity()) {
    module = LoadLibraryA("QXTwain.ds");
    if (module) entry = Export<DSENTRYPROC>(module, "DS_Entry");
    if (!entry) ReportFailure("QXTwain.ds did not load");
}

LoadedSource::~LoadedSource() {
    if (module) FreeLibrary(module);
}

TW_UINT16 LoadedSource::Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data) {
    return CallAs(&app, dg, dat, msg, data);
}

TW_UINT16 LoadedSource::CallAs(TW_IDENTITY *origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                               void *data) {
    return entry(origin, dg, dat, msg, data);
}

TW_UINT16 LoadedSource::Status() {
    TW_STATUS status = {0xEEEE, 0xEEEE};
    TW_UINT16 result = Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    if (result != TWRC_SUCCESS)
        ReportFailure("DAT_STATUS / MSG_GET returned " + std::to_string(result));
    if (status.Reserved != 0)
        ReportFailure("DAT_STATUS wrote Reserved " + std::to_string(status.Reserved));
    return status.ConditionCode;
}

TW_UINT16 LoadedSource::Open() {
    opened = OpenedSourceIdentity();
    return Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &opened);
}

TW_UINT16 LoadedSource::Close() { return Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr); }

TW_UINT16 LoadedSource::Enable(bool showUI, HWND parent) {
    TW_USERINTERFACE ui = {static_cast<TW_BOOL>(showUI ? 1 : 0), 1, parent};
    return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
}

TW_UINT16 LoadedSource::Disable() {
    TW_USERINTERFACE ui = {0, 0, nullptr};
    return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
}

int LoadedSource::PendingCount() {
    TW_UINT16 count = 0;
    if (PendingXfers(*this, MSG_GET, &count) != TWRC_SUCCESS) return -1;
    return count;
}

TW_UINT16 LoadedSource::Capability(TW_UINT16 msg, TW_CAPABILITY *cap) {
    return Call(DG_CONTROL, DAT_CAPABILITY, msg, cap);
}

TW_UINT16 PendingXfers(LoadedSource &source, TW_UINT16 msg, TW_UINT16 *count) {
    constexpr TW_UINT32 ApplicationsEoj = 0x12345678;
    TW_PENDINGXFERS pending = {0xBEEF, ApplicationsEoj};
    TW_UINT16 result = source.Call(DG_CONTROL, DAT_PENDINGXFERS, msg, &pending);
    if (pending.EOJ != ApplicationsEoj)
        ReportFailure("DAT_PENDINGXFERS wrote EOJ " + std::to_string(pending.EOJ));
    if (count) *count = pending.Count;
    return result;
}

bool OpenAndEnable(LoadedSource &source, HWND parent) {
    TW_UINT16 result = source.Open();
    if (result != TWRC_SUCCESS) {
        ReportFailure("MSG_OPENDS returned " + std::to_string(result));
        return false;
    }
    result = source.Enable(false, parent);
    if (result != TWRC_SUCCESS) {
        ReportFailure("MSG_ENABLEDS returned " + std::to_string(result));
        return false;
    }
    return true;
}

void Leave(LoadedSource &source) {
    source.Disable();
    source.Close();
}

}  // namespace qx
