// Lets an owner wait until no thread is still inside calls that may have read
// a pointer the owner has just cleared. Callers only ever write a slot of
// their own thread: no read-modify-write on shared memory, no lock, and where
// the operating system offers a process-wide memory barrier, no fence either
// (the waiting side pays for the ordering instead).
#ifndef VELORA_GPU_TEXTURE_IN_FLIGHT_CALLS_H_
#define VELORA_GPU_TEXTURE_IN_FLIGHT_CALLS_H_

#include <atomic>
#include <cstdint>

namespace velora {

class InFlightCalls {
 public:
  // A thread's own mark, on a cache line of its own. Only its owner writes
  // `depth`; waiters read it. The slot fills its line itself, so that no
  // compiler pads it (MSVC warns when it must, C4324).
  struct alignas(64) Slot {
    std::atomic<uint32_t> depth{0};
    std::atomic<bool> claimed{false};
    char unused[64 - sizeof(std::atomic<uint32_t>) - sizeof(std::atomic<bool>)]{};
  };

  // Marks the calling thread as inside a call until destroyed. Everything the
  // call reads of the guarded pointer must be read inside the scope, with
  // sequentially consistent loads of the pointer itself. Inline: it is on
  // every frame's path.
  class Scope {
   public:
    Scope() : slot_(t_slot_ != nullptr ? t_slot_ : ClaimSlot()) {
      if (slot_ == nullptr) {
        EnterShared();
        return;
      }
      const uint32_t depth = slot_->depth.load(std::memory_order_relaxed) + 1;
      if (barrier_in_use_.load(std::memory_order_relaxed)) {
        // The waiter's process-wide barrier orders this store before our
        // read of the pointer; only the compiler must keep them in order.
        slot_->depth.store(depth, std::memory_order_relaxed);
        std::atomic_signal_fence(std::memory_order_seq_cst);
      } else {
        slot_->depth.store(depth, std::memory_order_seq_cst);
      }
    }
    ~Scope() {
      if (slot_ == nullptr) {
        LeaveShared();
        return;
      }
      slot_->depth.store(slot_->depth.load(std::memory_order_relaxed) - 1,
                         std::memory_order_release);
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    Slot* slot_;  // null: counted in the shared overflow count
  };

  // Chooses how callers order their mark before reading the pointer. Call
  // before publishing anything the scopes guard; idempotent.
  static void PrepareOrdering();

  // After the guarded pointer was cleared with a sequentially consistent
  // store: returns once every thread that may have read the old value has
  // left its scope. Must not be called from inside a scope.
  static void WaitForCallersToLeave();

  // True when callers run without a fence (a process-wide barrier is in use).
  static bool UsesProcessWideBarrier() { return barrier_in_use_.load(); }

  // Slots held by threads right now (for tests: threads give theirs back
  // when they end).
  static int SlotsInUse();

  // For measurements only, while nothing guarded is published: makes callers
  // pay for the ordering themselves, as on platforms without the barrier.
  static void ForceCallerSideOrderingForTesting();

 private:
  // The calling thread's slot, claimed on its first call and given back
  // when it ends; null when all slots are taken.
  static Slot* ClaimSlot();
  // Threads beyond the slots share one count and pay a read-modify-write.
  static void EnterShared();
  static void LeaveShared();

  static inline thread_local Slot* t_slot_ = nullptr;
  // Only ever turns from false to true, before anything guarded is published.
  static inline std::atomic<bool> barrier_in_use_{false};
};

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_IN_FLIGHT_CALLS_H_
