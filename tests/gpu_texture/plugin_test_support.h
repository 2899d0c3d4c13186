// Fakes and helpers of the GPU texture plugin tests: a texture registrar that
// records every call and holds completions until a test runs them, a
// loopback messenger with a driver that plays the Dart side, a GPU log in a
// private temporary directory, and a backend whose steps can be made to fail.
#ifndef TESTS_GPU_TEXTURE_PLUGIN_TEST_SUPPORT_H_
#define TESTS_GPU_TEXTURE_PLUGIN_TEST_SUPPORT_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "flutter_windows.h"
#include "gpu_texture/gpu_backend.h"
#include "gpu_texture/texture_registrar.h"
#include "messaging/binary_messenger.h"
#include "messaging/encodable_value.h"
#include "tests/support/temp_dir.h"

namespace velora::test {

// Keeps the registered sources and the completions of unregistrations: the
// engine's window between unregistering and completing stays open until
// RunCompletions. MarkFrameAvailable may be called from any thread.
class RecordingTextureRegistrar : public flutter::TextureRegistrar {
 public:
  ~RecordingTextureRegistrar() override { Retire(); }

  int64_t RegisterTexture(flutter::TextureSource* source) override;
  bool MarkFrameAvailable(int64_t texture_id) override;
  bool UnregisterExternalTexture(int64_t texture_id) override;
  void UnregisterExternalTexture(int64_t texture_id, std::function<void()> callback) override;

  void SetNextId(int64_t id) { next_id_ = id; }
  // Asks the source under `texture_id` for its descriptor, as the engine
  // does, also after unregistration until the completion has run.
  const FlutterDesktopGpuSurfaceDescriptor* Describe(int64_t texture_id,
                                                     size_t width = 0,
                                                     size_t height = 0);
  // Runs and frees every completion handed over so far; returns how many.
  int RunCompletions();
  // The end of the registrar's life; a call after it counts in
  // CallsAfterDeath.
  void Retire() { alive_.store(false); }

  int registrations() const { return registrations_; }
  std::vector<int64_t> unregistered() const { return unregistered_; }
  bool Reachable(int64_t texture_id) const { return sources_.count(texture_id) != 0; }
  int64_t marks(int64_t texture_id) const;
  int64_t total_marks() const { return total_marks_.load(); }
  static int CallsAfterDeath();

 private:
  int64_t next_id_ = 1;
  int registrations_ = 0;
  std::map<int64_t, flutter::TextureSource*> sources_;
  std::vector<int64_t> unregistered_;
  std::vector<std::pair<int64_t, std::function<void()>>> completions_;
  mutable std::mutex marks_mutex_;
  std::map<int64_t, int64_t> marks_;
  std::atomic<int64_t> total_marks_{0};
  std::atomic<bool> alive_{true};
};

// Hands each delivered message straight to its channel's handler.
class LoopbackMessenger : public flutter::BinaryMessenger {
 public:
  void Send(const std::string&, const uint8_t*, size_t, flutter::BinaryReply) const override {}
  void SetChannelHandler(const std::string& channel, flutter::ChannelHandler handler) override;
  void Deliver(const std::string& channel,
               const std::vector<uint8_t>& bytes,
               std::function<void(std::vector<uint8_t>)> on_response);

 private:
  std::map<std::string, flutter::ChannelHandler> handlers_;
};

// The decoded answer to one call.
struct Reply {
  enum Kind { kNone, kSuccess, kError, kNotImplemented } kind = kNone;
  flutter::EncodableValue value;  // the success value
  std::string code;
  std::string message;

  // The success map's entry for `key`, or null.
  const flutter::EncodableValue* Field(const char* key) const;
};

// Text of a reply's "sharedHandle", or "<none>".
std::string HandleText(const Reply& reply);

// Delivers one message on "velora/gpu_texture"; each answer goes to the
// second argument.
using Transport = std::function<void(const std::vector<uint8_t>& bytes,
                                     std::function<void(std::vector<uint8_t>)> on_response)>;

// The Dart side of the channel: encodes calls, decodes answers.
class ChannelDriver {
 public:
  explicit ChannelDriver(Transport transport) : transport_(std::move(transport)) {}
  Reply Call(const std::string& method, const flutter::EncodableValue* arguments = nullptr);
  Reply Call(const std::string& method, const flutter::EncodableValue& arguments) {
    return Call(method, &arguments);
  }

 private:
  Transport transport_;
};

// A map argument with string keys.
flutter::EncodableValue Args(
    std::initializer_list<std::pair<const char*, flutter::EncodableValue>> entries);

struct LogLine {
  unsigned long pid = 0;
  unsigned long tid = 0;
  std::string message;
};

// Points this process's temporary directory at a fresh one while alive, so
// that a test's GPU log is its own.
class PrivateGpuLog {
 public:
  PrivateGpuLog();
  ~PrivateGpuLog();
  std::vector<LogLine> Lines() const;
  std::vector<std::string> Messages() const;

 private:
  TempDir dir_;
  std::optional<std::string> previous_;
};

// The thread id the logs write for the calling thread.
unsigned long CurrentLogThreadId();

// The platform backend with counted calls and steps that can be made to fail
// (or to give a null handle with success).
class ScriptedBackend : public GpuBackend {
 public:
  bool CreateDevice(ComPtr<GpuDevice>* device, ComPtr<GpuContext>* context) override;
  bool CreateTexture(GpuDevice* device,
                     const TextureDescription& description,
                     ComPtr<GpuTexture>* texture) override;
  bool ReadSharedHandle(GpuTexture* texture, SharedHandle* handle) override;

  bool fail_device = false;
  bool fail_texture = false;
  bool fail_handle = false;
  bool null_handle = false;
  int device_calls = 0;
  int texture_calls = 0;
  int handle_calls = 0;
  TextureDescription last_description;
  // When set, keeps a reference to the last device and texture made, so
  // that a test can watch their counts.
  bool keep_last = false;
  ComPtr<GpuDevice> last_device;
  ComPtr<GpuTexture> last_texture;
};

}  // namespace velora::test

#endif  // TESTS_GPU_TEXTURE_PLUGIN_TEST_SUPPORT_H_
