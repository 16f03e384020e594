#pragma once

// A fuzz target states what must hold for every input with Check: a
// failure aborts, which both the fuzzer and the corpus replay report.

#include <cstdlib>

namespace fuzz_support {

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace fuzz_support
