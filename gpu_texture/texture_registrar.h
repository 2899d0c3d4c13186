#ifndef GPU_TEXTURE_TEXTURE_REGISTRAR_H_
#define GPU_TEXTURE_TEXTURE_REGISTRAR_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <variant>

#include "flutter_windows.h"

namespace flutter {

// A texture whose pixels the engine fetches from memory. The callback keeps
// the returned buffer valid until the next call.
struct PixelBufferSource {
  std::function<const FlutterDesktopPixelBuffer*(size_t width, size_t height)>
      pixel_buffer_callback;
};

// A texture the engine fetches as a GPU surface (for this program a DXGI
// shared handle). The callback keeps the returned descriptor valid.
struct GpuSurfaceSource {
  FlutterDesktopGpuSurfaceType surface_type = kFlutterDesktopGpuSurfaceTypeNone;
  std::function<const FlutterDesktopGpuSurfaceDescriptor*(size_t width, size_t height)>
      descriptor_callback;
};

// Whoever registers a source owns it and keeps it at the same address for as
// long as the engine may call back for its id: that address is the user data
// of the engine's callbacks, which may come on any thread.
using TextureSource = std::variant<PixelBufferSource, GpuSurfaceSource>;

// How plugins hand external textures to the engine.
class TextureRegistrar {
 public:
  TextureRegistrar() = default;
  virtual ~TextureRegistrar() = default;

  TextureRegistrar(const TextureRegistrar&) = delete;
  TextureRegistrar& operator=(const TextureRegistrar&) = delete;

  // The engine's id for the new texture (passed through unchanged), or -1
  // for a missing source.
  virtual int64_t RegisterTexture(TextureSource* source) = 0;

  // Tells the engine a new frame is ready; callable from any thread.
  virtual bool MarkFrameAvailable(int64_t texture_id) = 0;

  // Starts unregistering; returns true whatever happens.
  virtual bool UnregisterExternalTexture(int64_t texture_id) = 0;

  // Starts unregistering; `callback` (if any) runs once the engine no longer
  // uses the texture, possibly on another thread. Only then may the source go.
  //
  // What the plugin relies on: after the callback has run, the engine makes
  // no callback for `texture_id` and none is still in progress, whichever
  // registration under that id it went through. An engine that hands out an
  // id again (a registration returning an id that is still registered)
  // counts the callbacks of the sources registered under it before, so the
  // completion may free all of them.
  virtual void UnregisterExternalTexture(int64_t texture_id, std::function<void()> callback) = 0;
};

}  // namespace flutter

#endif  // GPU_TEXTURE_TEXTURE_REGISTRAR_H_
