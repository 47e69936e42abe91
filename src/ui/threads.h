// Threads of the source: started through the runtime so they may use it.
#pragma once

#include <windows.h>

#include <initializer_list>

typedef unsigned(__stdcall *ThreadBody)(void *argument);

// Starts body(argument) with the default stack size; null when it cannot start.
HANDLE StartThread(ThreadBody body, void *argument);
// The same for a thread that may need the loader lock to finish its body (one
// that handles windows): it keeps the module loaded until it has ended.
HANDLE StartThreadHoldingModule(ThreadBody body, void *argument);

// Returns once thread has ended, handling messages sent to this thread's
// windows meanwhile (the ending thread may be sending some and waiting).
// With a time limit, false when the thread still runs after it.
bool WaitHandlingSentMessages(HANDLE thread, DWORD limitMs = INFINITE);

// For the module's unload, when no thread can end (ending needs the loader
// lock the unloading thread holds): returns true once every thread started
// here has finished its body and none of threads (other than this one)
// executes module's code any more; false when that has not happened within
// limitMs.
bool WaitUntilThreadsLeaveModule(HMODULE module, std::initializer_list<HANDLE> threads,
                                 DWORD limitMs);
