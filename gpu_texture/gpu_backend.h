// The narrow seam between the texture logic and the graphics platform: make
// a device, make a shareable texture, read its shared handle. Releasing is
// the holders' job. Windows builds use Direct3D 11 and DXGI; other builds a
// software replacement with the same contracts.
#ifndef VELORA_GPU_TEXTURE_GPU_BACKEND_H_
#define VELORA_GPU_TEXTURE_GPU_BACKEND_H_

#include <cstdint>

#include "gpu_texture/com_ptr.h"
#include "gpu_texture/texture_description.h"

#ifdef _WIN32
#include <d3d11.h>
#else
#include "gpu_texture/software_gpu_objects.h"
#endif

namespace velora {

#ifdef _WIN32
using GpuDevice = ID3D11Device;
using GpuContext = ID3D11DeviceContext;
using GpuTexture = ID3D11Texture2D;
#else
using GpuDevice = SoftwareDevice;
using GpuContext = SoftwareContext;
using GpuTexture = SoftwareTexture;
#endif

class GpuBackend {
 public:
  virtual ~GpuBackend() = default;

  // A new device with its immediate context. On failure returns false and
  // leaves both outputs empty.
  virtual bool CreateDevice(ComPtr<GpuDevice>* device, ComPtr<GpuContext>* context) = 0;

  // A new texture on `device`, without initial data. On failure returns
  // false and leaves `texture` empty.
  virtual bool CreateTexture(GpuDevice* device,
                             const TextureDescription& description,
                             ComPtr<GpuTexture>* texture) = 0;

  // The texture's shared handle. False when the platform gives none; a null
  // handle may come with true, and the caller decides about it.
  virtual bool ReadSharedHandle(GpuTexture* texture, SharedHandle* handle) = 0;
};

// The backend of this build: Direct3D 11 on Windows, software elsewhere.
// Lives until the process ends.
GpuBackend& PlatformGpuBackend();

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_GPU_BACKEND_H_
