// alloc_counter.cpp: a counting global operator new for the GL test binary.
#include "alloc_counter.h"

#include <cstdlib>
#include <new>

std::atomic<bool> countingAllocations{false};
std::atomic<long> allocationCount{0};

#if !defined(__SANITIZE_ADDRESS__)
void* operator new(std::size_t size) {
  if (countingAllocations.load(std::memory_order_relaxed)) {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
#endif
