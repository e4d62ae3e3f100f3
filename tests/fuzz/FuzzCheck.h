// What every fuzz target does with a broken promise: abort, so libFuzzer keeps the input.
#pragma once

#include <cstdlib>

inline void check(bool ok)
{
    if (!ok)
        std::abort();
}
