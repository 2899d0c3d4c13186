#include "tests/support/platform_probe.h"

#include <d3d11.h>
#include <dxgi.h>
#include <powrprof.h>

#include "gpu_texture/com_ptr.h"

namespace velora::test {

namespace {

bool TryToShareATexture() {
  ComPtr<ID3D11Device> device;
  if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                               D3D11_SDK_VERSION, device.ReleaseAndGetAddressOf(), nullptr,
                               nullptr))) {
    return false;
  }
  D3D11_TEXTURE2D_DESC desc{};
  desc.Width = 64;
  desc.Height = 64;
  desc.MipLevels = 1;
  desc.ArraySize = 1;
  desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
  desc.MiscFlags = D3D11_RESOURCE_MISC_SHARED;
  ComPtr<ID3D11Texture2D> texture;
  if (FAILED(device->CreateTexture2D(&desc, nullptr, texture.ReleaseAndGetAddressOf()))) {
    return false;
  }
  ComPtr<IDXGIResource> resource;
  if (FAILED(texture->QueryInterface(
          __uuidof(IDXGIResource), reinterpret_cast<void**>(resource.ReleaseAndGetAddressOf())))) {
    return false;
  }
  HANDLE handle = nullptr;
  return SUCCEEDED(resource->GetSharedHandle(&handle)) && handle != nullptr;
}

bool TryToJoinAnExecutionState() {
  const EXECUTION_STATE before = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  ULONG system = 0;
  const bool joined =
      CallNtPowerInformation(SystemExecutionState, nullptr, 0, &system, sizeof system) == 0 &&
      (system & ES_SYSTEM_REQUIRED) != 0;
  (void)SetThreadExecutionState(before != 0 ? before : ES_CONTINUOUS);
  return joined;
}

}  // namespace

bool PlatformJoinsExecutionStates() {
  static const bool joins = TryToJoinAnExecutionState();
  return joins;
}

bool PlatformSharesTextures() {
  static const bool shares = TryToShareATexture();
  return shares;
}

}  // namespace velora::test
