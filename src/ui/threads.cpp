#include "ui/threads.h"

#include <process.h>

HANDLE StartThread(ThreadBody body, void *argument) {
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, argument, 0, nullptr));
}

void WaitHandlingSentMessages(HANDLE thread) {
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 + 1) {
            // Peeking runs the sent messages; nothing is taken from the queue.
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (woke == WAIT_FAILED) {
            // Never return while the thread may still run: wait without the messages.
            if (WaitForSingleObject(thread, INFINITE) != WAIT_OBJECT_0) return;
        } else {
            return;
        }
    }
}
