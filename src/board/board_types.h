// Records of the board maker's libraries that the source stores or passes on.
// Their contents belong to the libraries; the source only keeps room for them.
#pragma once

#include <cstdint>

extern "C" {

// Handle of an opened board (pointer-sized).
typedef void *KvBoard;

// Board description filled by KvSysBrdFind and taken by KvBrdOpen.
struct KvBoardEntry {
    uint32_t family;
    uint32_t number;
    uint8_t reserved[56];
};

// A board signal record; KvSignalCreate fills it, the source passes its address.
struct KvSignal {
    uint32_t kind;
    uint32_t reserved;
    void *impl;
};

}  // extern "C"
