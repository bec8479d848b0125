#pragma once

#include <cstdlib>

namespace tallix::fuzz {

// Aborts when a promise of the code under test is broken, so that libFuzzer keeps the input.
inline void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace tallix::fuzz
