// Making the GPU objects behind one texture record: a device with its
// immediate context per record, and shareable BGRA textures on it.
#ifndef VELORA_GPU_TEXTURE_SHARED_TEXTURE_H_
#define VELORA_GPU_TEXTURE_SHARED_TEXTURE_H_

#include <cstdint>

#include "gpu_texture/com_ptr.h"
#include "gpu_texture/gpu_backend.h"

namespace velora {

// The one description every shared texture is made with: one BGRA level,
// no multisampling, GPU-only, shareable by a DXGI handle (no keyed mutex,
// no NT handle).
TextureDescription SharedTextureDescription(uint32_t width, uint32_t height);

// Makes a device and its immediate context unless both are held already.
// True when both are held afterwards; on failure both stay as they were.
bool EnsureDevice(GpuBackend& backend, ComPtr<GpuDevice>& device, ComPtr<GpuContext>& context);

// Makes a shareable texture of the given size on `device`. On success the
// texture replaces what `texture` held, its shared handle is written to
// `*handle_out` and true is returned; on failure both stay as they were.
bool CreateSharedTexture(GpuBackend& backend,
                         const ComPtr<GpuDevice>& device,
                         uint32_t width,
                         uint32_t height,
                         ComPtr<GpuTexture>& texture,
                         SharedHandle* handle_out);

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_SHARED_TEXTURE_H_
