// The platform thread's task queue of the stand-in embedder. Whatever the
// real engine would do "later, on the platform thread" (replies to messages
// the host sent, for one) is posted here and runs when the platform thread
// drains the queue: the Windows shell does so from its message loop after the
// wake hook has nudged it, native tests call RunPending() themselves.
#ifndef VELORA_STANDINS_EMBEDDER_CORE_PLATFORM_QUEUE_H_
#define VELORA_STANDINS_EMBEDDER_CORE_PLATFORM_QUEUE_H_

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "standins/embedder/core/standin_export.h"

namespace velora::standin {

class VELORA_STANDIN_EXPORT PlatformQueue {
 public:
  // The process-wide queue; never destroyed, so tasks posted while the
  // process exits find it still there.
  static PlatformQueue& Get();

  PlatformQueue(const PlatformQueue&) = delete;
  PlatformQueue& operator=(const PlatformQueue&) = delete;

  // Queues `task` from any thread, then calls the wake hook (outside the
  // queue's lock, so the hook may post or drain itself).
  void Post(std::function<void()> task);

  // Runs, on the calling thread, the tasks that were queued when the call
  // began, in the order they were posted, and returns how many ran. Tasks
  // posted while these run wait for the next call: a task that re-posts
  // itself cannot keep the caller here forever.
  size_t RunPending();

  // Tasks queued and not yet started.
  size_t PendingCount() const;

  // Called after every Post, on the posting thread. Empty to remove.
  void SetWakeHook(std::function<void()> hook);

 private:
  PlatformQueue() = default;

  mutable std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  std::function<void()> wake_hook_;
};

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_CORE_PLATFORM_QUEUE_H_
