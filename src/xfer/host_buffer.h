// The frame's memory: the one host buffer the board captures into, from the
// enable that provides it until the teardown that lets go of it. Its address
// and size live here alone; the transfers and the preview read its bytes
// through a frame view (xfer/frame_view.h), made on what this hands out.
//
// Threads. An enable provides the buffer and a transfer reads it on the
// application's thread; a teardown lets go of it on whichever thread disables
// or closes the source, or at the module's unload; the application makes one
// of these calls at a time. A preview reads on its own thread, for as long as
// it runs. Every read and write of the address and size, here and of the
// preview's hold, is made under one lock, whatever thread makes it.
//
// Why the preview holds its buffer: it checks the frame against the buffer
// once, at its start, and then reads frame after frame without the lock while
// enables and teardowns may come and go. A buffer it holds is never freed under
// it: when an enable or a teardown lets go of that buffer, it is freed only
// when the preview lets go too. So a preview that outlived a teardown (the
// teardown could not wait for it) reads only its own old buffer, never the
// next enable's; and it ends after the pass it is in, since the teardown
// cleared its running flag and the next preview begins only once it has
// ended (ui/preview.h).
#pragma once

#include <cstdint>

// The buffer's bytes, as a view is made on them; null when there is none.
struct HostBufferBytes {
    const uint8_t *data = nullptr;
    uint64_t size = 0;
};

// At enable: a host buffer of imageBytes for the board to capture into; the
// one the last disable kept serves again while the frame keeps its size. Null
// when none can be had.
uint8_t *ProvideHostBuffer(uint32_t imageBytes);

// Whether a disable keeps the buffer for the next enable: an application that
// follows TWAIN disables and enables around every frame, and a fresh buffer's
// pages are brought in by the first frame written into them, at several times
// the cost of a copy of the image. Only frames up to 64 MB are kept.
bool HostBufferWorthKeeping();

// At a teardown: keeps the buffer for the next enable, or lets go of it.
void ReleaseHostBuffer(bool keepForNextEnable);

// The buffer of the moment, which a transfer reads.
HostBufferBytes CurrentHostBuffer();

// On the preview's thread, as its run begins (the run before it has ended):
// it holds the buffer of the moment. As the run ends: it lets go.
void PreviewHoldsHostBuffer();
void PreviewLetsGoOfHostBuffer();

// The buffer the preview holds, which it reads.
HostBufferBytes HostBufferHeldByPreview();
