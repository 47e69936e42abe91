// Ends whatever transfer is in progress: a memory transfer left before its
// last line releases its private copy of the frame.
#pragma once

void EndTransferInProgress();
