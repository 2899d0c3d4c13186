#include "standins/renderer/renderer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace velora::standin {
namespace {

unsigned long CurrentThreadId() {
#ifdef _WIN32
  return GetCurrentThreadId();
#else
  return static_cast<unsigned long>(syscall(SYS_gettid));
#endif
}

struct Renderer {
  std::mutex mutex;
  std::condition_variable stop_requested;
  bool stopping = false;
  std::thread thread;
  std::atomic<int> calls{0};
  std::atomic<unsigned long> thread_id{0};

  void Run(MarkFrameFunction mark, int64_t texture_id, int frames, int interval_ms) {
    thread_id.store(CurrentThreadId());
    for (int frame = 0; frame < frames; ++frame) {
      if (frame > 0 && interval_ms > 0) {
        std::unique_lock<std::mutex> lock(mutex);
        if (stop_requested.wait_for(lock, std::chrono::milliseconds(interval_ms),
                                    [&] { return stopping; })) {
          return;
        }
      } else {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping) {
          return;
        }
      }
      mark(texture_id);
      calls.fetch_add(1);
    }
  }
};

// One renderer per process, as the scenario needs; kept until the process ends.
Renderer& TheRenderer() {
  static Renderer* renderer = new Renderer();
  return *renderer;
}

int JoinRenderer(bool stop_early) {
  Renderer& renderer = TheRenderer();
  if (stop_early) {
    std::lock_guard<std::mutex> lock(renderer.mutex);
    renderer.stopping = true;
    renderer.stop_requested.notify_all();
  }
  if (renderer.thread.joinable()) {
    renderer.thread.join();
  }
  return renderer.calls.load();
}

}  // namespace

MarkFrameFunction FindMarkFrameFunction() {
#ifdef _WIN32
  FARPROC found = GetProcAddress(GetModuleHandleW(nullptr), "gpu_texture_mark_frame_available");
  // Through the generic function type, as FARPROC is converted by convention.
  return reinterpret_cast<MarkFrameFunction>(reinterpret_cast<void (*)()>(found));
#else
  return nullptr;  // a native process has no export table to search
#endif
}

bool StartRendererWith(MarkFrameFunction mark, int64_t texture_id, int frames, int interval_ms) {
  Renderer& renderer = TheRenderer();
  if (mark == nullptr || renderer.thread.joinable()) {
    return false;
  }
  renderer.stopping = false;
  renderer.calls.store(0);
  renderer.thread = std::thread([&renderer, mark, texture_id, frames, interval_ms] {
    renderer.Run(mark, texture_id, frames, interval_ms);
  });
  return true;
}

bool StartRenderer(int64_t texture_id, int frames, int interval_ms) {
  return StartRendererWith(FindMarkFrameFunction(), texture_id, frames, interval_ms);
}

int WaitForRenderer() {
  return JoinRenderer(false);
}

int StopRenderer() {
  return JoinRenderer(true);
}

unsigned long RendererThreadId() {
  return TheRenderer().thread_id.load();
}

}  // namespace velora::standin
