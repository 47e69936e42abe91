// What a fuzz target asserts about what a reader accepted: a failed check
// names itself and aborts, which libFuzzer reports as a crash with its input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define QX_FUZZ_CHECK(condition)                                                        \
    do {                                                                                \
        if (!(condition)) {                                                             \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                    \
        }                                                                               \
    } while (0)
