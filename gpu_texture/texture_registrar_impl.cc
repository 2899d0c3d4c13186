#include "gpu_texture/texture_registrar_impl.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace flutter {

namespace {

// The engine's C callbacks; the user data is the registered source (or, for
// the completion, the heap-held callable).

const FlutterDesktopPixelBuffer* PixelBufferTrampoline(size_t width,
                                                       size_t height,
                                                       void* user_data) {
  auto* source = static_cast<PixelBufferSource*>(user_data);
  return source->pixel_buffer_callback(width, height);
}

const FlutterDesktopGpuSurfaceDescriptor* GpuSurfaceTrampoline(size_t width,
                                                               size_t height,
                                                               void* user_data) {
  auto* source = static_cast<GpuSurfaceSource*>(user_data);
  return source->descriptor_callback(width, height);
}

void UnregistrationTrampoline(void* user_data) {
  // Called exactly once by the engine; the callable is freed after it ran.
  std::unique_ptr<std::function<void()>> callback(static_cast<std::function<void()>*>(user_data));
  (*callback)();
}

}  // namespace

TextureRegistrarImpl::TextureRegistrarImpl(FlutterDesktopTextureRegistrarRef texture_registrar_ref)
    : registrar_ref_(texture_registrar_ref) {}

TextureRegistrarImpl::~TextureRegistrarImpl() = default;

int64_t TextureRegistrarImpl::RegisterTexture(TextureSource* source) {
  // Every byte zero, whichever union member is filled in below.
  FlutterDesktopTextureInfo info;
  std::memset(&info, 0, sizeof info);
  if (auto* pixel_buffer = source != nullptr ? std::get_if<PixelBufferSource>(source) : nullptr) {
    info.type = kFlutterDesktopPixelBufferTexture;
    info.pixel_buffer_config.callback = PixelBufferTrampoline;
    info.pixel_buffer_config.user_data = pixel_buffer;
  } else if (auto* gpu_surface =
                 source != nullptr ? std::get_if<GpuSurfaceSource>(source) : nullptr) {
    info.type = kFlutterDesktopGpuSurfaceTexture;
    info.gpu_surface_config.struct_size = sizeof(FlutterDesktopGpuSurfaceTextureConfig);
    info.gpu_surface_config.type = gpu_surface->surface_type;
    info.gpu_surface_config.callback = GpuSurfaceTrampoline;
    info.gpu_surface_config.user_data = gpu_surface;
  } else {
    // No source, or one left without a value by a failed assignment.
    (void)std::fputs("Attempting to register unknown texture variant.\n", stderr);
    (void)std::fflush(stderr);
    return -1;
  }
  // Whatever id the engine gives, 0 and negative ones included, is its answer.
  return FlutterDesktopTextureRegistrarRegisterExternalTexture(registrar_ref_, &info);
}

bool TextureRegistrarImpl::MarkFrameAvailable(int64_t texture_id) {
  return FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(registrar_ref_,
                                                                         texture_id);
}

bool TextureRegistrarImpl::UnregisterExternalTexture(int64_t texture_id) {
  UnregisterExternalTexture(texture_id, nullptr);
  return true;
}

void TextureRegistrarImpl::UnregisterExternalTexture(int64_t texture_id,
                                                     std::function<void()> callback) {
  if (!callback) {
    FlutterDesktopTextureRegistrarUnregisterExternalTexture(registrar_ref_, texture_id, nullptr,
                                                            nullptr);
    return;
  }
  // Belongs to the engine's pending call until the trampoline has run.
  auto* pending = new std::function<void()>(std::move(callback));
  FlutterDesktopTextureRegistrarUnregisterExternalTexture(registrar_ref_, texture_id,
                                                          UnregistrationTrampoline, pending);
}

}  // namespace flutter
