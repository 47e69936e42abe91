// Threads of the source: started through the runtime so they may use it.
#pragma once

#include <windows.h>

typedef unsigned(__stdcall *ThreadBody)(void *argument);

// Starts body(argument) with the default stack size; null when it cannot start.
HANDLE StartThread(ThreadBody body, void *argument);

// Returns once thread has ended, handling messages sent to this thread's
// windows meanwhile (the ending thread may be sending some and waiting).
void WaitHandlingSentMessages(HANDLE thread);
