// The memory transfer in progress and the host buffer.
//
// A transfer's strips are converted from the host buffer as the application
// asks for them, so a transfer holds no second frame. Nothing but a preview
// snaps into the host buffer while a transfer is in progress (a new transfer
// first ends the one in progress), and a preview may be started between two
// strips, on whichever thread runs the dialog: before it holds the host
// buffer it has the lines not yet delivered kept aside, and the strips after
// it come from those.
#pragma once

// Before a preview starts: keeps the lines of the transfer in progress that
// are not yet delivered. True when there is none or they are kept; false when
// there is no memory for them (the preview must then not start).
bool KeepMemoryTransferLines();

// Ends whatever memory transfer is in progress (a transfer left before its
// last line by MSG_ENDXFER, MSG_RESET, a disable or a close), and lets go of
// any lines kept for it.
void EndTransferInProgress();
