// The seeded IDispatch::Invoke fuzz on one classTray: random members, flags,
// arguments and out pointers, checking after each call that the caller's
// arguments came back exactly as they were passed.
#pragma once

#include "common/win.h"

#include <cstdint>

namespace zanthel::bench {

// Shared with the parent process, which reads it after a crash.
struct FuzzProgress {
    volatile LONG current;  // the call under way
    volatile LONG changed;  // calls whose arguments came back changed
    volatile LONG failed;   // calls that returned a failure code
};

// Runs calls [first, last) of the sequence that seed makes. Each call's
// content depends only on the seed and its index, so a run split over
// several processes makes the same calls.
void RunFuzzCalls(std::uint64_t seed, long first, long last, FuzzProgress& progress);

}  // namespace zanthel::bench
