// The replacement for Direct3D 11 in builds without it: makes the software
// objects with the checks a real device applies to the texture description.
#ifndef VELORA_GPU_TEXTURE_SOFTWARE_GPU_BACKEND_H_
#define VELORA_GPU_TEXTURE_SOFTWARE_GPU_BACKEND_H_

#include <cstdint>

#include "gpu_texture/com_ptr.h"
#include "gpu_texture/gpu_backend.h"
#include "gpu_texture/software_gpu_objects.h"

namespace velora {

// Largest width or height a feature level 11 device accepts.
constexpr uint32_t kMaxTextureDimension = 16384;

class SoftwareGpuBackend : public GpuBackend {
 public:
  bool CreateDevice(ComPtr<GpuDevice>* device, ComPtr<GpuContext>* context) override;
  // Refuses what a device refuses: a zero or oversized dimension, and
  // sharing without the one shareable configuration (one level, one sample).
  bool CreateTexture(GpuDevice* device,
                     const TextureDescription& description,
                     ComPtr<GpuTexture>* texture) override;
  // Every shareable texture has a distinct non-null handle.
  bool ReadSharedHandle(GpuTexture* texture, SharedHandle* handle) override;
};

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_SOFTWARE_GPU_BACKEND_H_
