// The frame's memory: the one host buffer the board captures into, from the
// enable that provides it until the teardown that lets go of it.
//
// The transfers read it on the application's thread as g_source.hostBuffer and
// hostBufferSize. The preview thread holds the buffer it started with until it
// ends, and a buffer let go of meanwhile is freed when the preview lets go of
// it (the preview always ends before the module unloads, since it keeps the
// module loaded). Everything here is called on the application's thread,
// except the preview's letting go and its reads.
#pragma once

#include <cstdint>

// At enable: a host buffer of imageBytes in g_source.hostBuffer; the one the
// last disable kept serves again while the frame keeps its size. False when
// none can be had.
bool ProvideHostBuffer(uint32_t imageBytes);

// Whether a disable keeps the buffer for the next enable: an application that
// follows TWAIN disables and enables around every frame, and a fresh buffer's
// pages are brought in by the first frame written into them, at several times
// the cost of a copy of the image. Only frames up to 64 MB are kept.
bool HostBufferWorthKeeping();

// At a teardown: keeps the buffer for the next enable, or lets go of it.
void ReleaseHostBuffer(bool keepForNextEnable);

// A starting preview holds the buffer of the moment; it lets go when it ends.
void PreviewHoldsHostBuffer();
void PreviewLetsGoOfHostBuffer();

// The preview reads g_source.hostBuffer and hostBufferSize only inside one of
// these: meanwhile an enable does not replace them.
class HostBufferRead {
public:
    HostBufferRead();
    ~HostBufferRead();
    HostBufferRead(const HostBufferRead &) = delete;
    HostBufferRead &operator=(const HostBufferRead &) = delete;
};
