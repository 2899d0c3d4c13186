#include "tests/support/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {

// Per thread and plain: an atomic increment would cost more than some of the
// operations the benchmarks measure.
thread_local size_t t_count = 0;
thread_local size_t t_bytes = 0;

}  // namespace

// In a translation unit of its own so that the compiler cannot pair these
// with the built-in operators inside the code under test. The array forms
// forward here by default; the nothrow form is replaced as well, because a
// sanitizer's runtime provides its own, which must not meet the delete here
// (std::stable_sort's buffer is made with it).
void* operator new(std::size_t size) {
  ++t_count;
  t_bytes += size;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return block;
}

void* operator new(std::size_t size, const std::nothrow_t& /*nothrow*/) noexcept {
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void operator delete(void* block, const std::nothrow_t& /*nothrow*/) noexcept {
  std::free(block);
}

void operator delete(void* block) noexcept {
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}

namespace velora {

AllocationCounter::AllocationCounter() : count_at_start_(t_count), bytes_at_start_(t_bytes) {}

size_t AllocationCounter::count() const {
  return t_count - count_at_start_;
}

size_t AllocationCounter::bytes() const {
  return t_bytes - bytes_at_start_;
}

}  // namespace velora
