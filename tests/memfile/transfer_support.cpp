#include "transfer_support.h"

#include <cstdio>
#include <cstring>

namespace qx {

void ReadySourceTest::SetUp() {
    SourceTest::SetUp();
    ASSERT_EQ(source->Open(), TWRC_SUCCESS);
    ASSERT_EQ(source->Enable(false), TWRC_SUCCESS);
    ASSERT_EQ(source->PendingCount(), 1);
    ASSERT_TRUE(Boxes().empty());
}

int FramesStarted() { return static_cast<int>(BoardLogMatching("KvAqCommand 2 2 ").size()); }

bool Logged(const std::string &line) {
    for (const std::string &l : BoardLog())
        if (l == line) return true;
    return false;
}

TW_UINT16 MemoryStrip(LoadedSource &source, TW_IMAGEMEMXFER &strip, void *buffer,
                      TW_UINT32 length, TW_UINT32 flags) {
    memset(&strip, 0xEE, sizeof strip);
    strip.Memory.Flags = flags;
    strip.Memory.Length = length;
    strip.Memory.TheMem = buffer;
    return source.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
}

TW_UINT16 FileTransfer(LoadedSource &source) {
    return source.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
}

TW_UINT16 Pending(LoadedSource &source, TW_UINT16 message, int *count) {
    TW_PENDINGXFERS pending = {0xBEEF, 0};
    TW_UINT16 result = source.Call(DG_CONTROL, DAT_PENDINGXFERS, message, &pending);
    if (count) *count = pending.Count;
    return result;
}

std::string TempFile(const std::string &name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    char prefix[32];
    snprintf(prefix, sizeof prefix, "qxmf%lu-", GetCurrentProcessId());
    return std::string(folder) + prefix + name;
}

}  // namespace qx
