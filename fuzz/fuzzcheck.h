#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant must end the run the way a sanitizer does, so libFuzzer
// keeps the input that broke it; Q_ASSERT would vanish in release builds.
#define FUZZ_CHECK(condition)                                                               \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,       \
                         #condition);                                                       \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)
