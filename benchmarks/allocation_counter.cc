#include "allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {

// Per thread and plain: an atomic increment would cost more than some of the
// operations being measured.
thread_local size_t t_allocations = 0;

}  // namespace

// In its own translation unit so that the compiler cannot pair these with
// the built-in operators inside benchmark code. The array and nothrow forms
// forward here by default.
void* operator new(std::size_t size) {
  ++t_allocations;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return block;
}

void operator delete(void* block) noexcept {
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}

namespace velora {

size_t AllocationCount() {
  return t_allocations;
}

}  // namespace velora
