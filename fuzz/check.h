// A failed property stops the fuzzer with the line that failed, so that the
// crash report says which one.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void check(bool ok, int line) {
    if (!ok) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        std::abort();
    }
}

#define CHECK(ok) check((ok), __LINE__)
