#include "xfer/host_buffer.h"

#include <windows.h>

#include <cstdlib>

#include "ds/source_context.h"

namespace {

constexpr uint32_t KeptFrameLimit = uint32_t(64) << 20;

// Guards the buffer's address and size against the preview's reads, and the
// two fields below.
SRWLOCK g_lock = SRWLOCK_INIT;
// The buffer the preview holds, and the same once it has been let go of: the
// preview frees it when it lets go.
uint8_t *g_heldByPreview;
uint8_t *g_freedWithPreview;

struct Exclusive {
    Exclusive() { AcquireSRWLockExclusive(&g_lock); }
    ~Exclusive() { ReleaseSRWLockExclusive(&g_lock); }
    Exclusive(const Exclusive &) = delete;
    Exclusive &operator=(const Exclusive &) = delete;
};

void Publish(uint8_t *buffer, uint32_t bytes) {
    Exclusive locked;
    uint8_t *old = g_source.hostBuffer;
    g_source.hostBuffer = buffer;
    g_source.hostBufferSize = buffer ? bytes : 0;
    if (old == g_heldByPreview) g_freedWithPreview = old;
    else free(old);
}

bool HeldByPreview(const uint8_t *buffer) {
    Exclusive locked;
    return buffer && buffer == g_heldByPreview;
}

}  // namespace

bool ProvideHostBuffer(uint32_t imageBytes) {
    if (g_source.hostBuffer && g_source.hostBufferSize == imageBytes) return true;
    // Another size: the old buffer goes first, unless the preview holds it;
    // then it stays as it is until the new one is had.
    if (!HeldByPreview(g_source.hostBuffer)) Publish(nullptr, 0);
    auto *fresh = static_cast<uint8_t *>(malloc(imageBytes));
    if (!fresh) return false;
    Publish(fresh, imageBytes);
    return true;
}

bool HostBufferWorthKeeping() { return g_source.hostBufferSize <= KeptFrameLimit; }

void ReleaseHostBuffer(bool keepForNextEnable) {
    if (!keepForNextEnable) Publish(nullptr, 0);
}

void PreviewHoldsHostBuffer() {
    Exclusive locked;
    g_heldByPreview = g_source.hostBuffer;
}

void PreviewLetsGoOfHostBuffer() {
    Exclusive locked;
    free(g_freedWithPreview);
    g_freedWithPreview = g_heldByPreview = nullptr;
}

HostBufferRead::HostBufferRead() { AcquireSRWLockShared(&g_lock); }
HostBufferRead::~HostBufferRead() { ReleaseSRWLockShared(&g_lock); }
