#include "gpu_texture/gpu_texture_record.h"

#include <utility>

namespace velora {
namespace {

size_t SignExtended(int32_t value) {
  return static_cast<size_t>(static_cast<int64_t>(value));
}

}  // namespace

static_assert(sizeof(void*) != 8 || sizeof(FlutterDesktopGpuSurfaceDescriptor) == 72,
              "the embedder's descriptor record is 72 bytes on 64-bit builds");

GpuTextureRecord::GpuTextureRecord() {
  descriptor.struct_size = sizeof(FlutterDesktopGpuSurfaceDescriptor);
  descriptor.format = kFlutterDesktopPixelFormatBGRA8888;  // matches DXGI format 87
  descriptor.release_callback = nullptr;
  descriptor.release_context = nullptr;
}

void GpuTextureRecord::Publish(int32_t new_width,
                               int32_t new_height,
                               SharedHandle handle,
                               const ComPtr<GpuTexture>& handle_texture) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    width = new_width;
    height = new_height;
    published_handle_ = handle;
  }
  // Released after the new handle is out, never before.
  previous_texture_ = std::move(published_texture_);
  published_texture_ = handle_texture;
}

void GpuTextureRecord::Displace(std::unique_ptr<GpuTextureRecord> replaced) {
  for (std::unique_ptr<GpuTextureRecord>& older : replaced->displaced) {
    displaced.push_back(std::move(older));
  }
  replaced->displaced.clear();
  replaced->previous_texture_ = nullptr;
  replaced->published_texture_ = nullptr;
  replaced->texture = nullptr;
  replaced->context = nullptr;
  replaced->device = nullptr;
  displaced.push_back(std::move(replaced));
}

const FlutterDesktopGpuSurfaceDescriptor* GpuTextureRecord::Describe() {
  std::lock_guard<std::mutex> lock(mutex_);
  descriptor.handle = published_handle_;
  descriptor.width = SignExtended(width);
  descriptor.height = SignExtended(height);
  descriptor.visible_width = descriptor.width;
  descriptor.visible_height = descriptor.height;
  return &descriptor;
}

}  // namespace velora
