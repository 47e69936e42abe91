// Little-endian bytes, as TWAIN containers and image files lay them out, and
// files read whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qx {

typedef std::vector<uint8_t> Bytes;

inline void Put16(Bytes &b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(Bytes &b, uint32_t v) {
    Put16(b, static_cast<uint16_t>(v));
    Put16(b, static_cast<uint16_t>(v >> 16));
}

// The value at `at`; all ones when b is too short.
inline uint32_t Get16(const Bytes &b, size_t at) {
    return at + 2 <= b.size() ? b[at] | b[at + 1] << 8 : 0xFFFFFFFF;
}

inline uint32_t Get32(const Bytes &b, size_t at) {
    return at + 4 <= b.size() ? Get16(b, at) | Get16(b, at + 2) << 16 : 0xFFFFFFFF;
}

// A whole file; empty when it cannot be read.
inline Bytes FileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

}  // namespace qx
