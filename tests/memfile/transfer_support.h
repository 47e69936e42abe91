// What the memory- and file-transfer tests share: a source ready to transfer
// (state 600) and readings of the simulated board's log.
#pragma once

#include <string>

#include "support/harness.h"

namespace qx {

// Opened and enabled without a user interface: state 600.
class ReadySourceTest : public SourceTest {
protected:
    void SetUp() override;
};

// Frames started since the board was configured (`KvAqCommand 2 2` lines).
int FramesStarted();
// True when the board's log has exactly this line.
bool Logged(const std::string &line);

// DAT_IMAGEMEMXFER / MSG_GET into the given buffer, with Memory.Flags.
TW_UINT16 MemoryStrip(LoadedSource &source, TW_IMAGEMEMXFER &strip, void *buffer,
                      TW_UINT32 length, TW_UINT32 flags = TWMF_APPOWNS | TWMF_POINTER);

// DAT_IMAGEFILEXFER / MSG_GET.
TW_UINT16 FileTransfer(LoadedSource &source);
// DAT_PENDINGXFERS with a message; the Count it wrote lands in *count.
TW_UINT16 Pending(LoadedSource &source, TW_UINT16 message, int *count = nullptr);

// A path in the temporary folder, unique to this test process.
std::string TempFile(const std::string &name);

}  // namespace qx
