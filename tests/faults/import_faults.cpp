#include "import_faults.h"

#include <process.h>

#include <cstdlib>
#include <cstring>

#include "board/maker_api.h"

namespace qx {

namespace {

struct Control {
    const char *name;
    void *replacement;
    void *original;
    volatile LONG calls;
    volatile LONG passed;
    volatile LONG first;  // 0: no call fails
    volatile LONG count;  // 0: every call from first on
};

Control g_controls[int(Import::Count)];

Control &Of(Import import) { return g_controls[int(import)]; }

bool ShouldFail(Import import) {
    Control &c = Of(import);
    LONG n = InterlockedIncrement(&c.calls);
    bool fail = c.first != 0 && n >= c.first && (c.count == 0 || n < c.first + c.count);
    if (!fail) InterlockedIncrement(&c.passed);
    return fail;
}

template <class F> F Original(Import import) { return reinterpret_cast<F>(Of(import).original); }

HGLOBAL WINAPI FailingGlobalAlloc(UINT flags, SIZE_T bytes) {
    if (ShouldFail(Import::GlobalAlloc)) return SetLastError(ERROR_NOT_ENOUGH_MEMORY), nullptr;
    return Original<decltype(&GlobalAlloc)>(Import::GlobalAlloc)(flags, bytes);
}

LPVOID WINAPI FailingGlobalLock(HGLOBAL block) {
    if (ShouldFail(Import::GlobalLock)) return SetLastError(ERROR_NOT_ENOUGH_MEMORY), nullptr;
    return Original<decltype(&GlobalLock)>(Import::GlobalLock)(block);
}

void *__cdecl FailingMalloc(size_t bytes) {
    if (ShouldFail(Import::Malloc)) return nullptr;
    return Original<decltype(&malloc)>(Import::Malloc)(bytes);
}

uintptr_t __cdecl FailingBeginThread(void *security, unsigned stack,
                                     unsigned(__stdcall *body)(void *), void *argument,
                                     unsigned flags, unsigned *id) {
    if (ShouldFail(Import::BeginThread)) return 0;
    return Original<decltype(&_beginthreadex)>(Import::BeginThread)(security, stack, body,
                                                                     argument, flags, id);
}

BOOL WINAPI FailingGetModuleHandleEx(DWORD flags, LPCSTR name, HMODULE *module) {
    if (ShouldFail(Import::GetModuleHandleEx)) return *module = nullptr, FALSE;
    return Original<decltype(&GetModuleHandleExA)>(Import::GetModuleHandleEx)(flags, name, module);
}

HWND WINAPI FailingCreateDialogParam(HINSTANCE instance, LPCSTR resource, HWND owner,
                                     DLGPROC procedure, LPARAM parameter) {
    if (ShouldFail(Import::CreateDialogParam)) return nullptr;
    return Original<decltype(&CreateDialogParamA)>(Import::CreateDialogParam)(
        instance, resource, owner, procedure, parameter);
}

HMODULE WINAPI FailingLoadLibrary(LPCSTR name) {
    if (ShouldFail(Import::LoadLibrary)) return SetLastError(ERROR_MOD_NOT_FOUND), nullptr;
    return Original<decltype(&LoadLibraryA)>(Import::LoadLibrary)(name);
}

uint32_t MAKER_CALL FailingBoardInquire(KvBoard board, uint32_t parameter, uint32_t *value) {
    if (ShouldFail(Import::BoardInquire)) return 1;
    return Original<decltype(&KvBrdInquire)>(Import::BoardInquire)(board, parameter, value);
}

uint32_t MAKER_CALL LateSurfaceClose(uint32_t surface) {
    if (ShouldFail(Import::SurfaceClose)) Sleep(1000);
    return Original<decltype(&VizpaneClose)>(Import::SurfaceClose)(surface);
}

template <class F> void Describe(Import import, const char *name, F replacement) {
    Of(import).name = name;
    Of(import).replacement = reinterpret_cast<void *>(replacement);
}

const bool described = [] {
    Describe(Import::GlobalAlloc, "GlobalAlloc", &FailingGlobalAlloc);
    Describe(Import::GlobalLock, "GlobalLock", &FailingGlobalLock);
    Describe(Import::Malloc, "malloc", &FailingMalloc);
    Describe(Import::BeginThread, "_beginthreadex", &FailingBeginThread);
    Describe(Import::GetModuleHandleEx, "GetModuleHandleExA", &FailingGetModuleHandleEx);
    Describe(Import::CreateDialogParam, "CreateDialogParamA", &FailingCreateDialogParam);
    Describe(Import::LoadLibrary, "LoadLibraryA", &FailingLoadLibrary);
    Describe(Import::BoardInquire, "KvBrdInquire", &FailingBoardInquire);
    Describe(Import::SurfaceClose, "VizpaneClose", &LateSurfaceClose);
    return true;
}();

template <class T> T *At(HMODULE module, DWORD offset) {
    return reinterpret_cast<T *>(reinterpret_cast<BYTE *>(module) + offset);
}

// The module's import address table slot of the named function, or null.
void **ImportSlot(HMODULE module, const char *function) {
    auto *nt = At<IMAGE_NT_HEADERS>(module, At<IMAGE_DOS_HEADER>(module, 0)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto *library = At<IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress);
         library->Name != 0; ++library) {
        DWORD lookup = library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk;
        auto *names = At<IMAGE_THUNK_DATA>(module, lookup);
        auto *slots = At<IMAGE_THUNK_DATA>(module, library->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto *byName = At<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
            if (strcmp(reinterpret_cast<const char *>(byName->Name), function) == 0)
                return reinterpret_cast<void **>(&slots->u1.Function);
        }
    }
    return nullptr;
}

}  // namespace

const char *ImportName(Import import) { return Of(import).name; }

bool PatchImports(HMODULE module) {
    FailNothing();
    for (Control &c : g_controls) {
        void **slot = ImportSlot(module, c.name);
        if (!slot) return false;
        DWORD was;
        if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was)) return false;
        if (*slot != c.replacement) c.original = *slot;
        *slot = c.replacement;
        VirtualProtect(slot, sizeof *slot, was, &was);
        c.calls = c.passed = 0;
    }
    return true;
}

void FailCalls(Import import, unsigned first, unsigned count) {
    FailNothing();
    for (Control &c : g_controls) c.calls = c.passed = 0;
    Of(import).count = static_cast<LONG>(count);
    Of(import).first = static_cast<LONG>(first);
}

void FailNothing() {
    for (Control &c : g_controls) c.first = 0;
}

unsigned Calls(Import import) { return static_cast<unsigned>(Of(import).calls); }
unsigned Passed(Import import) { return static_cast<unsigned>(Of(import).passed); }

}  // namespace qx
