#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property aborts, so libFuzzer keeps the input that broke it; NDEBUG never hides it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
