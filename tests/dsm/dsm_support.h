// Driving the development Source Manager as applications do: through
// DSM_Entry of the TWAIN_32.DLL that LoadLibraryA finds, with the real
// QXTwain.ds beside it.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "dsm_record.h"
#include "support/harness.h"

namespace qx {

constexpr const char *QuorvexProduct = "Quorvex Camera Interface";

// True while QXTwain.ds is loaded in this process.
bool QuorvexLoaded();
// A test application's identity before the Source Manager assigns its Id.
TW_IDENTITY NewApplication(const char *name = "DSM test application");
TW_IDENTITY NamedSource(const char *productName);
// The wake-up message the Source Manager posts.
UINT WakeMessage();
// The Source Manager's record API, looked up by name as any process would.
int RecordCount();
bool RecordGet(int index, DsmNotification *out);
// A message as an application's loop would hand it over.
MSG MessageFor(HWND window, UINT message);

// Each test: a fresh board configuration, an empty box and notification
// record, and the Source Manager's entry. Whatever a test opens through the
// helpers is closed again afterwards.
class DsmTest : public ::testing::Test {
protected:
    virtual std::string BoardConfig() { return ""; }
    void SetUp() override;
    void TearDown() override;

    TW_UINT16 Dsm(TW_IDENTITY *origin, TW_IDENTITY *dest, TW_UINT32 dg, TW_UINT16 dat,
                  TW_UINT16 msg, void *data);
    // DAT_STATUS of the Source Manager itself (pDest null).
    TW_UINT16 DsmStatus(TW_IDENTITY *origin);
    // DAT_STATUS of an open source, through the Source Manager.
    TW_UINT16 SourceStatus(TW_IDENTITY *app, TW_IDENTITY *source);

    // MSG_OPENDSM for a new application; window may be null.
    TW_IDENTITY OpenApplication(HWND window = nullptr);
    // Lists the sources for app (GETFIRST, then GETNEXT to the end).
    std::vector<TW_IDENTITY> ListSources(TW_IDENTITY *app);
    // MSG_OPENDS of QXTwain for app; Id 0 when it did not open.
    TW_IDENTITY OpenQuorvex(TW_IDENTITY *app);
    TW_UINT16 CloseSource(TW_IDENTITY *app, TW_IDENTITY *source);
    TW_UINT16 Enable(TW_IDENTITY *app, TW_IDENTITY *source, bool showUI, HWND parent);
    // A hidden top-level window of this thread, destroyed after the test.
    HWND CreateAppWindow();
    // Passes messages of this thread through MSG_PROCESSEVENT for source
    // (dispatching what it does not take) until one carries `wanted` or ms pass.
    bool PumpUntilSourceMessage(TW_IDENTITY *app, TW_IDENTITY *source, TW_UINT16 wanted, DWORD ms);

    DSMENTRYPROC entry = nullptr;

private:
    std::vector<TW_IDENTITY> apps_;
    std::vector<std::pair<TW_IDENTITY, TW_IDENTITY>> sources_;
    std::vector<HWND> windows_;
};

// True when a TW_STR32 field holds text.
inline bool SameName(const char (&field)[34], const char *text) {
    return strncmp(field, text, sizeof field) == 0;
}

}  // namespace qx
