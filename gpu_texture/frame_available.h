// The executable's one export, through which an outside renderer announces a
// new frame of a shared texture, and the process-wide state it reads.
#ifndef VELORA_GPU_TEXTURE_FRAME_AVAILABLE_H_
#define VELORA_GPU_TEXTURE_FRAME_AVAILABLE_H_

#include <atomic>
#include <cstdint>

#ifdef _WIN32
#define VELORA_GPU_TEXTURE_EXPORT __declspec(dllexport)
#else
#define VELORA_GPU_TEXTURE_EXPORT
#endif

extern "C" {

// Tells the engine that texture `texture_id` has a new frame, on the
// caller's thread. Does nothing while no plugin (or no texture registrar)
// is there. Takes no lock of its own; the calls that write a GPU log line
// (the first ten, then every 120th) allocate and hold the log file's lock
// for that line, the others allocate nothing.
VELORA_GPU_TEXTURE_EXPORT void gpu_texture_mark_frame_available(int64_t texture_id);

}  // extern "C"

namespace velora {

class GpuTexturePlugin;

// The live plugin, not owned; null before registration and from the start
// of the plugin's destruction.
extern std::atomic<GpuTexturePlugin*> gpu_texture_plugin_instance;

// Makes `plugin` the one the exported function reaches.
void PublishPluginInstance(GpuTexturePlugin* plugin);

// Clears the process-wide pointer if it still names `plugin`, then returns
// once no thread is left inside the exported function, so that the plugin
// and its texture registrar can go.
void RetirePluginInstance(GpuTexturePlugin* plugin);

// Calls of the exported function that reached the registrar. Wraps from the
// last multiple of 120 below 2^31 back to 121, so every 120th call is still
// logged after the wrap, without overflow, and the calls after it never count
// as one of the first ten again.
constexpr int32_t kMarkFrameCountWrap = 2147483640;  // 120 * 17895697
constexpr int32_t kMarkFrameCountRestart = 121;
static_assert(kMarkFrameCountWrap % 120 == 0 && kMarkFrameCountWrap > INT32_MAX - 120,
              "wraps at the last multiple of 120");
static_assert(kMarkFrameCountRestart % 120 == 1, "keeps the cadence after the wrap");

extern std::atomic<int32_t> mark_frame_call_count;

// Whether call number `n` writes its line: the first ten, then every 120th.
constexpr bool ShouldLogMarkFrame(int32_t n) {
  return n <= 10 || n % 120 == 0;
}

// Capacity of the frame line's buffer; the longest line needs 44 bytes.
constexpr int kMarkFrameLineCapacity = 128;

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_FRAME_AVAILABLE_H_
