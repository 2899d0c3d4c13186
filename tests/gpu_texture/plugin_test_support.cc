#include "tests/gpu_texture/plugin_test_support.h"

#include <cstdlib>
#include <fstream>
#include <limits>
#include <utility>

#include "host/log_file.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"
#include "messaging/standard_method_codec.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace velora::test {
namespace {

std::atomic<int> g_calls_after_death{0};

class CapturingResult : public flutter::MethodResult<flutter::EncodableValue> {
 public:
  explicit CapturingResult(Reply& reply) : reply_(reply) {}

 protected:
  void OnSuccess(const flutter::EncodableValue* result) override {
    reply_.kind = Reply::kSuccess;
    reply_.value = result != nullptr ? *result : flutter::EncodableValue();
  }
  void OnError(const std::string& code,
               const std::string& message,
               const flutter::EncodableValue* details) override {
    reply_.kind = Reply::kError;
    reply_.code = code;
    reply_.message = message;
    reply_.value = details != nullptr ? *details : flutter::EncodableValue();
  }
  void OnNotImplemented() override { reply_.kind = Reply::kNotImplemented; }

 private:
  Reply& reply_;
};

}  // namespace

int64_t RecordingTextureRegistrar::RegisterTexture(flutter::TextureSource* source) {
  ++registrations_;
  const int64_t id = next_id_;
  if (next_id_ != std::numeric_limits<int64_t>::max()) {
    ++next_id_;
  }
  sources_[id] = source;
  return id;
}

bool RecordingTextureRegistrar::MarkFrameAvailable(int64_t texture_id) {
  if (!alive_.load()) {
    ++g_calls_after_death;
    return false;
  }
  ++total_marks_;
  std::lock_guard<std::mutex> lock(marks_mutex_);
  ++marks_[texture_id];
  return true;
}

int64_t RecordingTextureRegistrar::marks(int64_t texture_id) const {
  std::lock_guard<std::mutex> lock(marks_mutex_);
  auto found = marks_.find(texture_id);
  return found != marks_.end() ? found->second : 0;
}

int RecordingTextureRegistrar::CallsAfterDeath() {
  return g_calls_after_death.load();
}

bool RecordingTextureRegistrar::UnregisterExternalTexture(int64_t texture_id) {
  UnregisterExternalTexture(texture_id, nullptr);
  return true;
}

void RecordingTextureRegistrar::UnregisterExternalTexture(int64_t texture_id,
                                                          std::function<void()> callback) {
  unregistered_.push_back(texture_id);
  if (callback) {
    completions_.emplace_back(texture_id, std::move(callback));
  } else {
    sources_.erase(texture_id);
  }
}

const FlutterDesktopGpuSurfaceDescriptor* RecordingTextureRegistrar::Describe(int64_t texture_id,
                                                                              size_t width,
                                                                              size_t height) {
  auto found = sources_.find(texture_id);
  auto* surface =
      found != sources_.end() ? std::get_if<flutter::GpuSurfaceSource>(found->second) : nullptr;
  return surface != nullptr ? surface->descriptor_callback(width, height) : nullptr;
}

int RecordingTextureRegistrar::RunCompletions() {
  auto completions = std::move(completions_);
  completions_.clear();
  for (auto& [texture_id, callback] : completions) {
    sources_.erase(texture_id);
    callback();
    callback = nullptr;  // the engine frees the callable after it ran
  }
  return static_cast<int>(completions.size());
}

void LoopbackMessenger::SetChannelHandler(const std::string& channel,
                                          flutter::ChannelHandler handler) {
  if (handler) {
    handlers_[channel] = std::move(handler);
  } else {
    handlers_.erase(channel);
  }
}

void LoopbackMessenger::Deliver(const std::string& channel,
                                const std::vector<uint8_t>& bytes,
                                std::function<void(std::vector<uint8_t>)> on_response) {
  auto found = handlers_.find(channel);
  if (found == handlers_.end()) {
    on_response({});
    return;
  }
  found->second(bytes.data(), bytes.size(), [on_response](const uint8_t* reply, size_t size) {
    on_response(std::vector<uint8_t>(reply, reply + size));
  });
}

const flutter::EncodableValue* Reply::Field(const char* key) const {
  const auto* map = std::get_if<flutter::EncodableValueMap>(&value);
  return map != nullptr && kind == kSuccess ? flutter::FindValue(*map, key) : nullptr;
}

