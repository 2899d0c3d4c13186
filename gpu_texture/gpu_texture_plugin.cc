#include "gpu_texture/gpu_texture_plugin.h"

#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "gpu_texture/frame_available.h"
#include "gpu_texture/shared_texture.h"
#include "gpu_texture/texture_arguments.h"
#include "host/log_file.h"
#include "messaging/standard_method_codec.h"

namespace velora {
namespace {

using flutter::EncodableValue;
using flutter::EncodableValueMap;

constexpr int32_t kDefaultWidth = 1920;
constexpr int32_t kDefaultHeight = 1080;
// The longest "done" line is 103 characters.
constexpr int kHandlerLineCapacity = 160;

void LogDone(const char* handler,
             int64_t texture_id,
             const std::string& handle,
             int32_t width,
             int32_t height) {
  char line[kHandlerLineCapacity];
  (void)std::snprintf(line, sizeof line, "%s done textureId=%lld handle=%s w=%d h=%d", handler,
                      static_cast<long long>(texture_id), handle.c_str(), width, height);
  WriteGpuPluginLog(line);
}

SharedHandle HandleFromValue(uint64_t value) {
  return reinterpret_cast<SharedHandle>(static_cast<uintptr_t>(value));
}

// "width", "height" and "sharedHandle" of a map; absent or wrong kinds leave
// the given defaults.
struct SizeAndHandle {
  int32_t width = 0;
  int32_t height = 0;
  std::optional<uint64_t> handle;
};

void ReadSizeAndHandle(const EncodableValueMap& map, SizeAndHandle& out) {
  if (std::optional<int32_t> width = ReadInt32Argument(map, "width")) {
    out.width = *width;
  }
  if (std::optional<int32_t> height = ReadInt32Argument(map, "height")) {
    out.height = *height;
  }
  if (const EncodableValue* handle = flutter::FindValue(map, "sharedHandle")) {
    out.handle = ParseHandleArgument(*handle);
  }
}

// A new shared texture of the record's own at `width` x `height`, on the
// record's device (made on first use). On failure the record's texture and
// handle stay as they were.
bool MakeOwnTexture(GpuBackend& backend, GpuTextureRecord& record, int32_t width, int32_t height) {
  if (!EnsureDevice(backend, record.device, record.context) ||
      !CreateSharedTexture(backend, record.device, static_cast<uint32_t>(width),
                           static_cast<uint32_t>(height), record.texture, &record.shared_handle)) {
    return false;
  }
  record.owns_handle = true;
  return true;
}

const EncodableValueMap* AsMap(const EncodableValue* arguments) {
  return arguments != nullptr ? std::get_if<EncodableValueMap>(arguments) : nullptr;
}

// The argument map and its "textureId", which update and dispose need;
// nothing, after answering "bad_args", when either is missing.
struct TextureCall {
  const EncodableValueMap& map;
  int64_t texture_id;
};

std::optional<TextureCall> ReadTextureCall(const EncodableValue* arguments,
                                           GpuTexturePlugin::MethodResult& result) {
  const EncodableValueMap* map = AsMap(arguments);
  if (map == nullptr) {
    result.Error("bad_args", "Expected map");
    return std::nullopt;
  }
  const std::optional<int64_t> texture_id = ReadTextureIdArgument(*map);
  if (!texture_id) {
    result.Error("bad_args", "Missing textureId");
    return std::nullopt;
  }
  return TextureCall{*map, *texture_id};
}

}  // namespace

void GpuTexturePlugin::RegisterWithRegistrar(flutter::PluginRegistrarWindows* registrar) {
  registrar->AdoptPlugin(Create(registrar->Messenger(), registrar->Textures()));
}

std::unique_ptr<GpuTexturePlugin> GpuTexturePlugin::Create(
    flutter::BinaryMessenger* messenger,
    flutter::TextureRegistrar* texture_registrar,
    GpuBackend& backend) {
  auto plugin = std::make_unique<GpuTexturePlugin>(messenger, texture_registrar, backend);
  PublishPluginInstance(plugin.get());
  GpuTexturePlugin* handler_target = plugin.get();  // the registrar owns the plugin
  plugin->channel_->InstallCallHandler(
      [handler_target](const MethodCall& call, std::unique_ptr<MethodResult> result) {
        handler_target->OnMethodCall(call, std::move(result));
      });
  return plugin;
}

GpuTexturePlugin::GpuTexturePlugin(flutter::BinaryMessenger* messenger,
                                   flutter::TextureRegistrar* texture_registrar,
                                   GpuBackend& backend)
    : texture_registrar_(texture_registrar),
      channel_(std::make_unique<flutter::MethodCallChannel>(
          messenger,
          kGpuTextureChannelName,
          &flutter::StandardMethodCodec::ForSerializer())),
      backend_(backend) {}

GpuTexturePlugin::~GpuTexturePlugin() {
  // The handler holds a plain pointer to this plugin.
  channel_->InstallCallHandler(nullptr);
  RetirePluginInstance(this);
  // The engine may still ask for these textures' descriptors until it has
  // unregistered them.
  auto textures = std::move(textures_);
  for (auto& [texture_id, record] : textures) {
    ReleaseWhenUnregistered(texture_id, std::move(record));
  }
}

// Compared in this order, by exact bytes; the first match answers.
const GpuTexturePlugin::Method GpuTexturePlugin::kMethods[] = {
    {"create", &GpuTexturePlugin::HandleCreate},
    {"createGpuTexture", &GpuTexturePlugin::HandleCreate},
    {"update", &GpuTexturePlugin::HandleUpdate},
    {"updateGpuTextureSize", &GpuTexturePlugin::HandleUpdate},
    {"dispose", &GpuTexturePlugin::HandleDispose},
    {"disposeGpuTexture", &GpuTexturePlugin::HandleDispose},
};

void GpuTexturePlugin::OnMethodCall(const MethodCall& call, std::unique_ptr<MethodResult> result) {
  const std::string_view name = call.MethodName();
  for (const Method& method : kMethods) {
    if (name == method.name) {
      (this->*method.handle)(call.Arguments(), std::move(result));
      return;
    }
  }
  result->NotImplemented();
}

std::vector<std::string> GpuTexturePlugin::MethodNames() {
  std::vector<std::string> names;
  for (const Method& method : kMethods) {
    names.emplace_back(method.name);
  }
  return names;
}

void GpuTexturePlugin::HandleCreate(const EncodableValue* arguments,
                                    std::unique_ptr<MethodResult> result) {
  SizeAndHandle wanted{kDefaultWidth, kDefaultHeight, std::nullopt};
  if (const EncodableValueMap* map = AsMap(arguments)) {
    ReadSizeAndHandle(*map, wanted);
  }
  WriteGpuPluginLog("HandleCreate begin");

  auto record = std::make_unique<GpuTextureRecord>();
  if (wanted.handle) {
    // The caller's texture: its size is taken on trust.
    record->shared_handle = HandleFromValue(*wanted.handle);
    record->owns_handle = false;
  } else if (!MakeOwnTexture(backend_, *record, wanted.width, wanted.height)) {
    result->Error("texture_error", "Failed to create shared texture");
    return;
  }
  record->Publish(wanted.width, wanted.height, record->shared_handle, record->texture);

  GpuTextureRecord* bound = record.get();
  auto source = std::make_unique<flutter::TextureSource>(
      flutter::GpuSurfaceSource{kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle,
                                [bound](size_t, size_t) { return bound->Describe(); }});
  if (texture_registrar_ == nullptr) {
    result->Error("registrar_unavailable", "Texture registrar is null");
    return;
  }
  record->source = std::move(source);
  const int64_t texture_id = texture_registrar_->RegisterTexture(record->source.get());
  record->texture_id = texture_id;
  if (texture_id <= 0) {
    // 0 is the engine's "no texture" and our registrar's failure is -1: the
    // engine holds nothing of this record, so it goes at once.
    char message[kHandlerLineCapacity];
    (void)std::snprintf(message, sizeof message, "RegisterTexture returned %lld",
                        static_cast<long long>(texture_id));
    result->Error("register_failed", message);
    return;
  }

  const std::string handle_text = FormatHandle(record->shared_handle);
  const int32_t width = record->width;
  const int32_t height = record->height;
  std::unique_ptr<GpuTextureRecord>& entry = textures_[texture_id];
  if (entry != nullptr) {
    // The engine handed out an id it already had: it may still be inside the
    // old record's descriptor callback, so that record's source and
    // descriptor live on with the new one until an unregistration of the id
    // has completed.
    record->Displace(std::move(entry));
  }
  entry = std::move(record);

  EncodableValueMap reply{{EncodableValue("textureId"), EncodableValue(texture_id)},
                          {EncodableValue("sharedHandle"), EncodableValue(handle_text)}};
  LogDone("HandleCreate", texture_id, handle_text, width, height);
  result->Success(EncodableValue(std::move(reply)));
}

void GpuTexturePlugin::HandleUpdate(const EncodableValue* arguments,
                                    std::unique_ptr<MethodResult> result) {
  WriteGpuPluginLog("HandleUpdate begin");
  const std::optional<TextureCall> call = ReadTextureCall(arguments, *result);
  if (!call) {
    return;
  }
  const int64_t texture_id = call->texture_id;
  auto entry = textures_.find(texture_id);
  if (entry == textures_.end()) {
    result->Error("not_found", "Texture not found");
    return;
  }
  GpuTextureRecord& record = *entry->second;

  SizeAndHandle wanted{record.width, record.height, std::nullopt};
  ReadSizeAndHandle(call->map, wanted);
  if (wanted.handle) {
    // The old handle, if ours, is a DXGI handle and no kernel handle: it is
    // never closed, and ends with the texture released here.
    record.shared_handle = HandleFromValue(*wanted.handle);
    record.owns_handle = false;
    record.texture = nullptr;
  } else if (record.owns_handle) {
    // A new texture on every such call, even at the same size.
    record.texture = nullptr;
    record.shared_handle = nullptr;
    if (!MakeOwnTexture(backend_, record, wanted.width, wanted.height)) {
      result->Error("texture_error", "Failed to recreate shared texture");
      return;
    }
  }
  // Otherwise the caller's handle stays and only the size changes.
  record.Publish(wanted.width, wanted.height, record.shared_handle, record.texture);

  if (texture_registrar_ != nullptr) {
    // Makes the engine ask for the new descriptor; whether it knew the id
    // does not change the answer.
    (void)texture_registrar_->MarkFrameAvailable(texture_id);
  }
  const std::string handle_text = FormatHandle(record.shared_handle);
  EncodableValueMap reply{{EncodableValue("sharedHandle"), EncodableValue(handle_text)}};
  LogDone("HandleUpdate", texture_id, handle_text, record.width, record.height);
  result->Success(EncodableValue(std::move(reply)));
}

void GpuTexturePlugin::HandleDispose(const EncodableValue* arguments,
                                     std::unique_ptr<MethodResult> result) {
  const std::optional<TextureCall> call = ReadTextureCall(arguments, *result);
  if (!call) {
    return;
  }
  auto entry = textures_.find(call->texture_id);
  if (entry != textures_.end()) {
    std::unique_ptr<GpuTextureRecord> record = std::move(entry->second);
    textures_.erase(entry);
    ReleaseWhenUnregistered(call->texture_id, std::move(record));
  }
  // An unknown or already disposed id is no error.
  result->Success(EncodableValue(true));
}

void GpuTexturePlugin::ReleaseWhenUnregistered(int64_t texture_id,
                                               std::unique_ptr<GpuTextureRecord> record) {
  if (texture_registrar_ == nullptr) {
    return;  // never registered: nothing can reach the record
  }
  // Shared only because the completion must be copyable; the completion
  // holds the last reference and frees the record when it has run.
  std::shared_ptr<GpuTextureRecord> kept = std::move(record);
  texture_registrar_->UnregisterExternalTexture(texture_id, [kept]() {});
}

}  // namespace velora
