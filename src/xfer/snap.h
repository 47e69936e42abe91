// The capture of one fresh frame into the host buffer, shared by the transfers.
#pragma once

// true when a new frame is in the host buffer. On failure the sequence has
// shown its own box; the caller reports its own error.
bool SnapImage(bool twoSignalFrames);
