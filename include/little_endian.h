// Little-endian byte writers for the file headers our image writers build.
#pragma once

#include <cstdint>
#include <vector>

inline void Put16(std::vector<uint8_t> &out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(std::vector<uint8_t> &out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
