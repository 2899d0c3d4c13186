// The platform-neutral values of a shareable texture: its handle type and
// the fields of its description, with Direct3D 11's numbers.
#ifndef VELORA_GPU_TEXTURE_TEXTURE_DESCRIPTION_H_
#define VELORA_GPU_TEXTURE_TEXTURE_DESCRIPTION_H_

#include <cstdint>

namespace velora {

// A shared handle as the platform gives it: pointer-sized, opaque.
using SharedHandle = void*;

// The fields of a 2D texture description that this program sets, with the
// platform's values (D3D11_TEXTURE2D_DESC).
struct TextureDescription {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t mip_levels = 0;
  uint32_t array_size = 0;
  uint32_t format = 0;
  uint32_t sample_count = 0;
  uint32_t sample_quality = 0;
  uint32_t usage = 0;
  uint32_t bind_flags = 0;
  uint32_t cpu_access_flags = 0;
  uint32_t misc_flags = 0;
};

constexpr uint32_t kFormatB8G8R8A8Unorm = 87;  // DXGI_FORMAT_B8G8R8A8_UNORM
constexpr uint32_t kBindShaderResource = 0x8;  // D3D11_BIND_SHADER_RESOURCE
constexpr uint32_t kBindRenderTarget = 0x20;   // D3D11_BIND_RENDER_TARGET
constexpr uint32_t kResourceMiscShared = 0x2;  // D3D11_RESOURCE_MISC_SHARED
constexpr uint32_t kUsageDefault = 0;          // D3D11_USAGE_DEFAULT

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_TEXTURE_DESCRIPTION_H_
