// How every transfer begins: its request is checked, the board's frame read
// and checked, the preview stopped and a fresh frame snapped into the host
// buffer. The order of the checks shows in condition codes and boxes, so each
// transfer states its own.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>

#include "twain.h"
#include "xfer/frame.h"

// Which of its two request checks a transfer makes first.
enum class FirstCheck { State, Message };

// TWCC_SUCCESS for a MSG_GET in a state the transfer accepts; otherwise
// TWCC_SEQERROR or TWCC_BADPROTOCOL, whichever fails first in the given order.
TW_UINT16 CheckTransferRequest(FirstCheck first, bool stateAccepted, TW_UINT16 message);

// A transfer's test of the frame before anything is snapped (against the host
// buffer, and whatever else the transfer must know): TWCC_SUCCESS, or the
// condition code the transfer fails with.
using FrameCheck = std::function<TW_UINT16(const FrameGeometry &frame)>;

// Reads the board parameters in the given order (the board sees them so),
// applies the transfer's check, stops the preview and snaps a fresh frame.
// TWCC_SUCCESS with `frame` read, or the code to fail with (a failed snap has
// shown its own box).
TW_UINT16 StartTransfer(std::initializer_list<uint32_t> parameters, const FrameCheck &check,
                        FrameGeometry &frame);
