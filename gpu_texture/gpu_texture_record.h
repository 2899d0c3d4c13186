// One texture of the GPU texture plugin: its GPU objects, its shared handle
// and what the engine reads back through the descriptor callback.
#ifndef VELORA_GPU_TEXTURE_GPU_TEXTURE_RECORD_H_
#define VELORA_GPU_TEXTURE_GPU_TEXTURE_RECORD_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "flutter_windows.h"
#include "gpu_texture/com_ptr.h"
#include "gpu_texture/gpu_backend.h"
#include "gpu_texture/texture_registrar.h"

namespace velora {

// Members are destroyed in reverse order: texture, context, device, then the
// descriptor and the source, as the record's end requires.
struct GpuTextureRecord {
  GpuTextureRecord();
  ~GpuTextureRecord() = default;
  GpuTextureRecord(const GpuTextureRecord&) = delete;
  GpuTextureRecord& operator=(const GpuTextureRecord&) = delete;

  // Records this one replaced under the same id, which the engine may still
  // call until the id's unregistration completes; they end with this one,
  // destroyed last. They keep only their source and descriptor (Displace).
  std::vector<std::unique_ptr<GpuTextureRecord>> displaced;

  // The GPU-surface source registered with the engine; its callback is
  // bound to this record. Null until registration.
  std::unique_ptr<flutter::TextureSource> source;
  // Written only by the descriptor callback once registered; the engine
  // reads it after the callback returns.
  FlutterDesktopGpuSurfaceDescriptor descriptor{};
  ComPtr<GpuDevice> device;
  ComPtr<GpuContext> context;
  ComPtr<GpuTexture> texture;  // null for a caller handle
  SharedHandle shared_handle = nullptr;
  // True when `shared_handle` belongs to `texture`, which this plugin made.
  bool owns_handle = false;
  // Written on the platform thread under `mutex`, read by the callback.
  int32_t width = 0;
  int32_t height = 0;
  int64_t texture_id = 0;

  // Makes `width`, `height` and `handle` what the next descriptor request
  // returns. `handle_texture` is the texture behind `handle` (null for a
  // caller's): it is kept, and so is the one published before it, because a
  // request that returned just before this call still names the old handle.
  // Platform thread.
  void Publish(int32_t new_width,
               int32_t new_height,
               SharedHandle handle,
               const ComPtr<GpuTexture>& handle_texture);

  // Takes `replaced` (and the records it displaced) into `displaced`. The
  // engine can reach only its source and descriptor, so its GPU objects go
  // at once. Platform thread.
  void Displace(std::unique_ptr<GpuTextureRecord> replaced);

  // The descriptor callback: the embedder's requested size is ignored. Any
  // thread; never null.
  const FlutterDesktopGpuSurfaceDescriptor* Describe();

 private:
  // Guards `width`, `height` and `published_handle_` between the platform
  // thread, which writes them, and the embedder's thread, which reads them.
  std::mutex mutex_;
  // The handle last published: after a failed re-creation it stays the old
  // one while `shared_handle` is null.
  SharedHandle published_handle_ = nullptr;
  // The textures behind the published handle and the one before it; only
  // the platform thread touches them.
  ComPtr<GpuTexture> published_texture_;
  ComPtr<GpuTexture> previous_texture_;
};

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_GPU_TEXTURE_RECORD_H_
