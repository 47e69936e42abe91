// The one rule for sizes a source hands over: every product and sum of a
// size, count, stride or offset is taken here, in 64 bits, and fails when it
// overflows or exceeds what this process can hold in one block (a byte
// vector's max_size(), the bound the buffer pool also keeps). Windows-free,
// so that the readers using it can be fuzzed natively.
#pragma once

#include <cstdint>
#include <vector>

namespace checked {

// The largest block this process can hold.
inline uint64_t MaxBlock() { return uint64_t(std::vector<uint8_t>().max_size()); }

// *out = a * b; false on overflow or past MaxBlock().
inline bool Multiply(uint64_t a, uint64_t b, uint64_t *out) {
    if (a && b > MaxBlock() / a) return false;
    *out = a * b;
    return *out <= MaxBlock();
}

// *out = a + b; false on overflow or past MaxBlock().
inline bool Add(uint64_t a, uint64_t b, uint64_t *out) {
    if (a > MaxBlock() || b > MaxBlock() - a) return false;
    *out = a + b;
    return true;
}

// *out = a * b + c.
inline bool MultiplyAdd(uint64_t a, uint64_t b, uint64_t c, uint64_t *out) {
    uint64_t product = 0;
    return Multiply(a, b, &product) && Add(product, c, out);
}

}  // namespace checked
