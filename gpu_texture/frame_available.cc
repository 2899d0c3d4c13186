#include "gpu_texture/frame_available.h"

#include <cstdio>

#include "gpu_texture/gpu_texture_plugin.h"
#include "gpu_texture/in_flight_calls.h"
#include "host/log_file.h"

namespace velora {

std::atomic<GpuTexturePlugin*> gpu_texture_plugin_instance{nullptr};

// On its own cache line: callers write it, and the pointer beside it is read
// on every call.
alignas(64) std::atomic<int32_t> mark_frame_call_count{0};

namespace {

// Not exact under concurrent calls, which only decides which calls log; a
// read-modify-write here would make every caller pay for exactness.
int32_t CountMarkFrameCall() {
  const int32_t previous = mark_frame_call_count.load(std::memory_order_relaxed);
  const int32_t next = previous < kMarkFrameCountWrap ? previous + 1 : kMarkFrameCountRestart;
  mark_frame_call_count.store(next, std::memory_order_relaxed);
  return next;
}

void LogMarkFrame(int64_t texture_id) {
  char line[kMarkFrameLineCapacity];
  (void)std::snprintf(line, sizeof line, "MarkFrameAvailable tid=%lld",
                      static_cast<long long>(texture_id));
  WriteGpuPluginLog(line);
}

}  // namespace

void PublishPluginInstance(GpuTexturePlugin* plugin) {
  InFlightCalls::PrepareOrdering();
  gpu_texture_plugin_instance.store(plugin, std::memory_order_seq_cst);
}

void RetirePluginInstance(GpuTexturePlugin* plugin) {
  GpuTexturePlugin* expected = plugin;
  // A later registration may have replaced the pointer; it stays then.
  gpu_texture_plugin_instance.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst);
  InFlightCalls::WaitForCallersToLeave();
}

}  // namespace velora

extern "C" void gpu_texture_mark_frame_available(int64_t texture_id) {
  using namespace velora;
  InFlightCalls::Scope in_flight;
  GpuTexturePlugin* plugin = gpu_texture_plugin_instance.load(std::memory_order_seq_cst);
  if (plugin == nullptr) {
    return;
  }
  flutter::TextureRegistrar* registrar = plugin->texture_registrar();
  if (registrar == nullptr) {
    return;
  }
  if (ShouldLogMarkFrame(CountMarkFrameCall())) {
    LogMarkFrame(texture_id);
  }
  // Whether the engine knew the id does not matter to the renderer.
  (void)registrar->MarkFrameAvailable(texture_id);
}
