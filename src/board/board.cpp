#include "board/board.h"

#include "board/maker_api.h"
#include "ds/source_context.h"

void BoardLibraryVersion(uint32_t *major, uint32_t *minor) {
    *major = 0;
    *minor = 0;
    KvDVersion(major, minor);
}

uint32_t BoardCount(uint32_t family) {
    uint32_t count = 0;
    KvSysBrdEnum(family, &count);
    return count;
}

uint32_t BoardFind(uint32_t family, uint32_t number, KvBoardEntry *entry) {
    return KvSysBrdFind(family, number, entry);
}

uint32_t BoardSelectDialog(uint32_t *family, uint32_t *number) {
    uint32_t unused3 = 0, unused4 = 0;
    *family = 0;
    *number = 0;
    return DoBrdOpenDialog(1, 0xD0, family, number, &unused3, &unused4);
}

uint32_t BoardOpen(KvBoardEntry *entry) {
    uint32_t result = KvBrdOpen(entry, &g_source.boardHandle, 1);
    g_source.boardOpen = (result == 0);
    return result;
}

void BoardClose() {
    if (g_source.boardOpen) KvBrdClose(g_source.boardHandle);
    g_source.boardOpen = false;
}

uint32_t BoardInquire(uint32_t parameter) {
    uint32_t value = 0;
    if (!g_source.boardOpen) return 0;
    if (KvBrdInquire(g_source.boardHandle, parameter, &value) != 0) return 0;
    return value;
}

void BoardSignalCreate(uint32_t kind, KvSignal *signal) {
    KvSignalCreate(g_source.boardHandle, kind, signal);
}

uint32_t BoardSignalWait(KvSignal *signal, uint32_t timeoutMs) {
    uint32_t detail = 0;
    return KvSignalWait(g_source.boardHandle, signal, timeoutMs, &detail);
}

uint32_t BoardWaitForFrame(bool twoSignalFrames) {
    uint32_t result = BoardSignalWait(&g_source.frameSignal, FRAME_WAIT_MS);
    if (twoSignalFrames && result == KV_WAIT_OK)
        result = BoardSignalWait(&g_source.frameSignal, FRAME_WAIT_MS);
    return result;
}

void BoardSignalCancel(KvSignal *signal) { KvSignalCancel(g_source.boardHandle, signal); }

void BoardSignalFree(KvSignal *signal) { KvSignalFree(g_source.boardHandle, signal); }

uint32_t BoardAcquireSetup(void *buffer, uint32_t imageBytes, uint32_t lineBytes) {
    return KvAqSetup(g_source.boardHandle, buffer, imageBytes, lineBytes, 3, 4, 0, 0, 1, 1, 0);
}

uint32_t BoardCommand(uint32_t command, uint32_t mode) {
    return KvAqCommand(g_source.boardHandle, command, mode, 0, 0);
}

void BoardAcquireCleanUp() { KvAqCleanUp(g_source.boardHandle, 0); }

uint32_t BoardQTabMode() {
    uint32_t mode = 0;
    QXQTabModeRequest(g_source.boardHandle, 1, &mode);
    return mode;
}

void BoardShowError() { QXErrorShow(g_source.boardHandle); }

uint32_t BoardWriteImageFile(const char *fileName, const void *pixels, uint32_t width,
                             uint32_t height, uint32_t bitDepth) {
    return QXIOWriteSingle(fileName, pixels, width, height, bitDepth, 0);
}

void BoardShowFileError(uint32_t code) { QXIOErrorShow(code); }

void SurfaceCreate(uint32_t *surface, uint32_t width, uint32_t height, uint32_t depth,
                   HWND owner) {
    VizpaneCreate(surface, width, height, depth, owner);
}

void *SurfacePixels(uint32_t surface) {
    void *pixels = nullptr;
    VizpaneGetBitmap(surface, &pixels);
    return pixels;
}

bool SurfaceIsOpen(uint32_t surface) { return VizpaneIsOpen(surface) != 0; }

void SurfaceBlit(uint32_t surface) { VizpaneBlit(surface); }

void SurfaceClose(uint32_t surface) { VizpaneClose(surface); }
