#ifndef BENCHMARKS_ALLOCATION_COUNTER_H_
#define BENCHMARKS_ALLOCATION_COUNTER_H_

#include <cstddef>

namespace velora {

// Heap allocations made through operator new so far on the calling thread. Linking
// allocation_counter.cc replaces the global operator new to count them.
size_t AllocationCount();

}  // namespace velora

#endif  // BENCHMARKS_ALLOCATION_COUNTER_H_
