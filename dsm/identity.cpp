// DAT_IDENTITY for the Source Manager: listing the sources, choosing one,
// opening it (loading the library, assigning its Id) and closing it.
#include "dsm_operations.h"

#include <cstring>

namespace {

void Rescan(TW_IDENTITY *application) {
    std::vector<DsmSourceFile> found = ScanSourceFiles(application);
    DsmLock lock;
    g_dsm.sourceFiles.swap(found);
}

// Entry `index` of the list as the application sees it: with its Id while open.
// The caller holds the lock.
void CopyListed(size_t index, TW_MEMREF data) {
    const DsmSourceFile &file = g_dsm.sourceFiles[index];
    TW_IDENTITY identity = file.identity;
    if (const DsmOpenSource *open = FindOpenSourceFile(file.path)) identity.Id = open->identity.Id;
    memcpy(data, &identity, sizeof identity);
}

TW_UINT16 GetFirst(TW_IDENTITY *application, TW_MEMREF data) {
    Rescan(application);
    DsmLock lock;
    DsmApplication *caller = FindApplication(application->Id);
    if (!caller) return DsmFail(application, TWCC_SEQERROR);
    caller->nextSource = ListNotStarted;
    if (g_dsm.sourceFiles.empty()) return DsmFail(application, TWCC_NODS);
    CopyListed(0, data);
    caller->nextSource = 1;
    return TWRC_SUCCESS;
}

TW_UINT16 GetNext(TW_IDENTITY *application, TW_MEMREF data) {
    DsmLock lock;
    DsmApplication *caller = FindApplication(application->Id);
    if (!caller || caller->nextSource == ListNotStarted) return DsmFail(application, TWCC_SEQERROR);
    if (caller->nextSource >= g_dsm.sourceFiles.size()) return TWRC_ENDOFLIST;
    CopyListed(caller->nextSource++, data);
    return TWRC_SUCCESS;
}

TW_UINT16 GetDefault(TW_IDENTITY *application, TW_MEMREF data) {
    bool known;
    {
        DsmLock lock;
        known = !g_dsm.sourceFiles.empty();
    }
    if (!known) Rescan(application);
    DsmLock lock;
    if (g_dsm.sourceFiles.empty()) return DsmFail(application, TWCC_NODS);
    CopyListed(0, data);
    return TWRC_SUCCESS;
}

bool SameText(const char (&a)[34], const char (&b)[34]) { return strncmp(a, b, sizeof a) == 0; }

// An empty product name asks for the default source; otherwise the names
// that the application filled in must match.
bool FindListed(const TW_IDENTITY &wanted, DsmSourceFile *chosen) {
    DsmLock lock;
    for (const DsmSourceFile &file : g_dsm.sourceFiles) {
        const TW_IDENTITY &have = file.identity;
        bool matches =
            wanted.ProductName[0] == 0 ||
            (SameText(wanted.ProductName, have.ProductName) &&
             (!wanted.Manufacturer[0] || SameText(wanted.Manufacturer, have.Manufacturer)) &&
             (!wanted.ProductFamily[0] || SameText(wanted.ProductFamily, have.ProductFamily)));
        if (matches) {
            *chosen = file;
            return true;
        }
    }
    return false;
}

bool AlreadyOpen(const std::string &path) {
    DsmLock lock;
    return FindOpenSourceFile(path) != nullptr;
}

// What a source that refused to open says about it, before it is unloaded.
TW_UINT16 RefusalCode(DSENTRYPROC entry, TW_IDENTITY *application) {
    TW_STATUS status = {};
    if (entry(application, DG_CONTROL, DAT_STATUS, MSG_GET, &status) == TWRC_SUCCESS &&
        status.ConditionCode != TWCC_SUCCESS)
        return status.ConditionCode;
    return TWCC_BUMMER;
}

TW_UINT16 OpenSource(TW_IDENTITY *application, TW_MEMREF data) {
    auto *requested = static_cast<TW_IDENTITY *>(data);
    DsmSourceFile file;
    if (!FindListed(*requested, &file)) {
        Rescan(application);
        if (!FindListed(*requested, &file)) return DsmFail(application, TWCC_NODS);
    }
    if (AlreadyOpen(file.path)) return DsmFail(application, TWCC_MAXCONNECTIONS);

    DsmOpenSource opened{file.path, file.identity, application->Id, nullptr, nullptr};
    opened.module = LoadSourceLibrary(file.path, &opened.entry);
    if (!opened.module) return DsmFail(application, TWCC_NODS);
    opened.identity.Id = NewId();
    TW_IDENTITY given = opened.identity;
    TW_UINT16 result = opened.entry(application, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &given);
    if (result != TWRC_SUCCESS) {
        TW_UINT16 code = RefusalCode(opened.entry, application);
        FreeLibrary(opened.module);
        DsmFail(application, code);
        return result;
    }
    {
        DsmLock lock;
        g_dsm.openSources.push_back(opened);
    }
    *requested = opened.identity;
    return TWRC_SUCCESS;
}

TW_UINT16 CloseSource(TW_IDENTITY *application, TW_IDENTITY *source) {
    DSENTRYPROC entry;
    HMODULE module;
    {
        DsmLock lock;
        DsmOpenSource *open = FindOpenSource(application->Id, source->Id);
        if (!open) return DsmFail(application, TWCC_BADDEST);
        entry = open->entry;
        module = open->module;
    }
    TW_UINT16 result = entry(application, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, source);
    // A source that refuses to close stays loaded: unloading it would pull
    // the code from under whatever it still runs.
    if (result != TWRC_SUCCESS) return result;
    {
        DsmLock lock;
        DsmOpenSource *open = FindOpenSource(application->Id, source->Id);
        if (open)
            g_dsm.openSources.erase(g_dsm.openSources.begin() + (open - &g_dsm.openSources[0]));
    }
    DropNotifications(application->Id, source->Id);
    FreeLibrary(module);
    return TWRC_SUCCESS;
}

struct ListOperation {
    TW_UINT16 message;
    TW_UINT16 (*operation)(TW_IDENTITY *application, TW_MEMREF data);
};

// MSG_USERSELECT picks the default: there is no selection dialog here.
constexpr ListOperation ListOperations[] = {
    {MSG_GETFIRST, GetFirst},     {MSG_GETNEXT, GetNext},   {MSG_GETDEFAULT, GetDefault},
    {MSG_USERSELECT, GetDefault}, {MSG_OPENDS, OpenSource},
};

}  // namespace

TW_UINT16 DsmIdentityMsg(TW_IDENTITY *application, TW_IDENTITY *destination, TW_UINT16 message,
                         TW_MEMREF data) {
    if (message == MSG_CLOSEDS) {
        // The source is named in pData, as TWAIN has it; pDest is accepted too.
        auto *source = data ? static_cast<TW_IDENTITY *>(data) : destination;
        if (!source) return DsmFail(application, TWCC_BADVALUE);
        return CloseSource(application, source);
    }
    for (const ListOperation &row : ListOperations) {
        if (row.message != message) continue;
        if (!data) return DsmFail(application, TWCC_BADVALUE);
        return row.operation(application, data);
    }
    return DsmFail(application, TWCC_BADPROTOCOL);
}
