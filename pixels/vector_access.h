// Unaligned 16-byte loads and stores of the vector kernels.
#pragma once

#include <emmintrin.h>

#include <cstdint>

inline __m128i Load(const uint8_t *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
inline void Store(uint8_t *p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v); }
