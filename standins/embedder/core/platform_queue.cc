#include "standins/embedder/core/platform_queue.h"

#include <utility>

namespace velora::standin {

PlatformQueue& PlatformQueue::Get() {
  static PlatformQueue* queue = new PlatformQueue();
  return *queue;
}

void PlatformQueue::Post(std::function<void()> task) {
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
    hook = wake_hook_;
  }
  if (hook) {
    hook();
  }
}

size_t PlatformQueue::RunPending() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(tasks_);
  }
  for (std::function<void()>& task : batch) {
    task();
    // Whatever the task holds goes now, on this thread, not when the batch ends.
    task = nullptr;
  }
  return batch.size();
}

size_t PlatformQueue::PendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.size();
}

void PlatformQueue::SetWakeHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_hook_ = std::move(hook);
}

}  // namespace velora::standin
