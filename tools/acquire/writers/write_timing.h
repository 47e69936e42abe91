// When the writer may begin a frame's file. It waits until the next transfer
// has begun, so that the enable and disable around each transfer do not share
// the processor with the encoder; at once when the next transfer waits for
// room; and no longer than LongestWait after its frame came (a frame taken
// through the source's dialog may be the last for a while). Kept under the
// writer's lock.
#pragma once

#include <chrono>
#include <cstdint>

class WriteTiming {
public:
    static constexpr std::chrono::milliseconds LongestWait{25};

    // The transfer of frame `index` begins.
    void TransferBegins(uint32_t index) { transferring_ = index; }
    // Whether the next transfer waits for the writer to make room.
    void RoomWanted(bool wanted) { roomWanted_ = wanted; }
    bool MayBegin(uint32_t frameIndex) const { return roomWanted_ || transferring_ > frameIndex; }

private:
    uint32_t transferring_ = 0;  // the frame whose transfer began last
    bool roomWanted_ = false;
};
