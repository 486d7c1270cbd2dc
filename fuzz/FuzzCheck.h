#pragma once
// A broken property ends the run with a message; libFuzzer then keeps the
// input that broke it as a crash artifact.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                      \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "%s:%d: property broken: %s: ", __FILE__, __LINE__,    \
                         #condition);                                                   \
            std::fprintf(stderr, __VA_ARGS__);                                          \
            std::fprintf(stderr, "\n");                                                 \
            std::abort();                                                               \
        }                                                                               \
    } while (0)
