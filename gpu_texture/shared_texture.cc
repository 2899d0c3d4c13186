#include "gpu_texture/shared_texture.h"

#include <utility>

namespace velora {

TextureDescription SharedTextureDescription(uint32_t width, uint32_t height) {
  TextureDescription description;
  description.width = width;
  description.height = height;
  description.mip_levels = 1;
  description.array_size = 1;
  description.format = kFormatB8G8R8A8Unorm;
  description.sample_count = 1;
  description.sample_quality = 0;
  description.usage = kUsageDefault;
  description.bind_flags = kBindShaderResource | kBindRenderTarget;
  description.cpu_access_flags = 0;
  description.misc_flags = kResourceMiscShared;
  return description;
}

bool EnsureDevice(GpuBackend& backend, ComPtr<GpuDevice>& device, ComPtr<GpuContext>& context) {
  if (device && context) {
    return true;
  }
  ComPtr<GpuDevice> new_device;
  ComPtr<GpuContext> new_context;
  if (!backend.CreateDevice(&new_device, &new_context) || !new_device || !new_context) {
    return false;  // the locals release whatever the platform gave
  }
  device = std::move(new_device);
  context = std::move(new_context);
  return true;
}

bool CreateSharedTexture(GpuBackend& backend,
                         const ComPtr<GpuDevice>& device,
                         uint32_t width,
                         uint32_t height,
                         ComPtr<GpuTexture>& texture,
                         SharedHandle* handle_out) {
  if (!device || handle_out == nullptr) {
    return false;
  }
  ComPtr<GpuTexture> new_texture;
  if (!backend.CreateTexture(device.Get(), SharedTextureDescription(width, height), &new_texture) ||
      !new_texture) {
    return false;
  }
  SharedHandle handle = nullptr;
  if (!backend.ReadSharedHandle(new_texture.Get(), &handle) || handle == nullptr) {
    return false;  // the new texture goes with `new_texture`
  }
  texture = std::move(new_texture);
  *handle_out = handle;
  return true;
}

}  // namespace velora
