#include "gpu_texture/software_gpu_backend.h"

#include <cstdint>

namespace velora {
namespace {

std::atomic<int> g_live_devices{0};
std::atomic<int> g_live_contexts{0};
std::atomic<int> g_live_textures{0};

// Handles look like the platform's: small, non-null and distinct, 64 apart.
SharedHandle NextSharedHandle() {
  static std::atomic<uintptr_t> next{0x40000002u};
  return reinterpret_cast<SharedHandle>(next.fetch_add(0x40, std::memory_order_relaxed));
}

}  // namespace

SoftwareObjectCounts LiveSoftwareObjects() {
  SoftwareObjectCounts counts;
  counts.devices = g_live_devices.load();
  counts.contexts = g_live_contexts.load();
  counts.textures = g_live_textures.load();
  return counts;
}

unsigned long SoftwareObject::AddRef() {
  return references_.fetch_add(1, std::memory_order_relaxed) + 1;
}

unsigned long SoftwareObject::Release() {
  const unsigned long remaining = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (remaining == 0) {
    delete this;
  }
  return remaining;
}

SoftwareDevice::SoftwareDevice() {
  ++g_live_devices;
}
SoftwareDevice::~SoftwareDevice() {
  --g_live_devices;
}

SoftwareContext::SoftwareContext(SoftwareDevice* device) : device_(device) {
  ++g_live_contexts;
}
SoftwareContext::~SoftwareContext() {
  --g_live_contexts;
}

SoftwareTexture::SoftwareTexture(SoftwareDevice* device,
                                 const TextureDescription& description,
                                 SharedHandle handle)
    : device_(device), description_(description), shared_handle_(handle) {
  ++g_live_textures;
}
SoftwareTexture::~SoftwareTexture() {
  --g_live_textures;
}

bool SoftwareGpuBackend::CreateDevice(ComPtr<GpuDevice>* device, ComPtr<GpuContext>* context) {
  auto new_device = ComPtr<SoftwareDevice>::Adopt(new SoftwareDevice());
  *context = ComPtr<SoftwareContext>::Adopt(new SoftwareContext(new_device.Get()));
  *device = std::move(new_device);
  return true;
}

bool SoftwareGpuBackend::CreateTexture(GpuDevice* device,
                                       const TextureDescription& description,
                                       ComPtr<GpuTexture>* texture) {
  const bool size_ok = description.width >= 1 && description.width <= kMaxTextureDimension &&
                       description.height >= 1 && description.height <= kMaxTextureDimension;
  const bool shareable = (description.misc_flags & kResourceMiscShared) == 0 ||
                         (description.mip_levels == 1 && description.array_size == 1 &&
                          description.sample_count == 1 && description.cpu_access_flags == 0);
  if (device == nullptr || !size_ok || !shareable) {
    return false;
  }
  SharedHandle handle =
      (description.misc_flags & kResourceMiscShared) != 0 ? NextSharedHandle() : nullptr;
  *texture = ComPtr<SoftwareTexture>::Adopt(new SoftwareTexture(device, description, handle));
  return true;
}

bool SoftwareGpuBackend::ReadSharedHandle(GpuTexture* texture, SharedHandle* handle) {
  if (texture == nullptr || texture->shared_handle() == nullptr) {
    return false;  // not made shareable, as DXGI refuses
  }
  *handle = texture->shared_handle();
  return true;
}

GpuBackend& PlatformGpuBackend() {
  static SoftwareGpuBackend* backend = new SoftwareGpuBackend();  // kept until the process ends
  return *backend;
}

}  // namespace velora
