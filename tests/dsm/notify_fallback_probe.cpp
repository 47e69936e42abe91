// Lives in a folder whose TWAIN_32.DLL has no DSM_Entry, beside TWAINDSM.DLL;
// the source and the simulated board are in the folder above. Enables QXTwain.ds
// without a user interface and reports through its exit code whether
// TWAINDSM.DLL received MSG_XFERREADY: 0 yes, 1 no, 2 the TWAIN_32.DLL found
// here has a DSM_Entry after all, 3 set-up failed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "dsm_record.h"

namespace {

template <class T> T Export(HMODULE module, const char *name) {
    return reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

std::string FromFolderAbove(const char *name) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    folder.resize(folder.find_last_of('\\'));
    folder.resize(folder.find_last_of('\\') + 1);
    return folder + name;
}

}  // namespace

int main() {
    HMODULE twain32 = LoadLibraryA("TWAIN_32.DLL");
    if (twain32 && GetProcAddress(twain32, "DSM_Entry")) return 2;
    // Kept loaded so the record outlives the source's own load and unload of
    // it. The others come from the folder above, their imports beside them.
    HMODULE dsm = LoadLibraryA("TWAINDSM.DLL");
    const DWORD besideIt = LOAD_WITH_ALTERED_SEARCH_PATH;
    HMODULE kvd = LoadLibraryExA(FromFolderAbove("Kvd.dll").c_str(), nullptr, besideIt);
    HMODULE source = LoadLibraryExA(FromFolderAbove("QXTwain.ds").c_str(), nullptr, besideIt);
    if (!dsm || !kvd || !source) return 3;
    auto configure = Export<int (*)(const char *)>(kvd, "KvSimConfigure");
    auto entry = Export<DSENTRYPROC>(source, "DS_Entry");
    auto count = Export<int (*)()>(dsm, "DSM_DevNotificationCount");
    auto get = Export<BOOL (*)(int, DsmNotification *)>(dsm, "DSM_DevNotificationGet");
    if (!configure || !entry || !count || !get || configure("") != 0) return 3;

    TW_IDENTITY app = {};
    app.Id = 5;
    app.ProtocolMajor = 1;
    app.ProtocolMinor = 6;
    strcpy(app.ProductName, "fallback probe");
    TW_IDENTITY opened = {};
    opened.Id = 6;
    strcpy(opened.ProductName, "Quorvex Camera Interface");
    TW_USERINTERFACE ui = {0, 0, nullptr};
    if (entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &opened) != TWRC_SUCCESS ||
        entry(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS)
        return 3;
    entry(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);

    DsmNotification note;
    bool received = count() == 1 && get(0, &note) && note.message == MSG_XFERREADY &&
                    note.origin.Id == 6 && note.destination.Id == 5;
    printf("TWAINDSM.DLL received %d notification(s)%s\n", count(),
           received ? ": MSG_XFERREADY from the source to the application" : "");
    return received ? 0 : 1;
}
