// Acquisition into the host buffer: set-up, the frame commands, clean-up.
#include "kvd_state.h"

namespace {

uint32_t BoardMissing() {
    QxsSetFailure("The board handle does not name an open board (error %u).", KV_ERR_BOARD);
    return KV_ERR_BOARD;
}

uint32_t SetUp(KvBoard board, void *buffer, uint32_t imageBytes) {
    QxsSettings s;
    QxsGetSettings(&s);
    if (s.setupResult != 0) {
        QxsSetFailure("The board could not set up acquisition (error %u).", s.setupResult);
        return s.setupResult;
    }
    KvdLocked lock;
    SimBoard *b = FindBoard(board);
    if (!b) return BoardMissing();
    if (!buffer || imageBytes == 0) {
        QxsSetFailure("The board could not set up acquisition: no host buffer (error %u).",
                      KV_ERR_ARGUMENT);
        return KV_ERR_ARGUMENT;
    }
    AbortFrame(b);
    b->buffer = static_cast<uint8_t *>(buffer);
    b->bufferBytes = imageBytes;
    b->setUp = true;
    b->cancelPeriodMs = 0;
    WakeBoard(b);
    return 0;
}

uint32_t StartFrame(SimBoard *b) {
    if (!b->setUp) {
        QxsSetFailure("The board cannot acquire: acquisition is not set up (error %u).",
                      KV_ERR_NOT_SET_UP);
        return KV_ERR_NOT_SET_UP;
    }
    QxsSettings s;
    QxsGetSettings(&s);
    DiscardRaises(b, KV_SIGNAL_FRAME);
    b->frameActive = true;
    b->frameNumber = QxsStartFrame();
    b->frameDoomed = QxsNextWaitIsScripted() != 0;
    b->frameDueMs = NowMs() + s.frameMs;
    WakeBoard(b);
    return 0;
}

uint32_t Rearm() {
    QxsSettings s;
    QxsGetSettings(&s);
    if (s.rearmResult != 0)
        QxsSetFailure("The board could not be re-armed (error %u).", s.rearmResult);
    return s.rearmResult;
}

uint32_t Command(KvBoard board, uint32_t command, uint32_t mode) {
    KvdLocked lock;
    SimBoard *b = FindBoard(board);
    if (!b) return BoardMissing();
    if (command == KV_COMMAND_SNAP && mode == KV_MODE_SNAP_START)
        return StartFrame(b);
    if (command == KV_COMMAND_SNAP && mode == KV_MODE_SNAP_REARM) return Rearm();
    if (command == KV_COMMAND_ABORT && mode == KV_MODE_ABORT) {
        AbortFrame(b);
        return 0;
    }
    QxsSetFailure("The board has no command %u, mode %u (error %u).", command, mode, KV_ERR_COMMAND);
    return KV_ERR_COMMAND;
}

uint32_t CleanUp(KvBoard board) {
    KvdLocked lock;
    SimBoard *b = FindBoard(board);
    if (!b) return BoardMissing();
    AbortFrame(b);
    b->setUp = false;
    b->buffer = nullptr;
    b->bufferBytes = 0;
    WakeBoard(b);
    return 0;
}

}  // namespace

extern "C" uint32_t KvAqSetup(KvBoard board, void *buffer, uint32_t imageBytes, uint32_t lineBytes,
                              uint32_t arg5, uint32_t arg6, uint32_t arg7, uint8_t arg8,
                              uint32_t arg9, uint32_t arg10, uint32_t arg11) {
    return QxsEndCall(SetUp(board, buffer, imageBytes), "KvAqSetup %u %u %u %u %u %u %u %u %u",
                      imageBytes, lineBytes, arg5, arg6, arg7, static_cast<uint32_t>(arg8), arg9,
                      arg10, arg11);
}

extern "C" uint32_t KvAqCommand(KvBoard board, uint32_t command, uint32_t mode, uint32_t arg4,
                                uint32_t arg5) {
    return QxsEndCall(Command(board, command, mode), "KvAqCommand %u %u %u %u", command, mode, arg4,
                      arg5);
}

extern "C" uint32_t KvAqCleanUp(KvBoard board, uint32_t arg) {
    return QxsEndCall(CleanUp(board), "KvAqCleanUp %u", arg);
}