std::string HandleText(const Reply& reply) {
  const flutter::EncodableValue* handle = reply.Field("sharedHandle");
  const auto* text = handle != nullptr ? std::get_if<std::string>(handle) : nullptr;
  return text != nullptr ? *text : "<none>";
}

Reply ChannelDriver::Call(const std::string& method, const flutter::EncodableValue* arguments) {
  const auto& codec = flutter::StandardMethodCodec::ForSerializer();
  flutter::MethodCall<flutter::EncodableValue> call(
      method,
      arguments != nullptr ? std::make_unique<flutter::EncodableValue>(*arguments) : nullptr);
  Reply reply;
  int responses = 0;
  std::vector<uint8_t> bytes;
  transport_(*codec.EncodeCall(call), [&](std::vector<uint8_t> response) {
    ++responses;
    bytes = std::move(response);
  });
  if (responses == 1 && bytes.empty()) {
    reply.kind = Reply::kNotImplemented;
  } else if (responses == 1) {
    CapturingResult capture(reply);
    codec.DecodeReply(bytes.data(), bytes.size(), &capture);
  }  // otherwise kNone: no answer, or more than one
  return reply;
}

flutter::EncodableValue Args(
    std::initializer_list<std::pair<const char*, flutter::EncodableValue>> entries) {
  flutter::EncodableValueMap map;
  for (const auto& [key, value] : entries) {
    map[flutter::EncodableValue(key)] = value;
  }
  return flutter::EncodableValue(std::move(map));
}

namespace {

#ifdef _WIN32
constexpr char kTempVariable[] = "TMP";  // GetTempPathA reads it first
#else
constexpr char kTempVariable[] = "TMPDIR";
#endif

std::optional<std::string> GetVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void SetVariable(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
#else
  value ? setenv(name, value->c_str(), 1) : unsetenv(name);
#endif
}

}  // namespace

PrivateGpuLog::PrivateGpuLog() : previous_(GetVariable(kTempVariable)) {
  SetVariable(kTempVariable, dir_.path() + "/");
}

PrivateGpuLog::~PrivateGpuLog() {
  SetVariable(kTempVariable, previous_);
}

std::vector<LogLine> PrivateGpuLog::Lines() const {
  std::vector<LogLine> lines;
  std::ifstream in(dir_.path() + "/" + kGpuPluginLogFileName);
  std::string text;
  while (std::getline(in, text)) {
    LogLine line;
    const size_t tid_at = text.find(" tid=");
    const size_t end = text.find("] ");
    if (text.rfind("[pid=", 0) != 0 || tid_at == std::string::npos || end == std::string::npos) {
      line.message = "<malformed> " + text;
    } else {
      line.pid = std::stoul(text.substr(5, tid_at - 5));
      line.tid = std::stoul(text.substr(tid_at + 5, end - tid_at - 5));
      line.message = text.substr(end + 2);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> PrivateGpuLog::Messages() const {
  std::vector<std::string> messages;
  for (LogLine& line : Lines()) {
    messages.push_back(std::move(line.message));
  }
  return messages;
}

unsigned long CurrentLogThreadId() {
#ifdef _WIN32
  return GetCurrentThreadId();
#else
  return static_cast<unsigned long>(syscall(SYS_gettid));
#endif
}

bool ScriptedBackend::CreateDevice(ComPtr<GpuDevice>* device, ComPtr<GpuContext>* context) {
  ++device_calls;
  if (fail_device || !PlatformGpuBackend().CreateDevice(device, context)) {
    return false;
  }
  if (keep_last) {
    last_device = *device;
  }
  return true;
}

bool ScriptedBackend::CreateTexture(GpuDevice* device,
                                    const TextureDescription& description,
                                    ComPtr<GpuTexture>* texture) {
  ++texture_calls;
  last_description = description;
  if (fail_texture || !PlatformGpuBackend().CreateTexture(device, description, texture)) {
    return false;
  }
  if (keep_last) {
    last_texture = *texture;
  }
  return true;
}

bool ScriptedBackend::ReadSharedHandle(GpuTexture* texture, SharedHandle* handle) {
  ++handle_calls;
  if (fail_handle) {
    return false;
  }
  if (null_handle) {
    *handle = nullptr;
    return true;
  }
  return PlatformGpuBackend().ReadSharedHandle(texture, handle);
}

}  // namespace velora::test
