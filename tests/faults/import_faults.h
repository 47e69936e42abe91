// Failures injected into a loaded module through its import address table:
// the module runs unchanged, but chosen calls it makes into other libraries
// fail as they would without memory, threads, windows, a board or a library.
#pragma once

#include <windows.h>

namespace qx {

// The imports whose failures can be injected.
enum class Import {
    GlobalAlloc,        // returns null
    GlobalLock,         // returns null
    Malloc,             // malloc (and the operator new linked into the module): null
    BeginThread,        // _beginthreadex: 0
    GetModuleHandleEx,  // GetModuleHandleExA: FALSE
    CreateDialogParam,  // CreateDialogParamA: null
    LoadLibrary,        // LoadLibraryA: null
    BoardInquire,       // KvBrdInquire: a non-zero result, nothing written
    SurfaceClose,       // VizpaneClose: made a second late, holding the caller in it
    Count
};
const char *ImportName(Import import);

// Points the module's imports of every function above at a wrapper that
// counts its calls and fails the chosen ones; false when one is missing from
// the module's table (each is imported by the source). The table stays
// patched until the module is unloaded.
bool PatchImports(HMODULE module);

// From now on, calls first, first + 1, ... first + count - 1 (counted from 1)
// of import fail; count 0 fails every call from first on. Resets every count.
void FailCalls(Import import, unsigned first, unsigned count = 1);
// No call fails from now on; the counts go on.
void FailNothing();
// Calls of import since the last FailCalls (or since PatchImports), and
// those of them that were passed on.
unsigned Calls(Import import);
unsigned Passed(Import import);

}  // namespace qx
