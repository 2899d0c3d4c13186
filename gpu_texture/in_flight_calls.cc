#include "gpu_texture/in_flight_calls.h"

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif
#if defined(__linux__)
#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace velora {

namespace {

constexpr int kSlotCount = 64;

InFlightCalls::Slot g_slots[kSlotCount];
alignas(64) std::atomic<uint32_t> g_shared{0};
std::atomic<bool> g_prepared{false};

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

// A slot goes back to the pool when its thread ends (its depth is 0 then).
// The platform's thread-end callbacks are used rather than a thread_local
// destructor: MinGW may free emulated thread-local storage before those run.
#ifdef _WIN32
void NTAPI ReturnSlot(void* slot) {
  if (slot != nullptr) {
    static_cast<InFlightCalls::Slot*>(slot)->claimed.store(false, std::memory_order_release);
  }
}
void ReturnSlotWhenThreadEnds(InFlightCalls::Slot* slot) {
  static const DWORD index = FlsAlloc(&ReturnSlot);
  if (index != FLS_OUT_OF_INDEXES) {
    FlsSetValue(index, slot);
  }
}
#else
extern "C" void ReturnSlot(void* slot) {
  static_cast<InFlightCalls::Slot*>(slot)->claimed.store(false, std::memory_order_release);
}
void ReturnSlotWhenThreadEnds(InFlightCalls::Slot* slot) {
  static pthread_key_t key;
  static const bool have_key = pthread_key_create(&key, &ReturnSlot) == 0;
  if (have_key) {
    pthread_setspecific(key, slot);
  }
}
#endif

}  // namespace

InFlightCalls::Slot* InFlightCalls::ClaimSlot() {
  for (Slot& slot : g_slots) {
    bool expected = false;
    if (!slot.claimed.load(std::memory_order_relaxed) &&
        slot.claimed.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
      ReturnSlotWhenThreadEnds(&slot);
      t_slot_ = &slot;
      return &slot;
    }
  }
  return nullptr;
}

void InFlightCalls::EnterShared() {
  g_shared.fetch_add(1, std::memory_order_seq_cst);
}

void InFlightCalls::LeaveShared() {
  g_shared.fetch_sub(1, std::memory_order_release);
}

void InFlightCalls::PrepareOrdering() {
  if (g_prepared.exchange(true)) {
    return;
  }
  if (RegisterProcessWideBarrier()) {
    barrier_in_use_.store(true);
  }
}

void InFlightCalls::WaitForCallersToLeave() {
  if (barrier_in_use_.load(std::memory_order_relaxed)) {
    ProcessWideBarrier();
  }
  // A slot read as 0 here belongs to a thread that either has left (its
  // release store is what we read) or will read the cleared pointer.
  for (Slot& slot : g_slots) {
    while (slot.depth.load(std::memory_order_seq_cst) != 0) {
      std::this_thread::yield();
    }
  }
  while (g_shared.load(std::memory_order_seq_cst) != 0) {
    std::this_thread::yield();
  }
}

int InFlightCalls::SlotsInUse() {
  int in_use = 0;
  for (const Slot& slot : g_slots) {
    in_use += slot.claimed.load() ? 1 : 0;
  }
  return in_use;
}

void InFlightCalls::ForceCallerSideOrderingForTesting() {
  g_prepared.store(true);
  barrier_in_use_.store(false);
}

}  // namespace velora
