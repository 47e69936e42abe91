#include "ui/threads.h"

#include <process.h>

HANDLE StartThread(ThreadBody body, void *argument) {
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, argument, 0, nullptr));
}

void WaitHandlingSentMessages(HANDLE thread) {
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
        // Peeking runs the sent messages; nothing is taken from the queue.
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
