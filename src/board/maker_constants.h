// The numbers of the board maker's libraries: board parameters, signal kinds,
// wait results, acquisition commands and board families. One definition for
// the source, the simulated board that implements the libraries and the
// benchmark that drives it.
#pragma once

#include <cstdint>

// Board parameters of KvBrdInquire.
enum : uint32_t {
    KV_IMAGE_WIDTH = 65537, KV_IMAGE_HEIGHT = 65538, KV_SIGNALS_PER_FRAME = 65539,
    KV_BITS_PER_PIXEL = 65540, KV_BYTES_PER_PIXEL = 65541, KV_IMAGE_BYTES = 65543,
    KV_LINE_BYTES = 65545
};

// Signal kinds of KvSignalCreate.
constexpr uint32_t KV_SIGNAL_FRAME = 4;
constexpr uint32_t KV_SIGNAL_CANCEL = 2;

// Results of KvSignalWait, and its timeout for no limit.
constexpr uint32_t KV_WAIT_OK = 0;
constexpr uint32_t KV_WAIT_TIMEOUT = 65536;
constexpr uint32_t KV_WAIT_CANCELLED = 65537;
constexpr uint32_t KV_WAIT_FOREVER = 0xFFFFFFFF;

// Acquisition commands of KvAqCommand (command, mode).
constexpr uint32_t KV_COMMAND_SNAP = 2;
constexpr uint32_t KV_MODE_SNAP_START = 2;
constexpr uint32_t KV_MODE_SNAP_REARM = 1;
constexpr uint32_t KV_COMMAND_ABORT = 5;
constexpr uint32_t KV_MODE_ABORT = 1;

// Board families, in the order the source counts them.
constexpr uint32_t KV_FAMILIES[] = {0x10, 0x20, 0x40};
