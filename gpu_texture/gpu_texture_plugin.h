// The "velora/gpu_texture" channel: creates Direct3D 11 textures shared by
// handle (or takes a caller's handle), registers them with the engine as
// GPU-surface textures and keeps the table of live textures.
#ifndef VELORA_GPU_TEXTURE_GPU_TEXTURE_PLUGIN_H_
#define VELORA_GPU_TEXTURE_GPU_TEXTURE_PLUGIN_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gpu_texture/gpu_backend.h"
#include "gpu_texture/gpu_texture_record.h"
#include "gpu_texture/texture_registrar.h"
#include "messaging/binary_messenger.h"
#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_channel.h"
#include "messaging/method_result.h"
#include "window/plugin_registrar.h"

namespace velora {

constexpr char kGpuTextureChannelName[] = "velora/gpu_texture";
constexpr char kGpuTexturePluginName[] = "GpuTexturePlugin";

class GpuTexturePlugin : public flutter::Plugin {
 public:
  using MethodCall = flutter::MethodCall<flutter::EncodableValue>;
  using MethodResult = flutter::MethodResult<flutter::EncodableValue>;

  // Called once by the Flutter host window's creation hook: the plugin is
  // made on the registrar's messenger and texture registrar, published for
  // the exported entry point, and handed to the registrar, which owns it.
  static void RegisterWithRegistrar(flutter::PluginRegistrarWindows* registrar);

  // The same steps up to the hand-over: constructs, publishes and installs
  // the channel handler. `texture_registrar` may be null.
  static std::unique_ptr<GpuTexturePlugin> Create(flutter::BinaryMessenger* messenger,
                                                  flutter::TextureRegistrar* texture_registrar,
                                                  GpuBackend& backend = PlatformGpuBackend());

  GpuTexturePlugin(flutter::BinaryMessenger* messenger,
                   flutter::TextureRegistrar* texture_registrar,
                   GpuBackend& backend);
  // Withdraws the published pointer and waits out calls of the exported
  // function in flight, then hands every texture still in the table to an
  // unregistration that frees it on completion.
  ~GpuTexturePlugin() override;

  GpuTexturePlugin(const GpuTexturePlugin&) = delete;
  GpuTexturePlugin& operator=(const GpuTexturePlugin&) = delete;

  // Dispatches by exact method name; answers every call exactly once.
  void OnMethodCall(const MethodCall& call, std::unique_ptr<MethodResult> result);
  // The method names OnMethodCall serves, in the order it compares them.
  static std::vector<std::string> MethodNames();

  flutter::TextureRegistrar* texture_registrar() const { return texture_registrar_; }

 private:
  void HandleCreate(const flutter::EncodableValue* arguments, std::unique_ptr<MethodResult> result);
  void HandleUpdate(const flutter::EncodableValue* arguments, std::unique_ptr<MethodResult> result);
  void HandleDispose(const flutter::EncodableValue* arguments,
                     std::unique_ptr<MethodResult> result);

  struct Method {
    std::string_view name;
    void (GpuTexturePlugin::*handle)(const flutter::EncodableValue* arguments,
                                     std::unique_ptr<MethodResult> result);
  };
  static const Method kMethods[];

  // Unregisters `record`'s id and keeps the record, whose source and
  // descriptor the engine may still reach, until the completion has run.
  void ReleaseWhenUnregistered(int64_t texture_id, std::unique_ptr<GpuTextureRecord> record);

  flutter::TextureRegistrar* texture_registrar_;  // not owned; may be null
  std::unique_ptr<flutter::MethodCallChannel> channel_;
  std::unordered_map<int64_t, std::unique_ptr<GpuTextureRecord>> textures_;
  GpuBackend& backend_;
};

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_GPU_TEXTURE_PLUGIN_H_
