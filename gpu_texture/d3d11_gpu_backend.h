// Direct3D 11 and DXGI behind the texture seam (Windows builds only).
#ifndef VELORA_GPU_TEXTURE_D3D11_GPU_BACKEND_H_
#define VELORA_GPU_TEXTURE_D3D11_GPU_BACKEND_H_

#include "gpu_texture/gpu_backend.h"

namespace velora {

class D3D11GpuBackend : public GpuBackend {
 public:
  // The default adapter, a hardware device, no creation flags, feature
  // levels 11_1, 11_0, 10_1, 10_0 in that order; nothing else is tried.
  bool CreateDevice(ComPtr<GpuDevice>* device, ComPtr<GpuContext>* context) override;
  bool CreateTexture(GpuDevice* device,
                     const TextureDescription& description,
                     ComPtr<GpuTexture>* texture) override;
  // The DXGI shared handle (IDXGIResource::GetSharedHandle). It is not a
  // kernel handle: it must never be passed to CloseHandle, and it ends with
  // the last reference to the texture.
  bool ReadSharedHandle(GpuTexture* texture, SharedHandle* handle) override;
};

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_D3D11_GPU_BACKEND_H_
