// How every transfer begins: its request is checked, the board's frame read
// and checked, the preview stopped and a fresh frame snapped into the host
// buffer. The order of the checks shows in condition codes and boxes, so each
// transfer states its own.
#pragma once

#include <cstdint>
#include <functional>

#include "twain.h"
#include "xfer/frame_view.h"

// Which of its two request checks a transfer makes first.
enum class FirstCheck { State, Message };

// TWCC_SUCCESS for a MSG_GET in a state the transfer accepts; otherwise
// TWCC_SEQERROR or TWCC_BADPROTOCOL, whichever fails first in the given order.
TW_UINT16 CheckTransferRequest(FirstCheck first, bool stateAccepted, TW_UINT16 message);

// A transfer's own test of a frame that fits the host buffer, before anything
// is snapped (whatever else the transfer must know): TWCC_SUCCESS, or the
// condition code the transfer fails with.
using FrameCheck = std::function<TW_UINT16(const FrameView &view)>;

// Makes the transfer's view of the frame, refuses a frame that does not fit
// the host buffer (TWCC_OPERATIONERROR), applies the transfer's check if it
// has one, stops the preview and snaps a fresh frame. TWCC_SUCCESS with
// `view` made, or the code to fail with (a failed snap has shown its own box;
// TWCC_SEQERROR when the source was disabled while the preview was stopped).
TW_UINT16 StartTransfer(FrameUse use, const FrameCheck &check, FrameView &view);
