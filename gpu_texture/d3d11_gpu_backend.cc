#include "gpu_texture/d3d11_gpu_backend.h"

#include <dxgi.h>

#include <utility>

namespace velora {

bool D3D11GpuBackend::CreateDevice(ComPtr<GpuDevice>* device, ComPtr<GpuContext>* context) {
  static const D3D_FEATURE_LEVEL kLevels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0,
                                              D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0};
  ComPtr<ID3D11Device> new_device;
  ComPtr<ID3D11DeviceContext> new_context;
  D3D_FEATURE_LEVEL chosen_level{};  // not used beyond the call
  const HRESULT result = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, kLevels,
                                           static_cast<UINT>(sizeof kLevels / sizeof kLevels[0]),
                                           D3D11_SDK_VERSION, new_device.ReleaseAndGetAddressOf(),
                                           &chosen_level, new_context.ReleaseAndGetAddressOf());
  if (FAILED(result) || !new_device || !new_context) {
    return false;
  }
  *device = std::move(new_device);
  *context = std::move(new_context);
  return true;
}

bool D3D11GpuBackend::CreateTexture(GpuDevice* device,
                                    const TextureDescription& description,
                                    ComPtr<GpuTexture>* texture) {
  if (device == nullptr) {
    return false;
  }
  D3D11_TEXTURE2D_DESC desc{};
  desc.Width = description.width;
  desc.Height = description.height;
  desc.MipLevels = description.mip_levels;
  desc.ArraySize = description.array_size;
  desc.Format = static_cast<DXGI_FORMAT>(description.format);
  desc.SampleDesc.Count = description.sample_count;
  desc.SampleDesc.Quality = description.sample_quality;
  desc.Usage = static_cast<D3D11_USAGE>(description.usage);
  desc.BindFlags = description.bind_flags;
  desc.CPUAccessFlags = description.cpu_access_flags;
  desc.MiscFlags = description.misc_flags;
  ComPtr<ID3D11Texture2D> new_texture;
  if (FAILED(device->CreateTexture2D(&desc, nullptr, new_texture.ReleaseAndGetAddressOf())) ||
      !new_texture) {
    return false;
  }
  *texture = std::move(new_texture);
  return true;
}

bool D3D11GpuBackend::ReadSharedHandle(GpuTexture* texture, SharedHandle* handle) {
  if (texture == nullptr) {
    return false;
  }
  ComPtr<IDXGIResource> resource;
  if (FAILED(texture->QueryInterface(
          __uuidof(IDXGIResource), reinterpret_cast<void**>(resource.ReleaseAndGetAddressOf()))) ||
      !resource) {
    return false;
  }
  HANDLE shared = nullptr;
  if (FAILED(resource->GetSharedHandle(&shared))) {
    return false;
  }
  *handle = shared;
  return true;
}

GpuBackend& PlatformGpuBackend() {
  static D3D11GpuBackend* backend = new D3D11GpuBackend();  // kept until the process ends
  return *backend;
}

}  // namespace velora
