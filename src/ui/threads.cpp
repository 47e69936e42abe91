#include "ui/threads.h"

#include <process.h>

#include <cstdlib>

namespace {

// Threads started here that have not yet finished their body.
volatile LONG g_threadsInBody = 0;

struct ThreadStart {
    ThreadBody body;
    void *argument;
    HMODULE heldModule;
};

unsigned __stdcall RunBody(void *start) {
    ThreadStart run = *static_cast<ThreadStart *>(start);
    free(start);
    unsigned result = run.body(run.argument);
    // From here on the thread only returns into the runtime, or lets go of the
    // module it held and ends without returning into it.
    InterlockedDecrement(&g_threadsInBody);
    if (run.heldModule) FreeLibraryAndExitThread(run.heldModule, result);
    return result;
}

HANDLE Start(ThreadBody body, void *argument, HMODULE heldModule) {
    // Not new (std::nothrow): that throws and catches inside the runtime
    // when memory runs out, and the runtime's first exception takes
    // handles the module never gives back.
    auto *start = static_cast<ThreadStart *>(malloc(sizeof(ThreadStart)));
    if (!start) return nullptr;
    *start = ThreadStart{body, argument, heldModule};
    InterlockedIncrement(&g_threadsInBody);
    auto thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunBody, start, 0, nullptr));
    if (!thread) {
        InterlockedDecrement(&g_threadsInBody);
        free(start);
    }
    return thread;
}

bool InsideModule(DWORD64 address, HMODULE module) {
    auto base = reinterpret_cast<DWORD64>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(module);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(reinterpret_cast<const BYTE *>(module) +
                                                         dos->e_lfanew);
    return address >= base && address < base + nt->OptionalHeader.SizeOfImage;
}

// Where a thread executes, read while it is held still; true when it is not
// in module, has ended, or is this thread.
bool ThreadOutsideModule(HANDLE thread, HMODULE module) {
    if (!thread || WaitForSingleObject(thread, 0) != WAIT_TIMEOUT) return true;
    if (GetThreadId(thread) == GetCurrentThreadId()) return true;
    if (SuspendThread(thread) == static_cast<DWORD>(-1)) return false;
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL;
    bool read = GetThreadContext(thread, &context) != FALSE;
    ResumeThread(thread);
#if defined(_M_X64) || defined(__x86_64__)
    DWORD64 at = context.Rip;
#else
    DWORD64 at = context.Eip;
#endif
    return read && !InsideModule(at, module);
}

}  // namespace

HANDLE StartThread(ThreadBody body, void *argument) { return Start(body, argument, nullptr); }

HANDLE StartThreadHoldingModule(ThreadBody body, void *argument) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&RunBody), &module))
        return nullptr;
    HANDLE thread = Start(body, argument, module);
    if (!thread) FreeLibrary(module);
    return thread;
}

bool WaitHandlingSentMessages(HANDLE thread, DWORD limitMs) {
    DWORD started = GetTickCount();
    for (;;) {
        DWORD left = INFINITE;
        if (limitMs != INFINITE) {
            DWORD spent = GetTickCount() - started;
            left = spent < limitMs ? limitMs - spent : 0;
        }
        DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 + 1) {
            // Peeking runs the sent messages; nothing is taken from the queue.
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (woke == WAIT_FAILED) {
            // Never return while the thread may still run: wait without the messages.
            return WaitForSingleObject(thread, left) == WAIT_OBJECT_0;
        } else {
            return woke == WAIT_OBJECT_0;
        }
    }
}

bool WaitUntilThreadsLeaveModule(HMODULE module, std::initializer_list<HANDLE> threads,
                                 DWORD limitMs) {
    DWORD started = GetTickCount();
    auto allLeft = [&] {
        if (g_threadsInBody != 0) return false;
        for (HANDLE thread : threads)
            if (!ThreadOutsideModule(thread, module)) return false;
        return true;
    };
    while (!allLeft()) {
        if (GetTickCount() - started >= limitMs) return false;
        Sleep(1);
    }
    return true;
}
