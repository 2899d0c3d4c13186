// Heap allocations counted by a replaced global operator new, for tests that
// check what an operation allocates and for benchmarks that report it. Link
// velora_allocation_counter (an object library, so that the replacement is
// always the one linked) into the binary.
#ifndef TESTS_SUPPORT_ALLOCATION_COUNTER_H_
#define TESTS_SUPPORT_ALLOCATION_COUNTER_H_

#include <cstddef>

namespace velora {

// Counts the allocations, and their bytes, made through operator new on the
// calling thread while it lives.
class AllocationCounter {
 public:
  AllocationCounter();
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;

  size_t count() const;
  size_t bytes() const;

 private:
  size_t count_at_start_;
  size_t bytes_at_start_;
};

}  // namespace velora

#endif  // TESTS_SUPPORT_ALLOCATION_COUNTER_H_
