// The capture of one fresh frame: start it, wait for the frame signal, treat a
// cancelled wait as a bad frame and a timed-out one as a reason to re-arm.
#include "xfer/snap.h"

#include <cstdint>

#include "board/board.h"
#include "ds/errors.h"
#include "ds/source_context.h"

namespace {

// A fifth attempt never delivers: the limit is tested before the frame is taken.
constexpr uint32_t MAX_SNAP_ATTEMPTS = 5;

// The sequence is shared by every transfer, yet its texts name the memory transfer.
constexpr const char *SnapErrorText = "Error snapping image in ImageMemXferMsg.";
constexpr const char *SnapTimedOutText = "Timed out snapping image in ImageMemXferMsg.";
constexpr const char *SnapLimitText = "Exceeded the max. number of snaps in ImageMemXferMsg.";

bool FailSnap(const char *text) {
    ShowQuorvexError(text);
    return false;
}

}  // namespace

bool SnapImage(bool twoSignalFrames) {
    uint32_t attempts = 0;
    bool done = false;
    for (;;) {
        BoardCommand(KV_COMMAND_SNAP, KV_MODE_SNAP_START);
        ++attempts;
        switch (BoardWaitForFrame(twoSignalFrames)) {
        case KV_WAIT_OK:
            done = true;
            break;
        case KV_WAIT_CANCELLED:
            BoardCommand(KV_COMMAND_ABORT, KV_MODE_ABORT);
            break;
        case KV_WAIT_TIMEOUT:
            if (BoardCommand(KV_COMMAND_SNAP, KV_MODE_SNAP_REARM) != 0)
                return FailSnap(SnapTimedOutText);
            break;
        default:
            return FailSnap(SnapErrorText);
        }
        if (attempts >= MAX_SNAP_ATTEMPTS) return FailSnap(SnapLimitText);
        if (done) return true;
    }
}
