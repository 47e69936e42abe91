// Process attach: keep the instance, fill the source's identity from the
// string table, register the common controls. Process detach by FreeLibrary
// takes down what an enable left.
#include "ds/source_context.h"

#include <commctrl.h>
#include "res/resource.h"
#include "ui/user_interface.h"

namespace {

void LoadIdentityString(UINT id, char (&field)[34]) {
    LoadStringA(g_source.moduleInstance, id, field, sizeof field);
}

void FillSourceIdentity() {
    TW_IDENTITY &identity = g_source.sourceIdentity;
    identity.Version.MajorNum = 1;
    identity.Version.MinorNum = 603;
    identity.Version.Language = TWLG_USA;
    identity.Version.Country = TWCY_USA;
    identity.ProtocolMajor = 1;
    identity.ProtocolMinor = 6;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    LoadIdentityString(IDS_VERSION_INFO, identity.Version.Info);
    LoadIdentityString(IDS_MANUFACTURER, identity.Manufacturer);
    LoadIdentityString(IDS_PRODUCT_FAMILY, identity.ProductFamily);
    LoadIdentityString(IDS_PRODUCT_NAME, identity.ProductName);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (!instance) return FALSE;
    // Unloaded by FreeLibrary while still enabled: nothing of the source may
    // outlive its code. (At process exit the threads are gone already.)
    if (reason == DLL_PROCESS_DETACH && !reserved) ReleaseAcquisitionAtUnload();
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    g_source.appIdentity.Id = 0;
    g_source.sourceIdentity.Id = 0;
    g_source.moduleInstance = instance;
    FillSourceIdentity();
    InitCommonControls();
    return TRUE;
}
