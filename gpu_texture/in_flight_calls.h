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
  struct Slot;

  // Marks the calling thread as inside a call until destroyed. Everything the
  // call reads of the guarded pointer must be read inside the scope, with
  // sequentially consistent loads of the pointer itself.
  class Scope {
   public:
    Scope();
    ~Scope();
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
  static bool UsesProcessWideBarrier();

  // For measurements only, while nothing guarded is published: makes callers
  // pay for the ordering themselves, as on platforms without the barrier.
  static void ForceCallerSideOrderingForTesting();
};

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_IN_FLIGHT_CALLS_H_
