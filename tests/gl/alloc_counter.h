// alloc_counter.h: the GL test binary replaces global operator new (alloc_counter.cpp) so a
// test can count heap allocations over a stretch of frames. Not under AddressSanitizer, which
// brings its own allocator.
#pragma once

#include <atomic>

extern std::atomic<bool> countingAllocations;  // count while true
extern std::atomic<long> allocationCount;      // allocations counted so far
