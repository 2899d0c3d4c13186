#ifndef GPU_TEXTURE_TEXTURE_REGISTRAR_IMPL_H_
#define GPU_TEXTURE_TEXTURE_REGISTRAR_IMPL_H_

#include <cstdint>
#include <functional>

#include "flutter_windows.h"
#include "gpu_texture/texture_registrar.h"

namespace flutter {

// TextureRegistrar over the embedder's texture registrar handle. Keeps no
// state besides the handle, so it needs no locking of its own.
class TextureRegistrarImpl : public TextureRegistrar {
 public:
  // `texture_registrar_ref` is not owned.
  explicit TextureRegistrarImpl(FlutterDesktopTextureRegistrarRef texture_registrar_ref);
  ~TextureRegistrarImpl() override;
  TextureRegistrarImpl(const TextureRegistrarImpl&) = delete;
  TextureRegistrarImpl& operator=(const TextureRegistrarImpl&) = delete;

  int64_t RegisterTexture(TextureSource* source) override;
  bool MarkFrameAvailable(int64_t texture_id) override;
  bool UnregisterExternalTexture(int64_t texture_id) override;
  void UnregisterExternalTexture(int64_t texture_id, std::function<void()> callback) override;

 private:
  FlutterDesktopTextureRegistrarRef registrar_ref_;
};

}  // namespace flutter

#endif  // GPU_TEXTURE_TEXTURE_REGISTRAR_IMPL_H_
