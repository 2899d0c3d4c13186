// Renderers marking frames while the plugin goes away, in both builds (on
// Windows the callers order themselves; natively a process-wide barrier is
// used where the kernel offers it). Run under the sanitizers.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "gpu_texture/frame_available.h"
#include "gpu_texture/gpu_texture_plugin.h"
#include "gpu_texture/in_flight_calls.h"
#include "tests/gpu_texture/plugin_test_support.h"

namespace velora::test {
namespace {

// Renderers keep calling the exported function while plugins come and go;
// each plugin's texture registrar is freed right after it, as the plugin
// registrar does. A call that slipped past the teardown would touch freed
// memory (AddressSanitizer) or race with the free (ThreadSanitizer).
TEST(FrameAvailableStormTest, CallsAcrossPluginDestructionNeverReachADeadRegistrar) {
  PrivateGpuLog log;
  LoopbackMessenger messenger;
  std::atomic<bool> stop{false};
  std::atomic<int64_t> calls{0};
  std::vector<std::thread> renderers;
  for (int i = 0; i < 4; ++i) {
    renderers.emplace_back([&, i] {
      while (!stop.load(std::memory_order_relaxed)) {
        gpu_texture_mark_frame_available(i);
        calls.fetch_add(1, std::memory_order_relaxed);
      }
    });
  }
  int64_t reached = 0;
  for (int cycle = 0; cycle < 50; ++cycle) {
    auto registrar = std::make_unique<RecordingTextureRegistrar>();
    auto plugin = GpuTexturePlugin::Create(&messenger, registrar.get(), PlatformGpuBackend());
    const int64_t calls_before = calls.load();
    while (calls.load() < calls_before + 20) {
      std::this_thread::yield();
    }
    plugin.reset();
    registrar->Retire();
    reached += registrar->total_marks();
    registrar.reset();
  }
  stop.store(true);
  for (std::thread& renderer : renderers) {
    renderer.join();
  }
  EXPECT_GT(reached, 0);
  EXPECT_EQ(RecordingTextureRegistrar::CallsAfterDeath(), 0);
  EXPECT_EQ(gpu_texture_plugin_instance.load(), nullptr);
}

// Each calling thread marks itself in a slot of its own; a thread that ends
// gives it back, so that renderers coming and going do not use them all up.
TEST(InFlightCallsTest, ThreadsGiveTheirSlotBackWhenTheyEnd) {
  const int before = InFlightCalls::SlotsInUse();
  for (int i = 0; i < 100; ++i) {
    std::thread([] { gpu_texture_mark_frame_available(1); }).join();
  }
  EXPECT_EQ(InFlightCalls::SlotsInUse(), before);
  std::thread([&] {
    gpu_texture_mark_frame_available(1);
    EXPECT_EQ(InFlightCalls::SlotsInUse(), before + 1);
  }).join();
}

}  // namespace
}  // namespace velora::test
