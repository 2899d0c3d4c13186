// The outside video renderer of the demo, on a thread of its own: draws an
// animated test pattern into the video host window and, for every frame,
// announces the shared texture's frame through the executable's export
// (found as the renderer stand-in finds it), for as long as the demo runs.
#ifndef VELORA_STANDINS_EMBEDDER_DEMO_RENDERER_H_
#define VELORA_STANDINS_EMBEDDER_DEMO_RENDERER_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <thread>

namespace velora::standin {

class DemoRenderer {
 public:
  DemoRenderer() = default;
  ~DemoRenderer() { Stop(); }

  DemoRenderer(const DemoRenderer&) = delete;
  DemoRenderer& operator=(const DemoRenderer&) = delete;

  // `host` may be null (no drawing), `texture_id` negative (no marking).
  void Start(HWND host, int64_t texture_id, unsigned interval_ms);
  void Stop();

  uint64_t frames() const { return frames_.load(); }

 private:
  void Run(HWND host, int64_t texture_id, unsigned interval_ms);

  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<uint64_t> frames_{0};
};

// One frame of the pattern: colour bars, a moving box and the frame number.
void DrawTestPattern(HDC dc, const RECT& area, uint64_t frame);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_DEMO_RENDERER_H_
