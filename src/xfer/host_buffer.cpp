#include "xfer/host_buffer.h"

#include <windows.h>

#include <cstdlib>

#include "srw_lock.h"

namespace {

constexpr uint32_t KeptFrameLimit = uint32_t(64) << 20;

// Guards everything below against the preview's thread, and against a
// teardown on another thread than the application's.
SRWLOCK g_lock = SRWLOCK_INIT;
// The buffer of the moment.
uint8_t *g_buffer;
uint32_t g_bytes;
// The buffer the preview holds, and the same once it has been let go of: the
// preview frees it when it lets go.
HostBufferBytes g_heldByPreview;
uint8_t *g_freedWithPreview;

struct Exclusive : SrwLocked<true> {
    Exclusive() : SrwLocked(&g_lock) {}
};

struct Shared : SrwLocked<false> {
    Shared() : SrwLocked(&g_lock) {}
};

// Under the lock: buffer becomes the one of the moment. The old one is freed
// now, or by the preview that holds it when it lets go.
void Replace(uint8_t *buffer, uint32_t bytes) {
    uint8_t *old = g_buffer;
    g_buffer = buffer;
    g_bytes = buffer ? bytes : 0;
    if (old == g_heldByPreview.data) g_freedWithPreview = old;
    else free(old);
}

void Publish(uint8_t *buffer, uint32_t bytes) {
    Exclusive locked;
    Replace(buffer, bytes);
}

}  // namespace

uint8_t *ProvideHostBuffer(uint32_t imageBytes) {
    {
        Exclusive locked;
        if (g_buffer && g_bytes == imageBytes) return g_buffer;
        // Another size: the old buffer goes first, unless the preview holds
        // it; then it stays as it is until the new one is had.
        if (g_buffer != g_heldByPreview.data) Replace(nullptr, 0);
    }
    auto *fresh = static_cast<uint8_t *>(malloc(imageBytes));
    if (!fresh) return nullptr;
    Publish(fresh, imageBytes);
    return fresh;
}

bool HostBufferWorthKeeping() {
    Shared locked;
    return g_bytes <= KeptFrameLimit;
}

void ReleaseHostBuffer(bool keepForNextEnable) {
    if (!keepForNextEnable) Publish(nullptr, 0);
}

HostBufferBytes CurrentHostBuffer() {
    Shared locked;
    return {g_buffer, g_bytes};
}

void PreviewHoldsHostBuffer() {
    Exclusive locked;
    g_heldByPreview = {g_buffer, g_bytes};
}

void PreviewLetsGoOfHostBuffer() {
    Exclusive locked;
    free(g_freedWithPreview);
    g_freedWithPreview = nullptr;
    g_heldByPreview = {};
}

HostBufferBytes HostBufferHeldByPreview() {
    Shared locked;
    return g_heldByPreview;
}
