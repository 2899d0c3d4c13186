#include "gpu_texture/in_flight_calls.h"

#include <thread>

#if defined(__linux__)
#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace velora {

// A thread's own mark. Only its owner writes `depth`; waiters read it.
struct alignas(64) InFlightCalls::Slot {
  std::atomic<uint32_t> depth{0};
  std::atomic<bool> claimed{false};
};

namespace {

constexpr int kSlotCount = 64;

InFlightCalls::Slot g_slots[kSlotCount];
// Threads beyond the slots share one count and pay a read-modify-write.
alignas(64) std::atomic<uint32_t> g_overflow{0};
// Only ever turns from false to true, before anything guarded is published.
std::atomic<bool> g_barrier_in_use{false};
std::atomic<bool> g_prepared{false};

thread_local InFlightCalls::Slot* t_slot = nullptr;

// Gives the thread's slot back when the thread ends.
struct SlotReturn {
  InFlightCalls::Slot* slot = nullptr;
  ~SlotReturn() {
    if (slot != nullptr) {
      t_slot = nullptr;
      slot->claimed.store(false, std::memory_order_release);
    }
  }
};

InFlightCalls::Slot* ClaimSlot() {
  for (InFlightCalls::Slot& slot : g_slots) {
    bool expected = false;
    if (!slot.claimed.load(std::memory_order_relaxed) &&
        slot.claimed.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
      thread_local SlotReturn owner;
      owner.slot = &slot;
      t_slot = &slot;
      return &slot;
    }
  }
  return nullptr;
}

#if defined(__linux__)
bool RegisterProcessWideBarrier() {
  return syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0;
}
void ProcessWideBarrier() {
  // Registered before use, so the expedited barrier cannot be refused.
  (void)syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0);
}
#else
// Windows offers FlushProcessWriteBuffers, but Wine 8, where our Windows
// tests run, implements it as an empty stub; callers order themselves there.
bool RegisterProcessWideBarrier() {
  return false;
}
void ProcessWideBarrier() {}
#endif

}  // namespace

InFlightCalls::Scope::Scope() : slot_(t_slot != nullptr ? t_slot : ClaimSlot()) {
  if (slot_ == nullptr) {
    g_overflow.fetch_add(1, std::memory_order_seq_cst);
    return;
  }
  const uint32_t depth = slot_->depth.load(std::memory_order_relaxed) + 1;
  if (g_barrier_in_use.load(std::memory_order_relaxed)) {
    // The waiter's process-wide barrier orders this store before our read of
    // the pointer; only the compiler must be kept from swapping them.
    slot_->depth.store(depth, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
  } else {
    slot_->depth.store(depth, std::memory_order_seq_cst);
  }
}

InFlightCalls::Scope::~Scope() {
  if (slot_ == nullptr) {
    g_overflow.fetch_sub(1, std::memory_order_release);
    return;
  }
  slot_->depth.store(slot_->depth.load(std::memory_order_relaxed) - 1, std::memory_order_release);
}

void InFlightCalls::PrepareOrdering() {
  if (g_prepared.exchange(true)) {
    return;
  }
  if (RegisterProcessWideBarrier()) {
    g_barrier_in_use.store(true);
  }
}

void InFlightCalls::WaitForCallersToLeave() {
  if (g_barrier_in_use.load(std::memory_order_relaxed)) {
    ProcessWideBarrier();
  }
  // A slot read as 0 here belongs to a thread that either has left (its
  // release store is what we read) or will read the cleared pointer.
  for (Slot& slot : g_slots) {
    while (slot.depth.load(std::memory_order_seq_cst) != 0) {
      std::this_thread::yield();
    }
  }
  while (g_overflow.load(std::memory_order_seq_cst) != 0) {
    std::this_thread::yield();
  }
}

bool InFlightCalls::UsesProcessWideBarrier() {
  return g_barrier_in_use.load();
}

void InFlightCalls::ForceCallerSideOrderingForTesting() {
  g_prepared.store(true);
  g_barrier_in_use.store(false);
}

}  // namespace velora
